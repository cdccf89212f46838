# SPDX-License-Identifier: GPL-3.0-or-later
# Thin wrapper around CMake and CTest. `make run`, `make demo`, `make test` and
# `make package` install what is missing (Debian and Ubuntu), build, then start
# the program, the program with simulated nodes, the tests, or build the package.
# `make test-asan` runs the tests built with AddressSanitizer and
# UndefinedBehaviorSanitizer; `make fuzz` builds the fuzz targets and runs each
# for FUZZ_SECONDS; `make bench` measures the program.

BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
ASAN_BUILD_DIR ?= build-asan
FUZZ_BUILD_DIR ?= build-fuzz
FUZZ_SECONDS ?= 60

.PHONY: all deps build run demo demo-bridge screenshot test test-asan fuzz fuzz-build bench package lintian clean

all: build

deps:
	@scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)
	cmake --build $(BUILD_DIR) --parallel $(JOBS)

run: build
	@scripts/run.sh $(BUILD_DIR)/ternix36-control

# The program with simulated nodes on a private test link (see docs/user-guide.md).
demo: build
	@scripts/demo.sh $(BUILD_DIR)

# The same nodes in a private MQTT broker, shown by mosquitto_sub (see docs/hub.md).
demo-bridge: build
	@scripts/demo-bridge.sh $(BUILD_DIR)

# The README's pictures of the window, docs/screenshot.png and, under a dark
# colour scheme at 11 pt, docs/screenshot-dark.png, then the Desk lamp's
# history window after three minutes of reports, docs/history.png: the demo's nodes
# on a private Xvfb display (installs imagemagick, xdotool and qt6ct when missing).
screenshot: build
	@scripts/install-deps.sh imagemagick xdotool qt6ct
	@scripts/screenshot.sh --program $(BUILD_DIR)/ternix36-control
	@scripts/screenshot.sh --program $(BUILD_DIR)/ternix36-control --dark
	@scripts/screenshot.sh --program $(BUILD_DIR)/ternix36-control --history

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure --parallel $(JOBS)

# A Debian package of the programs, the menu entry, icon, metainfo and man
# pages, in $(BUILD_DIR): sudo apt-get install ./$(BUILD_DIR)/ternix36-control_*.deb
package: build
	cmake --build $(BUILD_DIR) --target package

# Debian's own checks on that package (installs lintian when missing).
lintian: package
	@scripts/install-deps.sh lintian
	lintian --info $(BUILD_DIR)/*.deb

# Measures the program (minutes) and writes docs/performance.md.
bench: build
	tests/isolated.sh $(BUILD_DIR)/bench/ternix36-bench

test-asan:
	@scripts/install-deps.sh --sanitizers # clang and its runtime libraries
	cmake -S . -B $(ASAN_BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DCMAKE_CXX_COMPILER=clang++ -DTERNIX36_SANITIZE=ON
	cmake --build $(ASAN_BUILD_DIR) --parallel $(JOBS)
	ctest --test-dir $(ASAN_BUILD_DIR) --output-on-failure --parallel $(JOBS)

fuzz-build:
	@scripts/install-deps.sh --sanitizers # clang and its runtime libraries
	cmake -S . -B $(FUZZ_BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DCMAKE_CXX_COMPILER=clang++ -DTERNIX36_FUZZ=ON -DBUILD_TESTING=OFF
	cmake --build $(FUZZ_BUILD_DIR) --parallel $(JOBS) --target fuzz_route fuzz_reader

fuzz: fuzz-build
	tests/isolated.sh fuzz/run.sh $(FUZZ_BUILD_DIR) $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD_DIR) $(ASAN_BUILD_DIR) $(FUZZ_BUILD_DIR)

# Thin wrapper around CMake and CTest. `make run`, `make demo`, `make test` and
# `make package` install what is missing (Debian and Ubuntu), build, then start
# the program, the program with simulated nodes, the tests, or build the package.

BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps build run demo screenshot test bench package lintian clean

all: build

deps:
	@scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)
	cmake --build $(BUILD_DIR) --parallel $(JOBS)

run: build
	@scripts/run.sh $(BUILD_DIR)/ternix36-control

# The program with simulated nodes on a private test link (see README).
demo: build
	@scripts/demo.sh $(BUILD_DIR)

# The README's picture of the window, docs/screenshot.png: the demo's nodes on
# a private Xvfb display (needs xvfb, imagemagick and xdotool).
screenshot: build
	@scripts/screenshot.sh --program $(BUILD_DIR)/ternix36-control

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

clean:
	rm -rf $(BUILD_DIR)

# Measures the program (minutes) and writes docs/performance.md.
bench: build
	tests/isolated.sh $(BUILD_DIR)/bench/ternix36-bench

# Thin wrapper around CMake and CTest. `make run` and `make test` install what
# is missing (Debian and Ubuntu), build, then start the program or the tests.
# `make test-asan` runs the tests built with AddressSanitizer and
# UndefinedBehaviorSanitizer; `make fuzz` builds the fuzz targets and runs each
# for FUZZ_SECONDS.

BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
ASAN_BUILD_DIR ?= build-asan
FUZZ_BUILD_DIR ?= build-fuzz
FUZZ_SECONDS ?= 60
# The sanitizer builds use clang, whose runtime libraries come in their own package.
SANITIZER_PACKAGES = clang libclang-rt-14-dev

.PHONY: all deps build run test test-asan fuzz fuzz-build clean

all: build

deps:
	@scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)
	cmake --build $(BUILD_DIR) --parallel $(JOBS)

run: build
	@scripts/run.sh $(BUILD_DIR)/ternix36-control

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure --parallel $(JOBS)

test-asan:
	@scripts/install-deps.sh $(SANITIZER_PACKAGES)
	cmake -S . -B $(ASAN_BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DCMAKE_CXX_COMPILER=clang++ -DTERNIX36_SANITIZE=ON
	cmake --build $(ASAN_BUILD_DIR) --parallel $(JOBS)
	ctest --test-dir $(ASAN_BUILD_DIR) --output-on-failure --parallel $(JOBS)

fuzz-build:
	@scripts/install-deps.sh $(SANITIZER_PACKAGES)
	cmake -S . -B $(FUZZ_BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DCMAKE_CXX_COMPILER=clang++ -DTERNIX36_FUZZ=ON -DBUILD_TESTING=OFF
	cmake --build $(FUZZ_BUILD_DIR) --parallel $(JOBS) --target fuzz_route fuzz_reader

fuzz: fuzz-build
	tests/isolated.sh fuzz/run.sh $(FUZZ_BUILD_DIR) $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD_DIR) $(ASAN_BUILD_DIR) $(FUZZ_BUILD_DIR)

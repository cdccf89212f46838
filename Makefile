# Thin wrapper around CMake and CTest. `make run`, `make demo` and `make test`
# install what is missing (Debian and Ubuntu), build, then start the program,
# the program with simulated nodes, or the tests.

BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps build run demo test clean

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

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure --parallel $(JOBS)

clean:
	rm -rf $(BUILD_DIR)

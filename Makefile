# Set-up, build, tests and the demo run. Everything lands under build/.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all setup configure build test fuzz run clean

all: build

setup:
	@scripts/setup-deps

configure: setup
	@cmake -S . -B $(BUILD_DIR) -G Ninja $(CMAKE_FLAGS) > /dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

# The whole suite: the order of the rooms' includes (scripts/layers), every test binary, the
# sanitizer runs of the suites that need them, then a short run of every fuzz target
# (scripts/fuzz-run; build-fuzz/).
test: build
	@scripts/layers
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)
	@scripts/sanitizer-tests
	@scripts/fuzz-run

# Every fuzz target for FUZZ_SECONDS (default 600) each.
FUZZ_SECONDS ?= 600
fuzz: setup
	@scripts/fuzz-run $(FUZZ_SECONDS)

# The main job on the bundled demo, in a fresh run folder under build/run.
run: build
	@scripts/demo-run $(BUILD_DIR)

clean:
	rm -rf $(BUILD_DIR) build-asan-clang build-tsan build-fuzz

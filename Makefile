# Tervane: the two commands a newcomer needs are `make run` and `make test`.
# Everything else is here for developers.
JOBS      ?= $(shell nproc)
BUILD     ?= build
ASAN      ?= build-asan
FUZZ      ?= build-fuzz
BENCH     ?= build-bench
FUZZ_SECONDS ?= 15

.PHONY: all deps configure build test test-unit test-asan fuzz run bench clean

all: build

deps:
	@scripts/install-deps

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

configure: deps $(BUILD)/CMakeCache.txt

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test-unit: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-asan: deps
	cmake -S . -B $(ASAN) -DCMAKE_BUILD_TYPE=Debug -DTERVANE_SANITIZE=ON -DTERVANE_GUI=OFF -DTERVANE_BENCH=OFF
	cmake --build $(ASAN) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --test-dir $(ASAN) --output-on-failure -j $(JOBS)

fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTERVANE_FUZZ=ON -DTERVANE_GUI=OFF -DTERVANE_BENCH=OFF
	cmake --build $(FUZZ) -j $(JOBS)
	scripts/run-fuzzers $(FUZZ)/bin $(FUZZ_SECONDS)

test: test-unit test-asan fuzz

run: build
	scripts/run-workbench $(BUILD)

bench: deps
	cmake -S . -B $(BENCH) -DCMAKE_BUILD_TYPE=Release -DTERVANE_TESTS=OFF -DTERVANE_GUI=OFF
	cmake --build $(BENCH) -j $(JOBS)
	scripts/run-benchmarks $(BENCH)/bin

clean:
	rm -rf $(BUILD) $(ASAN) $(FUZZ) $(BENCH)

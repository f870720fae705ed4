# Tervane: the two commands a newcomer needs are `make run` and `make test`.
# Everything else is here for developers.
JOBS      ?= $(shell nproc)
BUILD     ?= build
CHECK     ?= build-check
BENCH     ?= build-bench
FUZZ_SECONDS ?= 10
GENERATOR := $(shell command -v ninja >/dev/null 2>&1 && echo "-G Ninja")

.PHONY: all deps configure build test check-build test-unit fuzz run bench clean deb package-check test-all run-workbench

all: build

deps:
	@scripts/install-deps

# Debug information is line tables only (-g1): enough for backtraces and the sanitizers'
# reports, and the builds take a third less time than with full debug information.
$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG"

configure: deps $(BUILD)/CMakeCache.txt

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# The checked build: the core, CLI, simulator and libraries compiled once with clang under
# AddressSanitizer and UndefinedBehaviorSanitizer, with libFuzzer's coverage
# instrumentation, so that the sanitized unit tests and the fuzz targets share its objects.
$(CHECK)/CMakeCache.txt:
	CC=clang CXX=clang++ cmake -S . -B $(CHECK) $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug \
	  -DCMAKE_C_FLAGS_DEBUG="-g1 -O1" -DCMAKE_CXX_FLAGS_DEBUG="-g1 -O1" \
	  -DTERVANE_SANITIZE=ON -DTERVANE_FUZZ=ON -DTERVANE_GUI=OFF -DTERVANE_BENCH=OFF

check-build: deps $(CHECK)/CMakeCache.txt
	cmake --build $(CHECK) -j $(JOBS)

# Every test case (the windows' on the offscreen platform), then every test case again
# under the sanitizers, then every fuzz target over its kept corpus.
test-unit: build check-build
	scripts/run-tests $(BUILD) $(JOBS)
	scripts/run-tests $(CHECK) $(JOBS)

fuzz: check-build
	scripts/run-fuzzers $(CHECK)/bin $(FUZZ_SECONDS) $(JOBS)

# The Debian package, built by CPack from the plain build; lintian looks it over when it
# is installed.
deb: build
	cd $(BUILD) && cpack -G DEB
	@deb=$$(ls -t $(BUILD)/package/tervane_*.deb | head -1); echo "built $$deb"; \
	  if command -v lintian >/dev/null 2>&1; then lintian "$$deb" || true; fi

# The package extracted and run from there as an unprivileged user.
package-check: deb
	scripts/check-package $$(ls -t $(BUILD)/package/tervane_*.deb | head -1)

test-all: test-unit fuzz package-check

# The two commands of the README: the missing packages are installed first (with root),
# then, started with sudo, the build and the run are the invoking user's.
test: deps
	@scripts/as-invoking-user $(MAKE) --no-print-directory test-all

run: deps
	@scripts/as-invoking-user $(MAKE) --no-print-directory run-workbench

run-workbench: build
	scripts/run-workbench $(BUILD)

bench: deps
	cmake -S . -B $(BENCH) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DTERVANE_TESTS=OFF -DTERVANE_GUI=OFF
	cmake --build $(BENCH) -j $(JOBS)
	scripts/run-benchmarks $(BENCH)/bin

clean:
	rm -rf $(BUILD) $(CHECK) $(BENCH)

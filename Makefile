# The project's commands. `make test` and `make demo` are the two the README promises.
MAKEFLAGS += --no-print-directory
JOBS    ?= 2
BUILD   ?= build
CHECK   ?= build-check
FUZZ    ?= build-fuzz
COVERAGE ?= build-coverage
FUZZ_SECONDS ?= 60
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all deps build test demo check bench fuzz coverage format clean

all: build

deps:
	@bash scripts/deps.sh

build: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

demo: build
	bash host/demo.sh $(BUILD)/host/vantel

# Address and undefined-behaviour sanitizers over the whole test suite.
check: test
	cmake -S . -B $(CHECK) -DCMAKE_BUILD_TYPE=Debug -DVANTEL_SANITIZE=ON
	cmake --build $(CHECK) -j $(JOBS)
	cd $(CHECK) && ctest --output-on-failure -j $(JOBS)

bench: build
	@for b in $(BUILD)/bench/bench_*; do [ -x "$$b" ] && "$$b" || exit 1; done

# Every fuzz target as a libFuzzer fuzzer (clang, sanitizers) for FUZZ_SECONDS each.
fuzz:
	@bash scripts/fuzz.sh $(FUZZ) $(FUZZ_SECONDS) $(JOBS)

# Line coverage of the test suite per folder (clang, llvm-cov).
coverage:
	@bash scripts/coverage.sh $(COVERAGE) $(JOBS)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(CHECK) $(FUZZ) $(COVERAGE)

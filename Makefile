# The project's commands. `make test` and `make demo` are the two the README promises.
MAKEFLAGS += --no-print-directory
JOBS    ?= 2
BUILD   ?= build
CHECK   ?= build-check
TSAN    ?= build-tsan
# The tests the thread sanitizer runs over: the dialogs, whose worker threads meet the
# user-interface thread.
TSAN_TESTS ?= dialogs
FUZZ    ?= build-fuzz
COVERAGE ?= build-coverage
FUZZ_SECONDS ?= 60
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all deps build test demo check tsan bench fuzz coverage mutants format clean windows \
        windows-test

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

# The thread sanitizer over the test programs of $(TSAN_TESTS).
tsan: deps
	cmake -S . -B $(TSAN) -DCMAKE_BUILD_TYPE=Debug -DVANTEL_TSAN=ON -DVANTEL_BENCH=OFF
	cmake --build $(TSAN) -j $(JOBS) --target vantel \
	    $$(cmake --build $(TSAN) --target help | grep -o 'test_$(TSAN_TESTS)_[A-Za-z0-9_]*')
	@for t in $$(find $(TSAN)/tests -maxdepth 1 -type f -executable -name 'test_$(TSAN_TESTS)_*'); do \
	    echo "== $$t"; \
	    VANTEL_TIME_SCALE=0.01 VANTEL_OBJECT_NAMESPACE=process TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" "$$t" \
	        --gtest_brief=1 || exit 1; \
	done

# VantelPrintUsb.dll and vantel.exe cross-built with mingw-w64 for i686 and x86_64 into
# build-windows-<arch>/bin, with their checks; then the builds under Wine and Xvfb, taking the
# pictures of the dialogs in docs/dialogs/.
windows: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)
	bash scripts/windows.sh $(BUILD)

windows-test: windows
	bash scripts/windows-test.sh

bench: build
	@for b in $(BUILD)/bench/bench_*; do [ -x "$$b" ] && "$$b" || exit 1; done

# Every fuzz target as a libFuzzer fuzzer (clang, sanitizers) for FUZZ_SECONDS each.
fuzz:
	@bash scripts/fuzz.sh $(FUZZ) $(FUZZ_SECONDS) $(JOBS)

# Line coverage of the test suite per folder (clang, llvm-cov).
coverage:
	@bash scripts/coverage.sh $(COVERAGE) $(JOBS)

# Which of the faults of scripts/mutants.py the test suite catches, each in a scratch copy of
# the tree in build-mutants/ (MUTANTS_ARGS: e.g. --only ID or --folder usb).
mutants: deps
	python3 scripts/mutants.py --jobs $(JOBS) $(MUTANTS_ARGS)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(CHECK) $(TSAN) $(FUZZ) $(COVERAGE) build-mutants build-windows-i686 \
	    build-windows-x86_64

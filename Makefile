# The two everyday commands: `make run` and `make test`. Each installs what it needs first.
BUILD ?= build
ASAN_BUILD ?= build-asan
CMAKE_FLAGS ?=

WIN_BUILD ?= build-win
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60

.PHONY: all deps-run deps-test deps-ci build-run build run test test-sanitize cross-windows fuzz \
  bench format clean

all: build

# Each kind of work installs only what it needs (tools/install-deps.sh says which is which).
deps-run:
	@tools/install-deps.sh run
deps-test:
	@tools/install-deps.sh test
deps-ci:
	@tools/install-deps.sh ci

# The program alone, without tests and benchmarks.
build-run: deps-run
	cmake -S . -B $(BUILD) -G Ninja -DVELMORA_TESTS=OFF -DVELMORA_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(BUILD)

# Everything: the program, the tests and the benchmarks.
build: deps-test
	cmake -S . -B $(BUILD) -G Ninja -DVELMORA_TESTS=ON -DVELMORA_BENCH=ON $(CMAKE_FLAGS)
	cmake --build $(BUILD)

run: build-run
	tools/run-velmora.sh $(ARGS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure
	tools/run-unprivileged-tests.sh $(BUILD)

test-sanitize: deps-test
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DVELMORA_SANITIZE=ON -DVELMORA_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
	cmake --build $(ASAN_BUILD)
	UBSAN_OPTIONS=print_stacktrace=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tools/lsan.supp \
	  ctest --test-dir $(ASAN_BUILD) --output-on-failure

# Everything below the window, cross-compiled for Windows with mingw-w64 (cannot run here).
cross-windows: deps-ci
	cmake -S . -B $(WIN_BUILD) -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
	  -DVELMORA_GUI=OFF -DVELMORA_TESTS=OFF -DVELMORA_BENCH=OFF
	cmake --build $(WIN_BUILD)

fuzz: deps-ci
	CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DVELMORA_FUZZ=ON -DVELMORA_GUI=OFF \
	  -DVELMORA_TESTS=OFF -DVELMORA_BENCH=OFF
	cmake --build $(FUZZ_BUILD)
	@set -e; for f in $(FUZZ_BUILD)/*_fuzz; do \
	  corpus=$$(mktemp -d); log=$$corpus.log; echo "== $$f for $(FUZZ_SECONDS) s"; \
	  if ! $$f -max_total_time=$(FUZZ_SECONDS) -max_len=4096 -print_final_stats=1 \
	      $$corpus $(CURDIR)/tests/golden > $$log 2>&1; then tail -n 40 $$log; exit 1; fi; \
	  grep '^stat::' $$log; rm -rf $$corpus $$log; done

bench: build
	@for b in $(BUILD)/bench/*_bench; do echo "== $$b"; $$b; done

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(WIN_BUILD)

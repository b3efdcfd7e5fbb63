# The two everyday commands: `make run` and `make test`. Both install what is missing first.
BUILD ?= build
ASAN_BUILD ?= build-asan
CMAKE_FLAGS ?=

WIN_BUILD ?= build-win
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60

.PHONY: all deps configure build run test test-sanitize cross-windows fuzz bench format clean

all: build

deps:
	@tools/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD)

run: build
	tools/run-velmora.sh $(ARGS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure
	tools/run-unprivileged-tests.sh $(BUILD)

test-sanitize: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DVELMORA_SANITIZE=ON -DVELMORA_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
	cmake --build $(ASAN_BUILD)
	UBSAN_OPTIONS=print_stacktrace=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tools/lsan.supp \
	  ctest --test-dir $(ASAN_BUILD) --output-on-failure

# Everything below the window, cross-compiled for Windows with mingw-w64 (cannot run here).
cross-windows: deps
	cmake -S . -B $(WIN_BUILD) -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
	  -DVELMORA_GUI=OFF -DVELMORA_TESTS=OFF -DVELMORA_BENCH=OFF
	cmake --build $(WIN_BUILD)

fuzz: deps
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

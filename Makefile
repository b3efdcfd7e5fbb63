# The two everyday commands: `make run` and `make test`. Both install what is missing first.
BUILD ?= build
ASAN_BUILD ?= build-asan
CMAKE_FLAGS ?=

.PHONY: all deps configure build run test test-sanitize bench format clean

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

test-sanitize: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DVELMORA_SANITIZE=ON -DVELMORA_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
	cmake --build $(ASAN_BUILD)
	UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir $(ASAN_BUILD) --output-on-failure

bench: build
	@for b in $(BUILD)/bench/*_bench; do echo "== $$b"; $$b; done

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)

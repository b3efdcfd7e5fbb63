# SPDX-License-Identifier: GPL-2.0-or-later
# The two everyday commands: `make run` and `make test`. Each installs what it needs first.
BUILD ?= build
ASAN_BUILD ?= build-asan
CMAKE_FLAGS ?=
SUDO := $(shell [ "$$(id -u)" -eq 0 ] || echo sudo)

WIN_BUILD ?= build-win
I386_BUILD ?= build-i386
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
# Where `make install` puts velmora; DESTDIR (empty: the live system) is put in front of it.
PREFIX ?= /usr/local
DESTDIR ?=

.PHONY: all deps-run deps-test deps-ci deps-i386 build-run build run test test-i386 test-sanitize \
  cross-windows fuzz bench format clean install uninstall screenshots mutants

all: build

# Each kind of work installs only what it needs (tools/install-deps.sh says which is which).
deps-run:
	@tools/install-deps.sh run
deps-test:
	@tools/install-deps.sh test
deps-ci:
	@tools/install-deps.sh ci
deps-i386:
	@tools/install-deps.sh i386

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

# Our own mutation check: each fault of tools/mutants.list put into a copy of the tree, the
# suite run against it, the score and the faults that got through printed. Long (a build and
# a test run per fault), so not part of CI; MUTANTS="id ..." runs only those entries.
mutants: deps-test
	tools/mutants.py $(MUTANTS)

# Pictures of every tab of the window, taken offscreen by the program itself on simulated
# boards 4, 7, 12 and 14 (PROFILES="0 9" for others), into docs/screenshots.
screenshots: build-run
	QT_QPA_PLATFORM=offscreen $(BUILD)/tools/screenshots/velmora_screenshots docs/screenshots $(PROFILES)

# The program, its sensor maps, menu entry, icons, metainfo, manual page and the boot-time
# entry of the lock folder, under $(PREFIX) (see "Installing" in README.md).
install: build-run
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix $(PREFIX)

# Removes what the last `make install` from $(BUILD) put in place (install_manifest.txt lists
# it, without DESTDIR), and velmora's own folders when they are left empty.
uninstall:
	@test -f $(BUILD)/install_manifest.txt || \
	  { echo "$(BUILD)/install_manifest.txt: nothing was installed from $(BUILD)"; exit 1; }
	@while IFS= read -r f || [ -n "$$f" ]; do \
	  f="$(DESTDIR)$$f"; \
	  if [ -e "$$f" ] || [ -L "$$f" ]; then echo "Removing $$f"; rm -f "$$f"; fi; \
	  case "$$f" in */velmora/*) rmdir "$${f%/*}" 2>/dev/null || true ;; esac; \
	done < $(BUILD)/install_manifest.txt

test-sanitize: deps-test
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DVELMORA_SANITIZE=ON -DVELMORA_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
	cmake --build $(ASAN_BUILD)
	UBSAN_OPTIONS=print_stacktrace=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tools/lsan.supp \
	  ctest --test-dir $(ASAN_BUILD) --output-on-failure

# The Socket A build: every test in a Debian 12 i386 root with Qt 5.15 (made once in
# $(I386_BUILD)/root), then the program on an emulated Athlon without SSE2. Needs root.
test-i386: deps-i386
	$(SUDO) tools/test-i386.sh $(I386_BUILD)

# Everything below the window, cross-compiled for 32-bit Windows with mingw-w64 (cannot run
# here), and checked for instructions a Socket A CPU lacks.
cross-windows: deps-ci
	cmake -S . -B $(WIN_BUILD) -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake \
	  -DVELMORA_GUI=OFF -DVELMORA_TESTS=OFF -DVELMORA_BENCH=OFF
	cmake --build $(WIN_BUILD)
	tools/check-no-sse2.sh $(WIN_BUILD)/libvelmora_core.a

fuzz: deps-ci
	CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DVELMORA_FUZZ=ON -DVELMORA_GUI=OFF \
	  -DVELMORA_TESTS=OFF -DVELMORA_BENCH=OFF
	cmake --build $(FUZZ_BUILD)
	@set -e; for f in $(FUZZ_BUILD)/*_fuzz; do \
	  seeds=$(CURDIR)/tests/fuzz/seeds/$$(basename $$f _fuzz); \
	  if [ ! -d $$seeds ]; then echo "$$f: no seed folder $$seeds"; exit 1; fi; \
	  corpus=$$(mktemp -d); log=$$corpus.log; echo "== $$f for $(FUZZ_SECONDS) s"; \
	  if ! $$f -max_total_time=$(FUZZ_SECONDS) -max_len=4096 -print_final_stats=1 \
	      $$corpus $$seeds > $$log 2>&1; then tail -n 40 $$log; exit 1; fi; \
	  grep -E '^stat::|INITED' $$log; rm -rf $$corpus $$log; done

bench: build
	@for b in $(BUILD)/bench/*_bench; do echo "== $$b"; $$b; done

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

# --one-file-system: a mount left inside the i386 root by a killed run is never descended into.
clean:
	$(SUDO) rm -rf --one-file-system $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(WIN_BUILD) $(I386_BUILD) build-mutants

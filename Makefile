# make          builds the plug-in: build/cross/bin/CvTrivane.dll (32-bit, the product)
# make demo     runs the stand-in host with the plug-in (on Xvfb when there is no display)
# make test     runs every test; ends with a line "N passed, M failed"
# make fuzz     runs the fuzzers for longer (FUZZ_SECONDS each, default 300)
# make bench    prints the benchmarks' figures
# make pictures renders the dialogs and the demo tour to PNG under docs/
# make dist     builds the release archive dist/CvTrivane-<version>.zip and the source of the
#               same commit beside it, dist/CvTrivane-<version>-src.zip (scripts/make-dist.sh)
# Each target installs what is missing first (scripts/setup.sh, as root). The demo, the
# benchmarks and the pictures run the 32-bit build where this machine runs 32-bit code, and its
# 64-bit twin (build/cross64) where it cannot; CVT_RUNS_32BIT=0 or 1 forces the answer.

BUILD ?= build
CROSS := $(BUILD)/cross
JOBS ?= 2
export CVT_BUILD := $(abspath $(BUILD))
export JOBS

.PHONY: all setup dll run-build demo pictures dist test fuzz bench format format-check clean

all: dll

setup:
	@scripts/setup.sh

dll: setup
	@scripts/build.sh --product

# The build that runs under Wine on this machine.
run-build: dll
	@scripts/build.sh

demo: setup
	@scripts/demo.sh --build

pictures: run-build
	@scripts/render-pictures.sh

dist: setup
	@scripts/make-dist.sh

test: setup
	@scripts/run-tests.sh

fuzz: setup
	@FUZZ_SECONDS=$${FUZZ_SECONDS:-300} scripts/run-fuzzers.sh

bench: run-build
	@scripts/run-benchmarks.sh

# Without files (no git, or not a checkout) clang-format would read standard input instead.
SOURCES = $$(git ls-files '*.cpp' '*.h' | grep . || echo "no sources listed by git" >&2)

format:
	@files=$(SOURCES) && [ -n "$$files" ] && clang-format -i $$files </dev/null

format-check:
	@files=$(SOURCES) && [ -n "$$files" ] && clang-format --dry-run --Werror $$files </dev/null

clean:
	rm -rf $(CROSS) $(BUILD)/cross64 $(BUILD)/native $(BUILD)/native-asan $(BUILD)/fuzz \
		$(BUILD)/dist-check dist

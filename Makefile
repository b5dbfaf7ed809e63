# make          builds the plug-in: build/cross/bin/CvTrivane.dll
# make demo     runs the stand-in host with the plug-in (on Xvfb when there is no display)
# make test     runs every test; ends with a line "N passed, M failed"
# make fuzz     runs the fuzzers for longer (FUZZ_SECONDS each, default 300)
# make bench    prints the benchmarks' figures
# make pictures renders the dialogs and the demo tour to PNG under docs/
# make dist     builds the release archive dist/CvTrivane-<version>.zip (scripts/make-dist.sh)
# Each target installs what is missing first (scripts/setup.sh, as root).

BUILD ?= build
CROSS := $(BUILD)/cross
JOBS ?= 2
export CVT_BUILD := $(abspath $(BUILD))

.PHONY: all setup dll demo pictures dist test fuzz bench format format-check clean

all: dll

setup:
	@scripts/setup.sh

dll: setup
	@cmake -S . -B $(CROSS) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
		-DCMAKE_BUILD_TYPE=Release >$(BUILD)/cmake-cross.log || { cat $(BUILD)/cmake-cross.log; exit 1; }
	@cmake --build $(CROSS) -j$(JOBS)
	@echo "built $(CROSS)/bin/CvTrivane.dll"

demo: dll
	@scripts/demo.sh

pictures: dll
	@scripts/render-pictures.sh

dist: setup
	@scripts/make-dist.sh

test: setup
	@scripts/run-tests.sh

fuzz: setup
	@FUZZ_SECONDS=$${FUZZ_SECONDS:-300} scripts/run-fuzzers.sh

bench: dll
	@scripts/run-benchmarks.sh

format:
	@clang-format -i $$(git ls-files '*.cpp' '*.h')

format-check:
	@clang-format --dry-run --Werror $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(CROSS) $(BUILD)/native $(BUILD)/native-asan $(BUILD)/fuzz $(BUILD)/dist-check dist

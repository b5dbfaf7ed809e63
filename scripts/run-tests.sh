#!/usr/bin/env bash
# Runs every test: formatting, the native unit tests (plain and with sanitizers), the fuzzers
# briefly, the Win32 integration tests under Wine, the import check and the demo's tour.
# Ends with one line "N passed, M failed"; exits non-zero when anything failed.
set -uo pipefail
cd "$(dirname "$0")/.."
source scripts/wine-env.sh
JOBS="${JOBS:-2}"
RESULTS="$CVT_BUILD/test-results"
rm -rf "$RESULTS"
mkdir -p "$RESULTS"
passed=0
failed=0

note() { printf '\n=== %s\n' "$*"; }
pass() { passed=$((passed + 1)); echo "PASS $*"; }
fail() { failed=$((failed + 1)); echo "FAIL $*"; }

# Adds the counts of a GoogleTest XML report; a missing report (a crash) counts as a failure.
count_gtest() {
    local name="$1" xml="$2"
    if [ ! -s "$xml" ]; then
        fail "$name: no report (the test program crashed or did not start)"
        return
    fi
    local header tests failures errors disabled
    header=$(grep -m1 -o '<testsuites [^>]*>' "$xml")
    tests=$(sed -n 's/.* tests="\([0-9]*\)".*/\1/p' <<<"$header")
    failures=$(sed -n 's/.* failures="\([0-9]*\)".*/\1/p' <<<"$header")
    errors=$(sed -n 's/.* errors="\([0-9]*\)".*/\1/p' <<<"$header")
    disabled=$(sed -n 's/.* disabled="\([0-9]*\)".*/\1/p' <<<"$header")
    local bad=$((failures + errors))
    passed=$((passed + tests - disabled - bad))
    failed=$((failed + bad))
    echo "$name: $((tests - disabled - bad)) passed, $bad failed"
    [ "$bad" -eq 0 ] || grep -o 'testcase name="[^"]*"[^>]*>\s*<failure' "$xml" | head -20
}

build() {  # build DIR LOG cmake-args...
    local dir="$1" log="$2"
    shift 2
    cmake -S . -B "$dir" "$@" >"$log" 2>&1 && cmake --build "$dir" -j"$JOBS" >>"$log" 2>&1
}

note "formatting"
if clang-format --dry-run --Werror $(git ls-files '*.cpp' '*.h') >"$RESULTS/format.log" 2>&1; then
    pass "clang-format"
else
    fail "clang-format (see $RESULTS/format.log)"; head -20 "$RESULTS/format.log"
fi

note "native unit tests"
if build "$CVT_BUILD/native" "$RESULTS/native-build.log" -DCMAKE_BUILD_TYPE=Release; then
    "$CVT_BUILD/native/cvt_native_tests" --gtest_output="xml:$RESULTS/native.xml" \
        >"$RESULTS/native.log" 2>&1
    count_gtest "native" "$RESULTS/native.xml"
else
    fail "native build"; tail -30 "$RESULTS/native-build.log"
fi

note "native unit tests with address and undefined-behaviour sanitizers"
if build "$CVT_BUILD/native-asan" "$RESULTS/asan-build.log" -DCMAKE_BUILD_TYPE=Debug \
    -DCVT_SANITIZE=ON; then
    UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
        "$CVT_BUILD/native-asan/cvt_native_tests" --gtest_output="xml:$RESULTS/asan.xml" \
        >"$RESULTS/asan.log" 2>&1
    count_gtest "native+sanitizers" "$RESULTS/asan.xml"
else
    fail "sanitizer build"; tail -30 "$RESULTS/asan-build.log"
fi

note "fuzzers (briefly)"
if FUZZ_SECONDS="${FUZZ_SECONDS:-15}" scripts/run-fuzzers.sh >"$RESULTS/fuzz.log" 2>&1; then
    pass "fuzzers"
else
    fail "fuzzers (see $RESULTS/fuzz.log)"; tail -30 "$RESULTS/fuzz.log"
fi
grep -E '^fuzz:' "$RESULTS/fuzz.log"

note "Win32 integration tests under Wine"
if build "$CVT_BUILD/cross" "$RESULTS/cross-build.log" \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release; then
    grep -E 'CvTrivane.dll: [0-9]+ bytes' "$RESULTS/cross-build.log" | tail -1
    scripts/wine-rig.sh sh -c "wine '$CVT_BUILD/cross/bin/cvt_wine_tests.exe' \
        --gtest_output='xml:Z:$RESULTS/wine.xml' >'$RESULTS/wine.log' 2>&1"
    count_gtest "wine" "$RESULTS/wine.xml"

    imports=$(i686-w64-mingw32-objdump -p "$CVT_BUILD/cross/bin/CvTrivane.dll" |
        awk '/DLL Name:/ {print $3}')
    foreign=$(grep -viE '^(kernel32|user32|gdi32|advapi32|shell32|shlwapi|comctl32|msvcrt)\.dll$' \
        <<<"$imports")
    if [ -z "$foreign" ]; then
        pass "the DLL imports only system libraries: $(echo $imports)"
    else
        fail "the DLL imports non-system libraries: $foreign"
    fi

    if [ -x scripts/demo.sh ]; then
        if CVT_DEMO_SMOKE=1 scripts/demo.sh >"$RESULTS/demo.log" 2>&1; then
            pass "demo tour"
        else
            fail "demo tour (see $RESULTS/demo.log)"; tail -30 "$RESULTS/demo.log"
        fi
    fi
else
    fail "cross build"; tail -30 "$RESULTS/cross-build.log"
fi

note "release archive"
scripts/check-dist.sh >"$RESULTS/dist.log" 2>&1
dist_status=$?
while IFS= read -r line; do
    case "$line" in
        "PASS "*) pass "${line#PASS }" ;;
        "FAIL "*) fail "${line#FAIL }" ;;
        *) echo "$line" ;;
    esac
done <"$RESULTS/dist.log"
[ "$dist_status" -eq 0 ] || grep -q "^FAIL " "$RESULTS/dist.log" ||
    { fail "release archive (see $RESULTS/dist.log)"; tail -20 "$RESULTS/dist.log"; }

echo
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]

#!/usr/bin/env bash
# Runs every test: formatting, the native unit tests (plain and with sanitizers), the fuzzers
# briefly, the product (the 32-bit DLL) checked from its file, the Win32 integration tests and
# the demo's tour under 64-bit Wine on the 64-bit twin, and, where this machine runs 32-bit
# code, the same suite and tour on the product under 32-bit Wine, with the version-dependent
# tests again as Windows 2000 and XP. Ends with one line "N passed, M failed" (", K skipped"
# after it when anything was skipped; a skip never counts as a pass); exits non-zero when
# anything failed.
set -uo pipefail
cd "$(dirname "$0")/.."
source scripts/wine-env.sh
JOBS="${JOBS:-2}"
RESULTS="$CVT_BUILD/test-results"
rm -rf "$RESULTS"
mkdir -p "$RESULTS"
passed=0
failed=0
skipped=0

note() { printf '\n=== %s\n' "$*"; }
pass() { passed=$((passed + 1)); echo "PASS $*"; }
fail() { failed=$((failed + 1)); echo "FAIL $*"; }
skip() { skipped=$((skipped + 1)); echo "SKIP $*"; }

# Adds the counts of a GoogleTest XML report and names each skipped test with its reason; a
# missing report (a crash) counts as a failure.
count_gtest() {
    local name="$1" xml="$2"
    if [ ! -s "$xml" ]; then
        fail "$name: no report (the test program crashed or did not start)"
        return
    fi
    local header tests failures errors disabled skips
    header=$(grep -m1 -o '<testsuites [^>]*>' "$xml")
    tests=$(sed -n 's/.* tests="\([0-9]*\)".*/\1/p' <<<"$header")
    failures=$(sed -n 's/.* failures="\([0-9]*\)".*/\1/p' <<<"$header")
    errors=$(sed -n 's/.* errors="\([0-9]*\)".*/\1/p' <<<"$header")
    disabled=$(sed -n 's/.* disabled="\([0-9]*\)".*/\1/p' <<<"$header")
    skips=$(grep -c 'result="skipped"' "$xml")
    local bad=$((failures + errors))
    passed=$((passed + tests - disabled - bad - skips))
    failed=$((failed + bad))
    skipped=$((skipped + skips))
    echo "$name: $((tests - disabled - bad - skips)) passed, $bad failed, $skips skipped"
    # Each skipped test and the reason it gives (the line after the file:line of its message).
    awk '/result="skipped"/ { match($0, /name="[^"]*"/); test = substr($0, RSTART + 6, RLENGTH - 7)
                              match($0, /classname="[^"]*"/); suite = substr($0, RSTART + 11, RLENGTH - 12) }
         /<skipped message=/ { getline reason; sub(/\]\]>.*/, "", reason)
                               printf "SKIP %s.%s: skipped: %s\n", suite, test, reason }' "$xml"
    [ "$bad" -eq 0 ] || grep -o 'testcase name="[^"]*"[^>]*>\s*<failure' "$xml" | head -20
}

# Adds the PASS and FAIL lines of a check script's output, and echoes every line.
count_lines() {
    local log="$1" line
    while IFS= read -r line; do
        case "$line" in
            "PASS "*) pass "${line#PASS }" ;;
            "FAIL "*) fail "${line#FAIL }" ;;
            *) echo "$line" ;;
        esac
    done <"$log"
}

# Runs a check script that prints PASS and FAIL lines and counts them; a script that ends
# non-zero without a FAIL line (it could not run, or stopped early) fails too.
check_script() {  # check_script LOGNAME DESCRIPTION COMMAND...
    local log="$RESULTS/$1.log" description="$2" status
    shift 2
    "$@" >"$log" 2>&1
    status=$?
    count_lines "$log"
    [ "$status" -eq 0 ] || grep -q "^FAIL " "$log" ||
        { fail "$description: exit status $status (see $log)"; tail -20 "$log"; }
}

build() {  # build DIR LOG cmake-args... [-- TARGET...]
    local dir="$1" log="$2" targets=()
    shift 2
    local args=()
    while [ $# -gt 0 ] && [ "$1" != -- ]; do args+=("$1"); shift; done
    [ $# -gt 0 ] && { shift; targets=(--target "$@"); }
    cmake -S . -B "$dir" "${args[@]}" >"$log" 2>&1 &&
        cmake --build "$dir" -j"$JOBS" "${targets[@]}" >>"$log" 2>&1
}

# The whole Wine suite on one build (32 or 64), in its own prefix.
run_wine_suite() {
    local bits="$1"
    CVT_WINE_BITS=$bits scripts/setup.sh --prefix >"$RESULTS/prefix$bits.log" 2>&1 ||
        { fail "$bits-bit Wine prefix"; tail -20 "$RESULTS/prefix$bits.log"; return 1; }
    # The system version as the prefix was made (a run stopped as Windows 2000 may have left it).
    CVT_WINE_BITS=$bits scripts/wine-rig.sh sh -c "
        wine reg delete 'HKCU\\Software\\Wine' /v Version /f >/dev/null 2>&1
        wine '$CVT_BUILD/$2/bin/cvt_wine_tests.exe' \
            --gtest_output='xml:Z:$RESULTS/wine$bits.xml' >'$RESULTS/wine$bits.log' 2>&1"
    count_gtest "wine, $bits-bit" "$RESULTS/wine$bits.xml"
    return 0
}

# The fault roads again with the toolchain's shared unwinder loaded first, as another plug-in
# built with the same toolchain brings it into the host: the plug-in must not need an unwinder.
run_with_shared_unwinder() {
    CVT_WINE_BITS=32 scripts/wine-rig.sh sh -c "
        CVT_PRELOAD_RUNTIME=libgcc_s_dw2-1.dll wine '$CVT_BUILD/cross/bin/cvt_wine_tests.exe' \
            --gtest_filter='Roads/FaultInjection.*:SelectionCapture.HeapRunningOut*' \
            --gtest_output='xml:Z:$RESULTS/wine32-unwinder.xml' >'$RESULTS/wine32-unwinder.log' 2>&1"
    count_gtest "wine, 32-bit, the shared unwinder loaded first" "$RESULTS/wine32-unwinder.xml"
}

run_tour() {
    local bits="$1"
    if CVT_WINE_BITS=$bits CVT_DEMO_SMOKE=1 scripts/demo.sh >"$RESULTS/demo$bits.log" 2>&1; then
        pass "demo tour, $bits-bit ($(grep -c '  ok:' "$RESULTS/demo$bits.log") steps ok)"
    else
        fail "demo tour, $bits-bit (see $RESULTS/demo$bits.log)"; tail -30 "$RESULTS/demo$bits.log"
    fi
}

# The tests that depend on the system version, with the prefix reporting Windows 2000 and XP:
# the step bar and the marquee chosen by the real version query.
run_old_windows() {
    local bits="$1" dir="$2" version name number
    for version in win2k:5.0 winxp:5.1; do
        name=${version%%:*}
        number=${version#*:}
        CVT_WINE_BITS=$bits CVT_WINDOWS_VERSION=$number scripts/wine-rig.sh sh -c "
            wine reg add 'HKCU\\Software\\Wine' /v Version /t REG_SZ /d $name /f >/dev/null 2>&1
            wine '$CVT_BUILD/$dir/bin/cvt_wine_tests.exe' \
                --gtest_filter='Progress*:OpenCommand.*:Confirmation.*' \
                --gtest_output='xml:Z:$RESULTS/wine$bits-$name.xml' >'$RESULTS/wine$bits-$name.log' 2>&1
            wine reg delete 'HKCU\\Software\\Wine' /v Version /f >/dev/null 2>&1"
        count_gtest "wine, $bits-bit, as Windows $number ($name)" "$RESULTS/wine$bits-$name.xml"
    done
}

note "formatting"
# Without files (no git, or not a checkout) clang-format would read standard input.
sources=$(git ls-files '*.cpp' '*.h' 2>/dev/null)
if [ -z "$sources" ]; then
    fail "clang-format: git lists no sources to check"
elif clang-format --dry-run --Werror $sources </dev/null >"$RESULTS/format.log" 2>&1; then
    pass "clang-format ($(wc -l <<<"$sources") files)"
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

note "the product: the 32-bit DLL, built and checked from its file"
echo "this machine $([ "$CVT_RUNS_32BIT_HERE" = 1 ] && echo runs || echo cannot run) 32-bit code"
# Where 32-bit code cannot run, only the DLL is built: its tests could not run.
product_targets=()
[ "$CVT_RUNS_32BIT_HERE" = 1 ] || product_targets=(-- CvTrivane)
if build "$CVT_BUILD/cross" "$RESULTS/cross-build.log" \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release "${product_targets[@]}"; then
    product_built=1
    grep -E 'CvTrivane.dll: [0-9]+ bytes' "$RESULTS/cross-build.log" | tail -1
    check_script dll-file "the DLL's file checks" scripts/check-dll-file.sh \
        "$CVT_BUILD/cross/bin/CvTrivane.dll"
    check_script dll-file-self-test "the import check's self-test" \
        scripts/check-dll-file.sh --self-test
else
    product_built=0
    fail "32-bit build"; tail -30 "$RESULTS/cross-build.log"
fi

note "the 64-bit twin under 64-bit Wine: the Wine suite and the demo tour"
if build "$CVT_BUILD/cross64" "$RESULTS/cross64-build.log" \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=Release; then
    if run_wine_suite 64 cross64; then
        run_tour 64
        [ "$CVT_RUNS_32BIT_HERE" = 1 ] || run_old_windows 64 cross64
    fi
else
    fail "64-bit build"; tail -30 "$RESULTS/cross64-build.log"
fi

note "the product under 32-bit Wine: the Wine suite, the demo tour, Windows 2000 and XP"
if [ "$CVT_RUNS_32BIT_HERE" != 1 ]; then
    skip "32-bit Wine suite: skipped: this machine cannot run 32-bit code"
    skip "32-bit demo tour: skipped: this machine cannot run 32-bit code"
    skip "32-bit fault roads with the shared unwinder loaded first: skipped: this machine cannot run 32-bit code"
elif [ "$product_built" = 1 ]; then
    if run_wine_suite 32 cross; then
        run_tour 32
        run_old_windows 32 cross
        run_with_shared_unwinder
    fi
fi

note "release archive"
check_script dist "release archive" scripts/check-dist.sh

echo
if [ "$skipped" -gt 0 ]; then
    echo "$passed passed, $failed failed, $skipped skipped"
else
    echo "$passed passed, $failed failed"
fi
[ "$failed" -eq 0 ]

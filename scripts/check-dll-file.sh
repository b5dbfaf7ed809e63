#!/usr/bin/env bash
# Checks the product, the 32-bit CvTrivane.dll, from its file, on any machine (nothing of it is
# run here): its exports and ordinals, the bytes each callback removes from the stack, the
# libraries it imports and that every imported function exists on the oldest Windows it
# supports. Prints one PASS or FAIL line per check; exits 1 when any failed.
#   scripts/check-dll-file.sh [DLL]
#   scripts/check-dll-file.sh --imports WINNT DLL   only the check of the imported functions
#                                                    against Windows WINNT (e.g. 0x0500)
#   scripts/check-dll-file.sh --self-test           shows that the import check refuses DLLs
#                                                    that import a Vista or an XP function, or
#                                                    a C runtime function Windows 2000 lacks
# The resources (dialog templates) are compared by the Wine suite, which reads this file as
# data in the 64-bit twin too.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
objdump=i686-w64-mingw32-objdump
compiler=i686-w64-mingw32-g++-win32
# Windows 2000: the oldest system the plug-in loads on.
target_winnt=0x0500
failed=0

pass() { echo "PASS $*"; }
fail() { echo "FAIL $*"; failed=1; }

# Imported functions by DLL, one "dll function" pair a line (the DLL name in lower case).
imported_functions() {
    "$objdump" -p "$1" | awk '
        /^\tDLL Name:/ { dll = tolower($3); next }
        dll != "" && /^\t[0-9a-f]+\t +[0-9]+ +[A-Za-z_]/ { print dll, $3 }'
}

# Functions that Windows 2000 lacks although the mingw-w64 headers declare them whatever
# _WIN32_WINNT says; they came with Windows XP. The runtime of a C++ toolchain is where they
# tend to come from.
XP_FUNCTIONS=(
    AddVectoredExceptionHandler RemoveVectoredExceptionHandler AddVectoredContinueHandler
    GetModuleHandleExA GetModuleHandleExW EncodePointer DecodePointer GetNativeSystemInfo
    InitializeSListHead InterlockedPushEntrySList InterlockedPopEntrySList
    InterlockedFlushSList QueryDepthSList IsWow64Process GetProcessId SetDllDirectoryA
    SetDllDirectoryW HeapSetInformation GetSystemTimes AttachConsole RtlCaptureContext
)

# What Windows 2000's msvcrt.dll exports, and where the facts come from: the list beside this
# script. The headers cannot tell, since they declare the runtime's later functions too.
MSVCRT_LIST=scripts/msvcrt-win2000.txt
msvcrt_win2000() {
    sed 's/#.*//' "$MSVCRT_LIST" | tr -s ' \t' '\n' | sed '/^$/d'
}

# Each imported system function must exist on Windows WINNT: it is compiled against the
# mingw-w64 headers with _WIN32_WINNT and WINVER at that value, which hide the functions of
# later systems, and checked against the list above. For Windows 2000 the C runtime's imports
# (msvcrt) must be on its list.
check_target_imports() {
    local winnt="$1" dll="$2" source count output status late crt=0
    count=$(imported_functions "$dll" | grep -vc '^msvcrt.dll ')
    [ "$count" -gt 0 ] || { fail "no imported function of $dll could be read"; return; }
    source=$(mktemp --suffix=.cpp)
    {
        printf '#define _WIN32_WINNT %s\n#define WINVER %s\n' "$winnt" "$winnt"
        printf '#include <windows.h>\n#include <commctrl.h>\n#include <shellapi.h>\n'
        printf '#include <shlwapi.h>\n'
        imported_functions "$dll" | awk '$1 != "msvcrt.dll" {
            printf "namespace n%d { auto* f = &%s; }\n", NR, $2 }'
    } >"$source"
    output=$("$compiler" -fsyntax-only -w "$source" 2>&1)
    status=$?
    rm -f "$source"
    late=$(sed -n "s/.*error: .\([A-Za-z0-9_]*\). was not declared in this scope.*/\1/p" \
        <<<"$output" | sort -u)
    # A compiler that failed for any other reason has judged nothing.
    if [ "$status" -ne 0 ] && [ -z "$late" ]; then
        fail "the import check could not compile its probe: $(head -3 <<<"$output")"
        return
    fi
    if [ "$winnt" = 0x0500 ]; then
        [ -n "$(msvcrt_win2000)" ] || { fail "no names in $MSVCRT_LIST"; return; }
        crt=$(imported_functions "$dll" | grep -c '^msvcrt.dll ')
        late=$(printf '%s\n%s\n%s\n' "$late" "$(imported_functions "$dll" | awk '{print $2}' |
            grep -xF "$(printf '%s\n' "${XP_FUNCTIONS[@]}")")" \
            "$(imported_functions "$dll" | awk '$1 == "msvcrt.dll" {print $2}' |
                grep -vxF "$(msvcrt_win2000)")" | sed '/^$/d' | sort -u)
    fi
    if [ -z "$late" ]; then
        pass "every function $(basename "$dll") imports from Windows exists on Windows $winnt" \
            "($count checked by the headers, $crt of msvcrt by its Windows 2000 list)"
    else
        fail "$(basename "$dll") imports functions that Windows $winnt lacks: $(echo $late)"
    fi
}

# Three small DLLs, importing GetTickCount64 (Vista), AddVectoredExceptionHandler (XP) and
# msvcrt's _vscwprintf (a later runtime's): the check must refuse the first for XP and 2000,
# the others for 2000 only, naming the function. Their other msvcrt imports, the runtime's
# start-up, must pass the list.
self_test() {
    local dir verdicts
    dir=$(mktemp -d)
    printf '#include <windows.h>\n__declspec(dllexport) ULONGLONG WINAPI Probe(void) {\n%s\n}\n' \
        'return GetTickCount64();' >"$dir/vista.c"
    printf '#include <windows.h>\n__declspec(dllexport) PVOID WINAPI Probe(void) {\n%s\n}\n' \
        'return AddVectoredExceptionHandler(1, NULL);' >"$dir/xp.c"
    printf '#include <stdio.h>\n__declspec(dllexport) int Probe(va_list a) {\n%s\n}\n' \
        'return _vscwprintf(L"%d", a);' >"$dir/crt.c"
    i686-w64-mingw32-gcc-win32 -D_WIN32_WINNT=0x0600 -shared -o "$dir/vista.dll" "$dir/vista.c" &&
        i686-w64-mingw32-gcc-win32 -shared -o "$dir/xp.dll" "$dir/xp.c" &&
        i686-w64-mingw32-gcc-win32 -shared -o "$dir/crt.dll" "$dir/crt.c" ||
        { fail "the import check's probe DLLs did not build"; rm -rf "$dir"; return; }
    verdicts=$(for winnt in 0x0500 0x0501; do
        for probe in vista xp crt; do
            "$0" --imports "$winnt" "$dir/$probe.dll" |
                sed -n 's/^\(FAIL\) .*: \(.*\)$/\1(\2)/p; s/^\(PASS\) .*/\1/p' | tr '\n' ' '
        done
    done)
    rm -rf "$dir"
    if [ "$verdicts" = "FAIL(GetTickCount64) FAIL(AddVectoredExceptionHandler) FAIL(_vscwprintf) FAIL(GetTickCount64) PASS PASS " ]; then
        pass "the import check refuses GetTickCount64 for XP and 2000, AddVectoredExceptionHandler" \
            "and msvcrt's _vscwprintf for 2000"
    else
        fail "the import check judged its probes wrongly (2000: Vista, XP, msvcrt; XP: the same): $verdicts"
    fi
}

if [ "${1:-}" = --self-test ]; then
    self_test
    exit $failed
fi
if [ "${1:-}" = --imports ]; then
    check_target_imports "$2" "$3"
    exit $failed
fi

dll="${1:-${CVT_BUILD:-build}/cross/bin/CvTrivane.dll}"
[ -f "$dll" ] || { fail "the 32-bit DLL $dll is missing"; exit 1; }
headers=$("$objdump" -p "$dll")

# A 32-bit DLL that the loader of Windows 2000 accepts.
if grep -q '^Magic[[:space:]]*010b' <<<"$headers" && "$objdump" -f "$dll" | grep -q 'pei-i386'; then
    pass "a 32-bit (PE32, i386) image"
else
    fail "not a 32-bit i386 image"
fi
subsystem=$(awk '/^MajorSubsystemVersion/ {major = $2} /^MinorSubsystemVersion/ {minor = $2}
    END {print major "." minor}' <<<"$headers")
if awk -v v="$subsystem" 'BEGIN {split(v, p, "."); exit !(p[1] < 5 || (p[1] == 5 && p[2] == 0))}'; then
    pass "subsystem version $subsystem, which Windows 2000 (5.0) loads"
else
    fail "subsystem version $subsystem is newer than Windows 2000 (5.0)"
fi

# Exports: exactly the sixteen callbacks of exports.def, undecorated, at their ordinals.
expected_exports=$(sed -n 's/^ *\(CVC_[A-Za-z0-9]*\) *@\([0-9]*\).*/\2 \1/p' src/host/exports.def | sort -n)
actual_exports=$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$headers" |
    sed -n 's/^\t\[ *\([0-9]*\)\] \(.*\)$/\1 \2/p' | awk '{print $1 + 1, $2}' | sort -n)
base=$(sed -n 's/^Export Address Table -- Ordinal Base \([0-9]*\).*/\1/p' <<<"$headers")
count=$(sed -n '/^Export Address Table -- Ordinal Base/,/^$/p' <<<"$headers" | grep -c 'Export RVA')
if [ "$(wc -l <<<"$expected_exports")" -eq 16 ] && [ "$actual_exports" = "$expected_exports" ] &&
    [ "$base" = 1 ] && [ "$count" -eq 16 ]; then
    pass "exports: the 16 callbacks by name at ordinals 1 to 16, nothing else"
else
    fail "exports differ from src/host/exports.def:"
    diff <(echo "$expected_exports") <(echo "$actual_exports") | sed 's/^/    /'
fi

# Stack bytes: a standard-call callback ends in "ret 4n" for its n arguments (a plain "ret"
# for none). The argument counts are the host's, from the table the Wine suite uses.
image_base=$((16#$(awk '/^ImageBase/ {print $2}' <<<"$headers")))
bad_returns=""
checked=0
while read -r ordinal name arguments; do
    rva=$(sed -n '/^Export Address Table -- Ordinal Base/,/^$/p' <<<"$headers" |
        sed -n "s/^\t\[ *[0-9]*\] +base\[ *$ordinal\] \([0-9a-f]*\) Export RVA/\1/p")
    [ -n "$rva" ] || { bad_returns+=" $name(no code)"; continue; }
    start=$((image_base + 16#$rva))
    # The first return in the callback's code.
    ret=$("$objdump" -d --start-address=$start --stop-address=$((start + 0x800)) "$dll" |
        grep -m1 -E '\sret[lw]?(\s|$)' | sed 's/.*\sret[lw]\?\s*//')
    want=$([ "$arguments" -eq 0 ] && echo "" || printf '$0x%x' $((4 * arguments)))
    [ "$ret" = "$want" ] || bad_returns+=" $name(ret ${ret:-plain}, want ${want:-plain})"
    checked=$((checked + 1))
done < <(grep -oE '\{[0-9]+, "CVC_[A-Za-z0-9]+", [0-9]+\}' tests/wine/exports_test.cpp | tr -d '{}",')
if [ "$checked" -eq 16 ] && [ -z "$bad_returns" ]; then
    pass "each of the 16 callbacks removes 4 bytes per argument from the stack (ret N)"
else
    fail "callbacks that remove the wrong bytes ($checked of 16 read):$bad_returns"
fi

# Only libraries that every Windows has.
imports=$(awk '/^\tDLL Name:/ {print $3}' <<<"$headers")
foreign=$(grep -viE '^(kernel32|user32|gdi32|advapi32|shell32|shlwapi|comctl32|msvcrt)\.dll$' <<<"$imports")
if [ -z "$foreign" ]; then
    pass "imports only system libraries: $(echo $imports)"
else
    fail "imports libraries a user's Windows lacks: $(echo $foreign)"
fi

check_target_imports "$target_winnt" "$dll"

# No exception can be raised in the library: its link map names no throw and no unwinder entry.
# Where another module of the host brought the toolchain's shared unwinder first, any throw in
# the library would end the host, even one it caught itself.
map="${dll%.dll}.map"
if [ ! -s "$map" ]; then
    fail "the link map $map is missing"
elif throwers=$(grep -oE '__cxa_(throw|rethrow|allocate_exception)|_Unwind_(RaiseException|Resume)|__gxx_personality_[a-z0-9]+' "$map" | sort -u) && [ -n "$throwers" ]; then
    fail "the link map names exception machinery: $(echo $throwers)"
else
    pass "no throw and no unwinder linked in (link map $(basename "$map"))"
fi
exit $failed

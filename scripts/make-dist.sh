#!/usr/bin/env bash
# Makes the release archive CvTrivane-<version>.zip: the 32-bit DLL built with the release
# settings, the Japanese readme in code page 932 with CRLF line ends (Notepad on every Windows
# shows it), the licence, and the SHA-256 sums of those three. Beside it goes the source of the
# same commit, CvTrivane-<version>-src.zip, which the readme tells users to look for.
#   scripts/make-dist.sh [OUTDIR]     writes both into OUTDIR (default: dist)
# The same sources give the same bytes: the DLL carries no link time, and every member has
# the same time (the last commit's, or SOURCE_DATE_EPOCH), the same mode and a fixed place.
# The source archive is git archive of HEAD: it is read from the commit's tree, not from the
# work tree, so no untracked or edited file can slip in; its members carry the commit's time
# and the archive's comment names the commit, so one commit gives the same bytes again.
set -euo pipefail
cd "$(dirname "$0")/.."
CVT_BUILD="${CVT_BUILD:-$PWD/build}"
JOBS="${JOBS:-2}"
OUT="${1:-dist}"
export LC_ALL=C TZ=UTC  # byte-wise text tools; zip stores local time, so make that UTC
unset ZIPOPT ZIP  # options from the environment would change the archive

version_number() {  # version_number MAJOR|MINOR
    sed -n "s/^#define CVT_VERSION_$1 \([0-9][0-9]*\)\$/\1/p" src/res/version.h
}
major=$(version_number MAJOR)
minor=$(version_number MINOR)
if [ -z "$major" ] || [ -z "$minor" ]; then
    echo "make-dist: no version numbers in src/res/version.h" >&2
    exit 1
fi
version="$major.$minor"

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null) || {
        echo "make-dist: not a git checkout; set SOURCE_DATE_EPOCH" >&2
        exit 1
    }
fi

# Only the DLL's target of the 32-bit build, so a release does not wait for the test programs.
cross="$CVT_BUILD/cross"
CVT_BUILD="$CVT_BUILD" JOBS="$JOBS" CVT_WINE_BITS=32 scripts/build.sh CvTrivane >&2

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp "$cross/bin/CvTrivane.dll" "$stage/CvTrivane.dll"
# iconv fails on a character that code page 932 lacks, so nothing is silently replaced.
sed 's/$/\r/' docs/readme-ja.txt | iconv -f UTF-8 -t CP932 >"$stage/readme.txt"
sed 's/$/\r/' LICENSE >"$stage/LICENSE"
(cd "$stage" && sha256sum CvTrivane.dll readme.txt LICENSE | sed 's/$/\r/' >SHA256SUMS)

members=(CvTrivane.dll readme.txt LICENSE SHA256SUMS)
for member in "${members[@]}"; do
    chmod 644 "$stage/$member"
    touch -d "@$SOURCE_DATE_EPOCH" "$stage/$member"
done

mkdir -p "$OUT"
zipfile="$(cd "$OUT" && pwd)/CvTrivane-$version.zip"
rm -f "$zipfile"
# -X: no extra fields (they hold access times and owner ids); -D: no folder entries.
(cd "$stage" && zip -X -D -9 -q "$zipfile" "${members[@]}")
echo "$OUT/CvTrivane-$version.zip: $(stat -c %s "$zipfile") bytes, sha256 $(sha256sum "$zipfile" | cut -d' ' -f1)"

sourcefile="$(dirname "$zipfile")/CvTrivane-$version-src.zip"
rm -f "$sourcefile"
if ! git rev-parse --verify -q HEAD >/dev/null 2>&1; then
    # A tree unpacked from a source archive still makes the release, to compare it with one.
    echo "make-dist: not a git checkout, so no source archive" >&2
    exit 0
fi
# The release above is built from the work tree; say so when that differs from the commit
# whose source goes beside it.
if ! git diff --quiet HEAD -- 2>/dev/null; then
    echo "make-dist: warning: tracked files differ from HEAD; the source archive holds HEAD" >&2
fi
git archive --format=zip --prefix="CvTrivane-$version-src/" -o "$sourcefile" HEAD
echo "$OUT/CvTrivane-$version-src.zip: $(stat -c %s "$sourcefile") bytes, sha256 $(sha256sum "$sourcefile" | cut -d' ' -f1)"

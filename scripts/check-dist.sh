#!/usr/bin/env bash
# Checks the release archive: it is made twice with the same bytes; it holds the four members
# in their fixed order with fixed times and modes; its DLL is the one that was built; its
# readme is code page 932 with CRLF line ends, 78 columns wide and 420 lines long at most,
# opens with the quick start and has the part for system administrators, and names every
# dialog text, message and title, menu item, the question's line for an outside server, the
# name the host lists, and each registry value with its default as the DLL shows and stores
# them, read from the sources the DLL is built from; every version it names is the current
# one; its licence is the repository's, and the readme points to it instead of repeating it.
# The source archive beside it is made twice with the same bytes and holds the tree of HEAD.
# Prints one line per check, starting with "PASS " or "FAIL "; exits non-zero when a check
# failed.
set -uo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
CVT_BUILD="$(mkdir -p "${CVT_BUILD:-build}" && cd "${CVT_BUILD:-build}" && pwd)"
export CVT_BUILD
export LC_ALL=C TZ=UTC

failures=0
pass() { echo "PASS $*"; }
fail() {
    echo "FAIL $*"
    failures=$((failures + 1))
}
check() {  # check DESCRIPTION COMMAND...: PASS when the command succeeds
    local description="$1"
    shift
    if "$@"; then pass "$description"; else fail "$description"; fi
}

work="$CVT_BUILD/dist-check"
rm -rf "$work"
mkdir -p "$work/first" "$work/second" "$work/unpacked"
if ! scripts/make-dist.sh "$work/first" >"$work/make-dist.log" 2>&1; then
    fail "make-dist (see $work/make-dist.log)"
    tail -20 "$work/make-dist.log"
    exit 1
fi
major=$(sed -n 's/^#define CVT_VERSION_MAJOR \([0-9]*\)$/\1/p' src/res/version.h)
minor=$(sed -n 's/^#define CVT_VERSION_MINOR \([0-9]*\)$/\1/p' src/res/version.h)
version="$major.$minor"
name="CvTrivane-$version.zip"
archive="$work/first/$name"
if [ ! -f "$archive" ]; then
    fail "make-dist did not write $name: $(ls "$work/first")"
    exit 1
fi

# The second time from a DLL built afresh in a build folder of its own (about 20 seconds on
# two cores), so that the compile and link are shown reproducible too, not only the zipping.
CVT_BUILD="$work/rebuild" scripts/make-dist.sh "$work/second" >>"$work/make-dist.log" 2>&1
check "the archive made a second time, its DLL built afresh in another folder, has the same bytes" \
    cmp -s "$archive" "$work/second/$name"

# The source archive: the commit's tree, file for file, named by the archive's comment.
source_name="CvTrivane-$version-src.zip"
source_archive="$work/first/$source_name"
source_is_head() {
    local unpacked="$work/source" listed archived
    [ -f "$source_archive" ] || { echo "  no $source_name beside $name"; return 1; }
    [ "$(unzip -z -qq "$source_archive")" = "$(git rev-parse HEAD)" ] ||
        { echo "  the archive's comment does not name HEAD"; return 1; }
    rm -rf "$unpacked"
    unzip -q "$source_archive" -d "$unpacked" || return 1
    # Mode, blob id and path of every file, in the commit's tree and in what the archive
    # unpacks to (unzip keeps the executable bit that git archive records).
    listed=$(git -c core.quotePath=false ls-tree -r HEAD | tr '\t' ' ' | cut -d' ' -f1,3- | sort -k3)
    archived=$(cd "$unpacked/CvTrivane-$version-src" && find . -type f | sed 's|^\./||' | sort |
        while IFS= read -r file; do
            mode=100644
            [ -x "$file" ] && mode=100755
            echo "$mode $(git hash-object --no-filters "$file") $file"
        done | sort -k3)
    [ "$listed" = "$archived" ] ||
        { diff <(echo "$listed") <(echo "$archived") | head -5 | sed 's/^/  /'; return 1; }
}
check "$source_name holds the tree of HEAD ($(git rev-parse --short HEAD)), file for file" source_is_head
check "$source_name made a second time has the same bytes" \
    cmp -s "$source_archive" "$work/second/$source_name"

# Members: names and order, and for each the mode, the time and nothing that varies.
members_ok() {
    local listing expected_time line epoch count=0
    [ "$(unzip -Z1 "$archive" | tr '\n' ' ')" = "CvTrivane.dll readme.txt LICENSE SHA256SUMS " ] ||
        { echo "  members: $(unzip -Z1 "$archive" | tr '\n' ' ')"; return 1; }
    # DOS times count seconds in twos; zip rounds an odd second up.
    epoch="${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}"
    expected_time=$(date -d "@$(((epoch + 1) / 2 * 2))" +%Y%m%d.%H%M%S)
    listing=$(unzip -Z -T "$archive" | grep -E '^[-d]')
    while IFS= read -r line; do
        count=$((count + 1))
        [[ "$line" =~ ^-rw-r--r--\ +3\.0\ unx\ +[0-9]+\ [bt]-\ defX\ $expected_time\ [A-Za-z0-9._]+$ ]] ||
            { echo "  unexpected entry (want time $expected_time): $line"; return 1; }
    done <<<"$listing"
    [ "$count" -eq 4 ]
}
check "the archive holds CvTrivane.dll, readme.txt, LICENSE, SHA256SUMS in that order, mode 644, the last commit's time" members_ok

unzip -q "$archive" -d "$work/unpacked"
cd "$work/unpacked" || exit 1
built="$CVT_BUILD/cross/bin/CvTrivane.dll"
check "the archive's DLL is the built one: sha256 $(sha256sum CvTrivane.dll | cut -c1-16)…" \
    [ "$(sha256sum <CvTrivane.dll)" = "$(sha256sum <"$built")" ]

pe_time_is_zero() {  # the COFF header's TimeDateStamp, at e_lfanew + 8
    local pe
    pe=$(od -An -tu4 -j60 -N4 CvTrivane.dll | tr -d ' ')
    [ "$(od -An -tx4 -j"$((pe + 8))" -N4 CvTrivane.dll | tr -d ' ')" = "00000000" ]
}
check "the DLL carries no link time" pe_time_is_zero
check "SHA256SUMS lists the other three members and matches them" \
    sh -c '[ "$(cut -d" " -f3 SHA256SUMS | tr -d "\r" | tr "\n" " ")" = "CvTrivane.dll readme.txt LICENSE " ] &&
        sha256sum --quiet -c SHA256SUMS'

decodes_losslessly() {
    iconv -f CP932 -t UTF-8 readme.txt >"$work/readme.utf8" &&
        iconv -f UTF-8 -t CP932 "$work/readme.utf8" | cmp -s - readme.txt
}
check "readme.txt decodes as code page 932 and encodes back to the same bytes" decodes_losslessly
check "readme.txt has CRLF line ends only, the last line ended too" \
    perl -0777 -ne 'exit(/\r(?!\n)|(?<!\r)\n/ || !/\r\n\z/ ? 1 : 0)' readme.txt
check "readme.txt is docs/readme-ja.txt, character for character" \
    sh -c "tr -d '\r' <'$work/readme.utf8' | cmp -s - '$root/docs/readme-ja.txt'"
# Code page 932 gives a Japanese character two bytes, and Notepad two columns.
check "readme.txt fits Notepad without wrapping: no line wider than 78 columns" \
    perl -ne 's/\r?\n\z//; if (length > 78) { print "  line $.: ", length, " columns\n"; $wide = 1 }
        END { exit($wide ? 1 : 0) }' readme.txt
readme_is_short() {
    local lines
    lines=$(wc -l <readme.txt)
    echo "  $lines lines"
    [ "$lines" -le 420 ]
}
check "readme.txt is a short guide: 420 lines at most" readme_is_short
# Headings stand alone on their line, "== かんたんな使い方 ====" or "システム管理者の方へ".
heading_line() {  # heading_line TEXT: the number of the first line that is that heading
    tr -d '\r' <"$work/readme.utf8" | grep -n -m1 -E "^(== )?$1( =+)?\$" | cut -d: -f1
}
quick_start_then_administrators() {
    local quick admin first
    quick=$(heading_line かんたんな使い方)
    admin=$(heading_line システム管理者の方へ)
    first=$(grep -n -m1 -E '^(== )?[0-9]+\. ' "$work/readme.utf8" | cut -d: -f1)
    echo "  quick start at line ${quick:-none}, first numbered section at ${first:-none}, administrators at ${admin:-none}"
    [ -n "$quick" ] && [ -n "$admin" ] && [ -n "$first" ] && [ "$quick" -lt "$first" ] &&
        [ "$first" -lt "$admin" ]
}
check "readme.txt opens with the quick start and has the part for system administrators after the user guide" \
    quick_start_then_administrators
check "LICENSE is the repository's, with CRLF line ends" \
    sh -c "tr -d '\r' <LICENSE | cmp -s - '$root/LICENSE'"
cd "$root" || exit 1

# The texts the user sees and the values the DLL stores, read from the DLL's own sources, must
# stand in the readme as shown: a mnemonic '&' is not drawn, "&&" is drawn as '&'.
perl - "$work/readme.utf8" "$version" <<'PERL' || failures=$((failures + 1))
use strict;
use warnings;
my ($readmePath, $version) = @ARGV;

sub slurp { local (@ARGV, $/) = @_; return <> }
sub shown { my $t = shift; $t =~ s/&&/\0/g; $t =~ s/&//g; $t =~ s/\0/&/g; return $t }
sub unescape {
    my $t = shift;
    $t =~ s{\\(u([0-9A-Fa-f]{4})|.)}{
        defined $2 ? do { my $c = chr(hex $2); utf8::encode($c); $c }
                   : ($1 eq 'n' ? "\n" : $1)
    }ge;
    return $t;
}
# The concatenated string literals of a constant: NAME[] = "..." "..." ;
sub constant {
    my ($file, $name) = @_;
    my $source = slurp($file);
    $source =~ /\b$name\[\]\s*=\s*((?:L?"(?:[^"\\]|\\.)*"\s*)+);/s
        or die "no constant $name in $file\n";
    my $literals = $1;
    return join '', map { unescape($_) } $literals =~ /L?"((?:[^"\\]|\\.)*)"/g;
}

my $readme = slurp($readmePath);
$readme =~ s/\r//g;
my $failed = 0;
sub report {
    my ($what, @missing) = @_;
    if (@missing) {
        print "FAIL $what; missing:\n", map { "  $_\n" } @missing;
        $failed = 1;
    } else {
        print "PASS $what\n";
    }
}

# Control ids may be numbers, names #defined in a header of src/res, or the system's standard
# answers of a dialog.
my %define = ((IDOK => 1, IDCANCEL => 2, IDYES => 6, IDNO => 7),
              map { slurp($_) =~ /^\s*#define\s+(\w+)\s+(\d+)\s*$/mg } glob "src/res/*.h");
sub id { my $t = shift; return $t =~ /^\d+$/ ? $t : ($define{$t} // die "unknown control id $t\n") }

# Dialog titles and control texts. Left out: control 1011's placeholder, which the path
# replaces before the dialog is seen, and control 1021's paragraph, which explains the
# clipboard box inside the dialog itself.
my %controlText;
my @dialogTexts;
for my $rc (sort glob 'src/res/*.rc') {
    my $source = slurp($rc);
    push @dialogTexts, map { shown($_) } $source =~ /^\s*CAPTION\s+"([^"]*)"/mg;
    while ($source =~ /^\s*CONTROL\s+"([^"]*)"\s*,\s*(\w+)\s*,/mg) {
        my ($text, $token) = ($1, $2);
        my $id = id($token);
        $controlText{$id} = shown(unescape($text));
        push @dialogTexts, $controlText{$id} unless $text eq "" || $id == 1011 || $id == 1021;
    }
}
my %seen;
@dialogTexts = grep { !$seen{$_}++ } @dialogTexts;
report(scalar(@dialogTexts) . " dialog titles and control texts stand in the readme as shown",
       grep { index($readme, $_) < 0 } @dialogTexts);

# The tools-menu item, the name in the host's plug-in list, and the two messages with their
# titles, line by line without their leading blanks.
my $texts = 'src/common/texts_cp932.cpp';
# A title or a name is looked for where the readme gives it, since a short one could stand
# anywhere.
my @messageLines = (
    shown(constant($texts, 'kSetupMenuItem932')),
    split(/\n/, constant($texts, 'kConfirmHintText932')),
    split(/\n/, constant('src/open/open_command.cpp', 'kInvalidPathText')),
);
s/^(?:\s|\xE3\x80\x80)+// for @messageLines;  # blanks and ideographic spaces
my @titled = map { "タイトル: $_\n" } constant($texts, 'kConfirmHintCaption932'),
    constant('src/open/open_command.cpp', 'kPluginDisplayName');
my $listed = sprintf("「%s」\n   （提供元 %s、バージョン %s）", constant($texts, 'kPluginName932'),
                     constant($texts, 'kPluginVendor932'), $version);
report("the tools-menu item, the two messages line by line with their titles, and the plug-in list's entry stand in the readme",
       map { (my $t = $_) =~ s/\n/\\n/g; "\"$t\"" } grep { index($readme, $_) < 0 } @messageLines, @titled, $listed);

# The line that the question shows instead of its usual one for a server that may be outside,
# with a server's name between its two parts.
my ($before, $after) = eval {
    map { constant('src/open/confirm_dialog.cpp', $_) } 'kOutsideServerBefore', 'kOutsideServerAfter'
};
report("the question's line for a server that may be outside stands in the readme",
       !defined $after ? ("kOutsideServerBefore/After in src/open/confirm_dialog.cpp: $@")
       : $readme !~ /\n  \Q$before\E[^\n]+\Q$after\E\n/ ? ("a line \"  $before<server>$after\"") : ());

# Registry: the key under its root, and each box's value with its start-up default, on the
# line after the box's caption.
my $store = slurp('src/settings/settings_store.h');
my %valueName = $store =~ /\b(kSetting\w+)\[\]\s*=\s*L"(\w+)"/g;
my ($keyPath) = $store =~ /Wide\(\) const \{ return L"([^"]+)"/ or die "no key path\n";
my ($root) = slurp('src/settings/settings_store.cpp') =~ /SettingsRootKey = (HKEY_\w+);/
    or die "no root key\n";
my $key = "$root\\" . unescape($keyPath);
# The defaults: 1 for the values SettingDefault lists as on, 0 for the others.
my ($onByDefault) = slurp('src/settings/settings_store.cpp') =~ /kOnByDefault\[\] = \{([^}]*)\}/
    or die "no list of defaults\n";
my %on = map { $_ => 1 } $onByDefault =~ /(kSetting\w+)/g;
my %default = map { $_ => ($on{$_} ? 1 : 0) } keys %valueName;
my @boxes = slurp('src/settings/setup_dialog.cpp') =~ /\{(\w+), (kSetting\w+)\}/g;
die "expected four settings\n" unless keys %valueName == 4 && keys %default == 4 && @boxes == 8;
my @registry = grep { index($readme, $_) < 0 } $key, values %valueName;
while (my ($control, $setting) = splice @boxes, 0, 2) {
    my $expected = "■ $controlText{id($control)}\n  レジストリ値: $valueName{$setting}（初期値は $default{$setting} ";
    push @registry, "\"$expected\"" if index($readme, $expected) < 0;
    # The row of the table under 設定: name, type, default.
    push @registry, "a table row \"$valueName{$setting} REG_DWORD $default{$setting}（\""
        unless $readme =~ /^ +\Q$valueName{$setting}\E +REG_DWORD +\Q$default{$setting}\E（/m;
}
report("the settings key $key and the four values with their boxes and defaults stand in the readme",
       @registry);

report("the version history starts with version $version and its date",
       $readme =~ /更新履歴 =+\n\Q$version\E（\d{4}年\d{1,2}月\d{1,2}日）\n/ ? ()
       : ("a line \"$version（YYYY年M月D日）\" under 更新履歴"));
# Every version the readme names (the title, the plug-in list, the archives, the unpacked
# folder) is this one.
my @versions = $readme =~ /(?:バージョン |CvTrivane-)(\d+\.\d+)/g;
report("the readme names version $version wherever it names one (" . scalar(@versions) . " places)",
       @versions >= 3 ? map { "version $_" } grep { $_ ne $version } @versions
                      : ("at least three mentions of version $version"));

my $licence = slurp('LICENSE');
my ($company) = slurp('src/res/CvTrivane.rc') =~ /VALUE "CompanyName", "([^"]+)"/;
my @licence;
# The full text stands in LICENSE only; the readme sums it up and points there.
my ($grant) = $licence =~ /^(Permission is hereby granted.*)$/m or die "no grant in LICENSE\n";
push @licence, "no copy of the LICENSE text (it holds \"$grant\")" if index($readme, $grant) >= 0;
push @licence, "a pointer to the MIT licence in LICENSE" unless $readme =~ /MIT ライセンス.*LICENSE/;
my ($copyright) = $licence =~ /^(Copyright \(c\) \d{4} \Q$company\E)$/m;
push @licence, "LICENSE naming $company" unless defined $copyright;
push @licence, "a line \"  著作権者: $copyright\" at the top"
    unless defined $copyright && $readme =~ /\A(?:.*\n){1,8}  著作権者: \Q$copyright\E\n/;
my $vendor = constant($texts, 'kPluginVendor932');
push @licence, "a line \"  提供元: $vendor\" at the top" unless $readme =~ /\A(?:.*\n){1,8}  提供元: \Q$vendor\E\n/;
report("the readme names $company as provider and copyright holder at the top and points to its MIT licence in LICENSE without repeating it",
       @licence);
exit $failed;
PERL

[ "$failures" -eq 0 ]

// The reading, validation, launch building and the menu caption on arbitrary text, checked
// against straightforward models of the rules and against the launch invariants.
//
// Input: one flag byte (bit 0: TrivaneFile on; bits 1-2: menu kind 3, 4, 11, 12; bit 3: the
// interpreter disabled by policy), then the text as UTF-16LE. The text is cut at its first NUL and
// put in a heap buffer that ends with that NUL, so any read past the terminator is out of bounds.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host/menu_caption.h"
#include "open/launch_plan.h"
#include "open/path_logic.h"
#include "open/question_text.h"
#include "open/server_name.h"

namespace {

using std::u16string;

// Reports the failed line, then aborts so the fuzzer keeps the input.
#define Check(condition)   \
    ((condition) ? (void)0 \
                 : (std::fprintf(stderr, "check failed at line %d\n", __LINE__), std::abort()))

// Models, written as the rules read.
std::size_t ModelLocate(const u16string& t) {
    for (std::size_t i = 0; i + 1 < t.size(); ++i) {
        if (t[i] == u'\\' && t[i + 1] == u'\\') return i;
    }
    for (std::size_t i = 0; i + 1 < t.size(); ++i) {
        if (t[i] == u':' && t[i + 1] == u'\\') return i == 0 ? u16string::npos : i - 1;
    }
    return u16string::npos;
}

bool ModelContains(const u16string& set, const u16string& text) {
    for (char16_t c : set) {
        if (text.find(c) != u16string::npos) return true;
    }
    return false;
}

bool ModelValid(const u16string& path) {
    if (ModelContains(cvt::ForbiddenPathChars, path)) return false;
    const std::size_t colon = path.rfind(u':');
    return colon == u16string::npos || colon < 3;
}

bool ModelNamesFile(const u16string& path) {
    const std::size_t last = path.rfind(u'\\');
    if (last == u16string::npos) return false;
    if (last > 0 && path[last - 1] == u'\\') return false;
    return path.find(u'.', last) != u16string::npos;
}

// A heap copy that ends exactly with the NUL.
std::vector<char16_t> Buffer(const u16string& text) {
    return std::vector<char16_t>(text.c_str(), text.c_str() + text.size() + 1);
}

// Characters that send a path to quoted Explorer rather than through cmd.exe: the quoting
// and interpreter characters, controls, and spaces other than U+0020.
const char16_t kModelQuotedChars[] =
    u" &^%!,;=\u00A0\u00FF\u1680\u2028\u2029\u202F\u205F\u3000\uFEFF";
bool ModelNeedsExplorer(const u16string& path) {
    for (char16_t c : path) {
        if (c <= 0x1F || (c >= 0x7F && c <= 0x9F) || (c >= 0x2000 && c <= 0x200A)) return true;
    }
    return ModelContains(u16string(kModelQuotedChars, sizeof(kModelQuotedChars) / 2 - 1), path);
}

// The first form that applies.
cvt::LaunchForm ModelForm(const u16string& path, bool fileOn, bool interpreter) {
    if (fileOn && ModelNamesFile(path)) return cvt::LaunchForm::kSelectFile;
    if (!interpreter || ModelNeedsExplorer(path)) return cvt::LaunchForm::kQuotedFolder;
    return cvt::LaunchForm::kStart;
}

// The server rule, as the rule reads: labels split at dots.
std::vector<u16string> Split(const u16string& name) {
    std::vector<u16string> labels(1);
    for (char16_t c : name) {
        if (c == u'.') {
            labels.emplace_back();
        } else {
            labels.back() += c;
        }
    }
    return labels;
}

bool ModelNumber(const u16string& label) {
    if (label.size() >= 2 && label[0] == u'0' && (label[1] == u'x' || label[1] == u'X')) {
        return label.find_first_not_of(u"0123456789abcdefABCDEF", 2) == u16string::npos;
    }
    return !label.empty() && label.find_first_not_of(u"0123456789") == u16string::npos;
}

cvt::ServerPlace ModelServer(const u16string& name) {
    using P = cvt::ServerPlace;
    const u16string allowed = u"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-_$.";
    if (name.empty() || name.size() > 253 || name.find_first_not_of(allowed) != u16string::npos) {
        return P::kOutside;
    }
    const std::vector<u16string> labels = Split(name);
    bool numbers = true;
    for (const u16string& label : labels) {
        if (label.empty() || label.size() > 63) return P::kOutside;
        numbers = numbers && ModelNumber(label);
    }
    if (numbers) {
        if (labels.size() != 4) return P::kOutside;
        unsigned octets[4];
        for (int i = 0; i < 4; ++i) {
            const u16string& l = labels[i];
            if (l.size() > 3 || (l.size() > 1 && l[0] == u'0')) return P::kOutside;
            if (l.find_first_not_of(u"0123456789") != u16string::npos) return P::kOutside;
            octets[i] = 0;
            for (char16_t c : l) octets[i] = octets[i] * 10 + (c - u'0');
            if (octets[i] > 255) return P::kOutside;
        }
        const bool inside = octets[0] == 10 || octets[0] == 127 ||
                            (octets[0] == 172 && octets[1] >= 16 && octets[1] < 32) ||
                            (octets[0] == 192 && octets[1] == 168) ||
                            (octets[0] == 169 && octets[1] == 254);
        return inside ? P::kInside : P::kOutside;
    }
    if (labels.size() == 1) return P::kInside;
    u16string lower;
    for (char16_t c : name) lower += (c >= u'A' && c <= u'Z') ? c + 32 : c;
    const u16string v6 = u".ipv6-literal.net";
    if (lower.size() >= v6.size() && lower.compare(lower.size() - v6.size(), v6.size(), v6) == 0) {
        return P::kOutside;
    }
    return P::kAskZone;
}

cvt::ServerPlace ModelPathServer(const u16string& path) {
    if (path.size() >= 3 && path[1] == u':' && path[2] == u'\\') {
        const bool letter = (path[0] | 0x20) >= u'a' && (path[0] | 0x20) <= u'z';
        return letter ? cvt::ServerPlace::kInside : cvt::ServerPlace::kOutside;
    }
    if (path.size() < 2 || path[0] != u'\\' || path[1] != u'\\') return cvt::ServerPlace::kOutside;
    return ModelServer(path.substr(2, path.find(u'\\', 2) - 2));
}

void CheckServer(const u16string& path) {
    Check(cvt::ClassifyPathServer(path.c_str()) == ModelPathServer(path));
    if (path.size() < 2 || path[0] != u'\\' || path[1] != u'\\') return;
    // The URL for the zone manager names exactly the server and the share.
    std::vector<char16_t> url(cvt::ZoneUrlCapacity(path.size()));
    Check(cvt::FormatZoneUrl(path.c_str(), url.data(), url.size()));
    const std::size_t serverEnd = path.find(u'\\', 2);
    u16string expected = u"file://" + path.substr(2, serverEnd - 2) + u"/";
    if (serverEnd != u16string::npos) {
        expected += path.substr(serverEnd + 1, path.find(u'\\', serverEnd + 1) - serverEnd - 1);
    }
    Check(u16string(url.data()) == expected);
}

// The question's path line on a control `limit` characters wide: every line fits (or is one
// character or pair), and the path's start stays whole up to its share.
bool FitsLimit(const void* limit, const char16_t*, std::size_t length) {
    return length <= *static_cast<const std::size_t*>(limit);
}
void CheckShownPath(const u16string& path, std::size_t limit) {
    std::vector<char16_t> out(cvt::ShownPathCapacity(path.size()));
    const std::size_t lines =
        cvt::ShowPath(path.c_str(), {&FitsLimit, &limit}, out.data(), out.size());
    u16string shown(out.data()), joined;
    std::size_t counted = 0;
    for (std::size_t start = 0, end = 0; end != u16string::npos; start = end + 2, ++counted) {
        end = shown.find(u"\r\n", start);
        const u16string line = shown.substr(start, end == u16string::npos ? end : end - start);
        Check(line.size() <= limit || line.size() <= 2);
        joined += line;
    }
    Check(lines == counted);
    if (path.rfind(u"\\\\", 0) != 0) return;
    const std::size_t share = path.find(u'\\', 2);
    const std::size_t end = share == u16string::npos ? share : path.find(u'\\', share + 1);
    const std::size_t keep = end == u16string::npos ? path.size() : end + 1;
    Check(joined.compare(0, keep, path, 0, keep) == 0);
}

void CheckLaunch(const u16string& path, bool fileOn, bool interpreter) {
    const cvt::LaunchPlan plan = cvt::ChooseLaunch(path.c_str(), fileOn, interpreter);
    Check(plan.form == ModelForm(path, fileOn, interpreter));
    const std::size_t capacity = cvt::LaunchParameterCapacity(path.size());
    std::vector<char16_t> parameters(capacity);
    Check(cvt::FormatLaunchParameters(plan, path.c_str(), parameters.data(), capacity) == cvt::kOk);
    const u16string text(parameters.data());
    const bool endsWithBackslash = !path.empty() && path.back() == u'\\';
    switch (plan.form) {
        case cvt::LaunchForm::kSelectFile:
            Check(text == u"/select,\"" + path + u"\"");
            Check(plan.showCommand == 1 && u16string(plan.program) == u"explorer.exe");
            break;
        case cvt::LaunchForm::kQuotedFolder: {
            Check(text == u"\"" + path + (endsWithBackslash ? u"\"" : u"\\\""));
            // A valid path holds no quote, so these are the only two.
            std::size_t quotes = 0;
            for (char16_t c : text) quotes += c == u'"';
            Check(quotes == 2 && text.front() == u'"' && text.back() == u'"');
            Check(plan.showCommand == 1 && u16string(plan.program) == u"explorer.exe");
            break;
        }
        case cvt::LaunchForm::kStart: {
            Check(text == u"/c start " + path + (endsWithBackslash ? u"" : u"\\"));
            // Nothing in the path that the command interpreter would act on.
            for (char16_t c : text.substr(9)) {
                Check(u16string(u"&|<>^\"%! \t\n,;=\v\f\u00A0\u3000").find(c) == u16string::npos);
                Check(c >= 0x20);
            }
            Check(interpreter);
            Check(plan.showCommand == 0 && u16string(plan.program) == u"cmd.exe");
            break;
        }
    }
}

void CheckCaption(const u16string& text, std::uint32_t kind, const char16_t* read) {
    std::vector<char16_t> work = Buffer(text);
    char16_t* path = cvt::LocateMenuPath(work.data());
    if (read == nullptr) {
        Check(path == nullptr);
        return;
    }
    // The menu names the path the open command reads.
    Check(path != nullptr && u16string(path) == read);
    const u16string shown = read;
    std::vector<char16_t> caption(cvt::kMenuCaptionCapacity);
    Check(cvt::BuildMenuCaption(path, kind, caption.data()) == cvt::kOk);
    const std::size_t limit = kind == 11 ? 18 : 30;
    const bool whole = shown.size() <= limit;
    u16string expected;
    for (char16_t c : whole ? shown : shown.substr(0, kind == 11 ? 18 : 29)) {
        expected += c;
        if (c == u'&') expected += c;
    }
    expected += whole ? u" を開く(&O)" : u"...を開く(&O)";
    expected += u16string(10, u' ');
    Check(std::char_traits<char16_t>::length(caption.data()) < cvt::kMenuCaptionCapacity);
    Check(u16string(caption.data()) == expected);
}

// The spellings of one character that the reading treats alike.
char16_t Fold(char16_t c) {
    if (c == 0x00A5 || c == 0xFFE5 || c == 0xFF3C || c == u'/') return u'\\';
    if (c == 0xFF1A) return u':';
    if ((c >= 0xFF10 && c <= 0xFF19) || (c >= 0xFF21 && c <= 0xFF3A) ||
        (c >= 0xFF41 && c <= 0xFF5A) || c == 0xFF0D || c == 0xFF0E || c == 0xFF3F) {
        return static_cast<char16_t>(c - 0xFEE0);
    }
    return c;
}

bool IsBracketChar(char16_t c) {
    return u16string(u"「」『』【】（）()\"“”‘’<>＜＞[]［］`〔〕〈〉《》{}｛｝").find(c) !=
           u16string::npos;
}

// Text made only of characters whose reading has not changed: letters, digits, backslashes,
// colons, CJK ideographs and a few name characters, but no blank, bracket, yen sign,
// control character or slash.
bool IsPlain(const u16string& text) {
    for (char16_t c : text) {
        const bool plain = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
                           (c >= u'0' && c <= u'9') || c == u'\\' || c == u':' || c == u'.' ||
                           c == u'_' || c == u'-' || c == u'$' || (c >= 0x4E00 && c <= 0x9FFF);
        if (!plain) return false;
    }
    return true;
}

bool IsLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

// What the reading gave for text: path at start inside work.
void CheckReading(const u16string& text, const std::vector<char16_t>& work, const char16_t* path) {
    const std::size_t start = static_cast<std::size_t>(path - work.data());
    const u16string read(path);
    // Nothing before the path is touched, and the path holds no control character.
    Check(u16string(work.data(), start) == text.substr(0, start));
    for (char16_t c : read) Check(c >= 0x20);
    Check(read.size() <= text.size() - start);
    const u16string rest = text.substr(start);
    u16string lower;
    for (char16_t c : rest.substr(0, 6)) lower += (c >= u'A' && c <= u'Z') ? c + 32 : c;
    const bool url = lower.compare(0, 5, u"file:") == 0 || lower.compare(0, 6, u"smb://") == 0;
    const bool driveWord = rest.size() > 1 && rest[1] == u'ド';
    if (url || driveWord) {
        // A URL or "Xドライブ" becomes a server or a drive path, never longer than it was.
        Check((read.size() >= 2 && read[0] == u'\\' && read[1] == u'\\') ||
              (read.size() >= 3 && IsLetter(read[0]) && read[1] == u':' && read[2] == u'\\'));
        return;
    }
    // Every other spelling is the text itself, character for character once folded, but for
    // the line breaks (with the next line's quote marks and blanks) that a wrapped path goes
    // across.
    std::size_t j = 0;
    for (std::size_t i = 0; i < read.size(); ++i, ++j) {
        if (rest[j] == u'\r' || rest[j] == u'\n') {
            while (rest[j] == u'\r' || rest[j] == u'\n' || rest[j] == u'>' || rest[j] == u'＞' ||
                   rest[j] == u' ' || rest[j] == 0x3000) {
                ++j;
            }
        }
        Check(j < rest.size() && Fold(read[i]) == Fold(rest[j]));
    }
    // And it ends at the text's end, a control character, a blank or '>' dropped, a bracket,
    // or before another path after a blank, a bracket or list punctuation.
    const std::size_t end = start + j;
    if (end < text.size()) {
        const char16_t next = text[end];
        const char16_t before = end > 0 ? text[end - 1] : u' ';
        Check(next < 0x20 || next == u' ' || next == 0x3000 || next == u'>' ||
              IsBracketChar(next) || u16string(u":,;：，；、。").find(next) != u16string::npos ||
              before == u' ' || before == 0x3000 || IsBracketChar(before));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const bool fileOn = (data[0] & 1) != 0;
    const std::uint32_t kinds[] = {3, 4, 11, 12};
    const std::uint32_t kind = kinds[(data[0] >> 1) & 3];
    u16string text;
    for (std::size_t i = 1; i + 1 < size; i += 2) {
        const char16_t c = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
        if (c == u'\0') break;
        text += c;
    }

    // LocatePath reads only and finds where ExtractPath writes the path.
    const std::vector<char16_t> pristine = Buffer(text);
    const char16_t* located = cvt::LocatePath(pristine.data());
    Check(u16string(pristine.data()) == text);
    std::vector<char16_t> work = Buffer(text);
    char16_t* path = cvt::ExtractPath(work.data());
    Check((located == nullptr) == (path == nullptr));
    if (path != nullptr) {
        Check(path - work.data() == located - pristine.data());
        CheckReading(text, work, path);
    }
    // Plain text reads as it always has: the first "\\", else the first "X:\" after a letter,
    // to the end of the text (a colon inside the path now introduces the next path).
    const std::size_t start = ModelLocate(text);
    if (IsPlain(text) && start != u16string::npos &&
        (text.compare(start, 2, u"\\\\") == 0 || IsLetter(text[start])) &&
        text.find(u':', start + 2) == u16string::npos) {
        Check(path == work.data() + start);
        const u16string expected = text.substr(start);
        Check(u16string(path) == expected);
        Check(cvt::ValidatePath(path) == ModelValid(expected));
        Check(cvt::PathNamesFile(path) == ModelNamesFile(expected));
        Check(cvt::PathNeedsQuoting(path) == ModelContains(cvt::QuotingChars, expected));
    }
    Check(cvt::ContainsAnyOf(u"\u3042:&", pristine.data()) == ModelContains(u"\u3042:&", text));

    // The open command's road on its own copy.
    std::vector<char16_t> copy(cvt::WorkCopyCapacity(text.size()));
    char16_t* openPath = nullptr;
    const cvt::OpenVerdict verdict =
        cvt::PrepareOpen(pristine.data(), copy.data(), copy.size(), &openPath);
    if (verdict == cvt::OpenVerdict::kNoPath) {
        Check(openPath == nullptr);
        Check(path == nullptr || *path == u'\0');
    } else {
        Check(openPath >= copy.data() && openPath < copy.data() + copy.size());
        Check(*openPath != u'\0');
        Check((verdict == cvt::OpenVerdict::kLaunch) == ModelValid(openPath));
        if (verdict == cvt::OpenVerdict::kLaunch) {
            CheckLaunch(openPath, fileOn, (data[0] & 8) == 0);
            CheckServer(openPath);
            CheckShownPath(openPath, 1 + data[0] / 16);
        }
    }

    CheckCaption(text, kind, path);
    return 0;
}

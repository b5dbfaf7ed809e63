#include "capture/direct_read.h"

#include <richedit.h>

#include <cstring>
#include <memory>
#include <new>

namespace cvt {

namespace {

enum class ControlKind { kOther, kEdit, kRichEditAnsi, kRichEditWide };

// The control's text is Unicode or ANSI by its class, whatever procedures have been put on
// top of it since: a rich edit control fills EM_GETTEXTRANGE's buffer in its own character set.
ControlKind KindOf(HWND window) {
    char name[16];  // longer names than the longest known one come back cut and match none
    if (GetClassNameA(window, name, sizeof(name)) <= 0) return ControlKind::kOther;
    if (lstrcmpiA(name, "Edit") == 0) return ControlKind::kEdit;
    if (lstrcmpiA(name, "RichEdit20W") == 0 || lstrcmpiA(name, "RICHEDIT50W") == 0) {
        return ControlKind::kRichEditWide;
    }
    if (lstrcmpiA(name, "RichEdit20A") == 0 || lstrcmpiA(name, "RichEdit") == 0) {
        return ControlKind::kRichEditAnsi;
    }
    return ControlKind::kOther;
}

// A selection of count characters as a NUL-terminated copy; null without memory.
wchar_t* CopyOf(const wchar_t* start, std::size_t count) {
    wchar_t* copy = new (std::nothrow) wchar_t[count + 1];
    if (copy == nullptr) return nullptr;
    std::memcpy(copy, start, count * sizeof(wchar_t));
    copy[count] = L'\0';
    return copy;
}

// ANSI text in the system's code page as UTF-16; null when it cannot be converted.
wchar_t* Widened(const char* text, int bytes) {
    if (bytes == 0) return CopyOf(L"", 0);
    const int count = MultiByteToWideChar(CP_ACP, 0, text, bytes, nullptr, 0);
    if (count <= 0) return nullptr;
    wchar_t* wide = new (std::nothrow) wchar_t[static_cast<std::size_t>(count) + 1];
    if (wide == nullptr) return nullptr;
    MultiByteToWideChar(CP_ACP, 0, text, bytes, wide, count);
    wide[count] = L'\0';
    return wide;
}

// Once the control has said what it selected, a failure ends the capture: under an exhausted
// heap the clipboard is better left alone.
DirectRead Outcome(wchar_t* read, wchar_t** text) {
    *text = read;
    return read != nullptr ? DirectRead::kText : DirectRead::kFailed;
}

// A position that splits a double-byte character: the control counts otherwise than the text
// says, and the copy command is asked instead.
bool SplitsCharacter(const char* text, DWORD position) {
    DWORD i = 0;
    while (i < position) i += IsDBCSLeadByte(static_cast<BYTE>(text[i])) && text[i + 1] ? 2 : 1;
    return i != position;
}

// An edit control counts its positions in its own characters: UTF-16 units in a Unicode
// window, bytes of the system's code page in an ANSI one.
DirectRead ReadEdit(HWND window, wchar_t** text) {
    constexpr DWORD kUnanswered = 0xFFFFFFFF;
    DWORD start = kUnanswered, end = kUnanswered;
    SendMessageW(window, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
    if (start == kUnanswered || end == kUnanswered || start > end) return DirectRead::kNotPossible;
    if (start == end) return DirectRead::kNothingSelected;
    const bool unicode = IsWindowUnicode(window) != FALSE;
    const LRESULT capacity = unicode ? SendMessageW(window, WM_GETTEXTLENGTH, 0, 0)
                                     : SendMessageA(window, WM_GETTEXTLENGTH, 0, 0);
    if (capacity <= 0 || static_cast<DWORD>(capacity) < end) return DirectRead::kNotPossible;
    const std::size_t slots = static_cast<std::size_t>(capacity) + 1;
    if (unicode) {
        std::unique_ptr<wchar_t[]> whole(new (std::nothrow) wchar_t[slots]);
        if (!whole) return DirectRead::kFailed;
        const LRESULT length =
            SendMessageW(window, WM_GETTEXT, slots, reinterpret_cast<LPARAM>(whole.get()));
        if (length < 0 || static_cast<DWORD>(length) < end) return DirectRead::kNotPossible;
        return Outcome(CopyOf(whole.get() + start, end - start), text);
    }
    std::unique_ptr<char[]> whole(new (std::nothrow) char[slots]);
    if (!whole) return DirectRead::kFailed;
    const LRESULT length =
        SendMessageA(window, WM_GETTEXT, slots, reinterpret_cast<LPARAM>(whole.get()));
    if (length < 0 || static_cast<DWORD>(length) < end) return DirectRead::kNotPossible;
    whole[length] = '\0';
    if (SplitsCharacter(whole.get(), start) || SplitsCharacter(whole.get(), end)) {
        return DirectRead::kNotPossible;
    }
    return Outcome(Widened(whole.get() + start, static_cast<int>(end - start)), text);
}

// A rich edit control gives its selection and any range of its text in the same units, so the
// range it reports is taken as it is.
DirectRead ReadRichEdit(HWND window, bool unicode, wchar_t** text) {
    CHARRANGE range = {-1, -1};
    SendMessageW(window, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
    if (range.cpMin < 0 || range.cpMax < range.cpMin) return DirectRead::kNotPossible;
    if (range.cpMin == range.cpMax) return DirectRead::kNothingSelected;
    const std::size_t count = static_cast<std::size_t>(range.cpMax - range.cpMin);
    if (unicode) {
        std::unique_ptr<wchar_t[]> buffer(new (std::nothrow) wchar_t[count + 1]);
        if (!buffer) return DirectRead::kFailed;
        TEXTRANGEW request = {range, buffer.get()};
        const LRESULT copied =
            SendMessageW(window, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&request));
        if (copied <= 0 || static_cast<std::size_t>(copied) > count) {
            return DirectRead::kNotPossible;
        }
        return Outcome(CopyOf(buffer.get(), static_cast<std::size_t>(copied)), text);
    }
    // Room for two bytes per character, whichever the control counts.
    const std::size_t bytes = 2 * count + 2;
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[bytes]);
    if (!buffer) return DirectRead::kFailed;
    buffer[0] = '\0';
    TEXTRANGEA request = {range, buffer.get()};
    SendMessageA(window, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&request));
    buffer[bytes - 1] = '\0';
    const int length = lstrlenA(buffer.get());
    if (length == 0) return DirectRead::kNotPossible;
    return Outcome(Widened(buffer.get(), length), text);
}

}  // namespace

DirectRead ReadSelectionDirectly(HWND window, wchar_t** text) {
    *text = nullptr;
    switch (KindOf(window)) {
        case ControlKind::kEdit:
            return ReadEdit(window, text);
        case ControlKind::kRichEditWide:
            return ReadRichEdit(window, true, text);
        case ControlKind::kRichEditAnsi:
            return ReadRichEdit(window, false, text);
        case ControlKind::kOther:
            break;
    }
    return DirectRead::kNotPossible;
}

}  // namespace cvt

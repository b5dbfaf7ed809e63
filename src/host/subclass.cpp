#include "host/subclass.h"

#include <cstring>
#include <ctime>
#include <new>

#include "capture/selection_capture.h"
#include "common/plugin_lifetime.h"
#include "open/open_command.h"
#include "settings/settings_store.h"

namespace cvt {

namespace {

constexpr WPARAM kLetterO = 0x4F;

// The mark of a window that has SubclassProc. It lives with the window, so a window that dies
// behind the plug-in's back (its procedure reset without chaining, so SubclassProc never saw
// WM_NCDESTROY) takes it along, and a new window that gets the same handle starts clean.
constexpr char kSubclassMark[] = "CvTrivane.Subclassed";

// A subclassed window and the procedure it had before. A Unicode window is subclassed with
// the wide functions: an ANSI procedure would make the system convert every text message for
// it through the ANSI code page, and every character outside it would be lost from the mail.
struct SubclassEntry {
    HWND window;
    WNDPROC previous;
    bool unicode;
    // TripleClickMessage posted to the window by the plug-in and not yet received: the number
    // lies in the range of registered messages, and another component's message may have it.
    int clicksPosted;
};

// The subclassed windows: the message view and the open composing editors, so a short list
// searched from the start. It grows without throwing, and an entry is found by its window.
struct SubclassList {
    SubclassEntry* items = nullptr;
    std::size_t count = 0;
    std::size_t capacity = 0;

    SubclassEntry* Find(HWND window) {
        for (std::size_t i = 0; i < count; ++i) {
            if (items[i].window == window) return &items[i];
        }
        return nullptr;
    }
    // The window's entry, made when it has none; null when the list cannot grow.
    SubclassEntry* Place(HWND window) {
        if (SubclassEntry* known = Find(window)) return known;
        if (count == capacity) {
            const std::size_t grown = capacity == 0 ? 4 : capacity * 2;
            auto* larger = new (std::nothrow) SubclassEntry[grown];
            if (larger == nullptr) return nullptr;
            if (count > 0) std::memcpy(larger, items, count * sizeof(SubclassEntry));
            delete[] items;
            items = larger;
            capacity = grown;
        }
        items[count] = {window, nullptr, false, 0};
        return &items[count++];
    }
    void Remove(HWND window) {
        if (SubclassEntry* entry = Find(window)) *entry = items[--count];
    }
    ~SubclassList() {
        delete[] items;
        items = nullptr;
        count = capacity = 0;
    }
};
SubclassList SubclassMap;

// Real time of the last double click in any subclassed window, in clock() milliseconds; 0
// after a triple click, so that a further press needs a new double click.
std::uint32_t LastDoubleClickTime = 0;

// The pointer-sized forms are the very same functions as Get/SetWindowLongA/W in a 32-bit
// build; a 64-bit build has only these. A procedure is read, written and called in the
// character set it was installed in: read through the other one it is a thunk.
LONG_PTR ReadProcedure(HWND window, bool unicode) {
    return unicode ? GetWindowLongPtrW(window, GWLP_WNDPROC)
                   : GetWindowLongPtrA(window, GWLP_WNDPROC);
}

LONG_PTR WriteProcedure(HWND window, bool unicode, LONG_PTR procedure) {
    return unicode ? SetWindowLongPtrW(window, GWLP_WNDPROC, procedure)
                   : SetWindowLongPtrA(window, GWLP_WNDPROC, procedure);
}

LONG_PTR OwnProcedure() { return reinterpret_cast<LONG_PTR>(&SubclassProc); }

std::uint32_t ClockNow() { return static_cast<std::uint32_t>(std::clock()); }

// The scan code of the Shift+O press being acted on (bits 16 to 23 of its lParam).
LPARAM PressScanCode = 0;

LPARAM ScanCodeOf(LPARAM lParam) { return (lParam >> 16) & 0xFF; }

// The host's loop translated the key press before dispatching it, so the characters it made
// are queued for the window already; once the press has opened something, they would be typed
// over the selected path. Whatever they are (a capital or small O, a control character, a
// letter of another layout, a dead key's accent or the two characters of a dead key that did
// not combine), they carry the key's scan code.
void DropCharactersOfPress(HWND window) {
    static const UINT kCharacterMessages[] = {WM_CHAR, WM_DEADCHAR, WM_SYSCHAR};
    for (bool dropped = true; dropped;) {
        dropped = false;
        for (UINT kind : kCharacterMessages) {
            MSG queued;
            if (PeekMessageW(&queued, window, kind, kind, PM_NOREMOVE | PM_NOYIELD) &&
                ScanCodeOf(queued.lParam) == PressScanCode) {
                PeekMessageW(&queued, window, kind, kind, PM_REMOVE | PM_NOYIELD);
                dropped = true;
            }
        }
    }
}

// True when the open command acted on what the capture found. A gesture that arrives while a
// capture waits (sent from another thread) does nothing: the capture refuses to start.
bool CaptureAndOpen(HWND window, void (*beforeFirstWindow)(HWND)) {
    return CaptureSelection(window) == 0 &&
           OpenSelectedPath(window, beforeFirstWindow) == OpenOutcome::kActed;
}

// Bit 30 of a key-down's lParam: the key was down already, an auto-repeat of a held key.
constexpr LPARAM kKeyWasDown = 1 << 30;

bool ShiftIsDown() { return (GetKeyState(VK_SHIFT) & 0x80) != 0; }

// Acts on a gesture; true when the message was the plug-in's and must not reach the host: a
// Shift+O that opened, asked or reported an invalid path.
bool ActOn(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case TripleClickMessage:
            // Only the plug-in's own: any other message of that number is the host's.
            if (SubclassEntry* entry = SubclassMap.Find(window)) {
                if (entry->clicksPosted > 0) {
                    --entry->clicksPosted;
                    CaptureAndOpen(window, nullptr);
                }
            }
            break;
        case WM_LBUTTONDBLCLK:
            LastDoubleClickTime = ClockNow();
            break;
        case WM_KEYDOWN:
            // Without a path the key goes on, so that typing an O keeps working; a held key's
            // repeats type as usual.
            if (wParam != kLetterO || (lParam & kKeyWasDown) != 0 || !ShiftIsDown()) break;
            PressScanCode = ScanCodeOf(lParam);
            return CaptureAndOpen(window, &DropCharactersOfPress);
        case WM_LBUTTONDOWN:
            // The setting is read only for presses that can be the third of a triple click.
            // A time of 0 means no double click is pending: without that check a single
            // press in the first moments of the host's life would count as a triple click.
            if (LastDoubleClickTime != 0 &&
                ClockNow() - LastDoubleClickTime <= GetDoubleClickTime() &&
                SettingIsOne(kSettingTripleClick)) {
                LastDoubleClickTime = 0;
                SubclassEntry* entry = SubclassMap.Find(window);
                if (entry != nullptr && PostMessageA(window, TripleClickMessage, 0, 0)) {
                    ++entry->clicksPosted;
                }
            }
            break;
    }
    return false;
}

void Forget(HWND window) {
    RemovePropA(window, kSubclassMark);
    SubclassMap.Remove(window);
}

}  // namespace

void InstallSubclass(HWND window) {
    if (window == nullptr) return;
    // A marked window is subclassed already, perhaps with another component's procedure on
    // top of SubclassProc now: recording that one as the host's would make the two call each
    // other for ever.
    if (GetPropA(window, kSubclassMark) != nullptr) return;
    // A window that is gone reads as ANSI and has no procedure, and is left alone.
    const bool unicode = IsWindowUnicode(window) != FALSE;
    // A procedure that cannot be read could not be passed on to: the window would go dead.
    if (ReadProcedure(window, unicode) == 0) return;
    if (!SetPropA(window, kSubclassMark, reinterpret_cast<HANDLE>(OwnProcedure()))) return;
    // The entry is made first, so SubclassProc always finds its window. Without memory for
    // it the window is left alone, and the start goes on. An entry left by a window that died
    // unseen with the same handle is taken over.
    SubclassEntry* entry = SubclassMap.Place(window);
    if (entry == nullptr) {
        RemovePropA(window, kSubclassMark);
        return;
    }
    entry->unicode = unicode;
    entry->clicksPosted = 0;
    // What the switch replaced is what to pass on to, even if another component changed the
    // procedure since it was read above.
    entry->previous = reinterpret_cast<WNDPROC>(WriteProcedure(window, unicode, OwnProcedure()));
    if (entry->previous == nullptr) Forget(window);
}

void RemoveAllSubclasses() {
    for (std::size_t i = 0; i < SubclassMap.count;) {
        const SubclassEntry entry = SubclassMap.items[i];
        if (IsWindow(entry.window) &&
            ReadProcedure(entry.window, entry.unicode) != OwnProcedure()) {
            // Someone subclassed the window on top of the plug-in and will call SubclassProc:
            // taking the plug-in out from under them would break their chain, and unloading
            // would leave them calling into freed code. So the entry stays and the library
            // stays loaded for the rest of the process.
            PinModule();
            ++i;
            continue;
        }
        if (IsWindow(entry.window)) {
            WriteProcedure(entry.window, entry.unicode, reinterpret_cast<LONG_PTR>(entry.previous));
        }
        Forget(entry.window);  // the last entry moves into place i
    }
}

LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const PluginEntry entered;
    // Kept before acting: an exit during the gesture's dialogs may put the window's own
    // procedure back and forget the entry, and this message still goes on to it.
    const SubclassEntry* known = SubclassMap.Find(window);
    const SubclassEntry before =
        known != nullptr ? *known : SubclassEntry{window, nullptr, false, 0};
    if (ActOn(window, message, wParam, lParam)) return 0;
    known = SubclassMap.Find(window);
    const SubclassEntry entry = known != nullptr ? *known : before;
    if (entry.previous == nullptr) return 0;
    const LRESULT result = entry.unicode
                               ? CallWindowProcW(entry.previous, window, message, wParam, lParam)
                               : CallWindowProcA(entry.previous, window, message, wParam, lParam);
    // The window is gone: forget it, so nothing dangles.
    if (message == WM_NCDESTROY) Forget(window);
    return result;
}

}  // namespace cvt

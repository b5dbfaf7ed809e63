#include "open/place_check.h"

#include <cwchar>
#include <memory>
#include <new>

#include "common/plugin_lifetime.h"
#include "common/proc_address.h"
#include "common/utf16_text.h"
#include "open/path_ends.h"
#include "open/progress_dialog.h"

namespace cvt {

namespace {

// The longest path the wide file functions take.
constexpr DWORD kLongestPath = 32768;

// Every message but raw input: these headers put QS_RAWINPUT into QS_ALLINPUT whatever the
// target, and Windows 2000, which lacks raw input, refuses the flag.
constexpr DWORD kAnyMessage =
    QS_KEY | QS_MOUSE | QS_POSTMESSAGE | QS_TIMER | QS_PAINT | QS_HOTKEY | QS_SENDMESSAGE;

// Not in the headers for Windows 2000, which lacks the function (Windows 7 has it).
using SetThreadErrorModeFunction = BOOL(WINAPI*)(DWORD, DWORD*);

// What the host's thread and the checking thread share, in one heap block. Whoever lets go
// of it last frees it, so a check that outlives the deadline still owns its data.
struct PlaceCheck {
    volatile LONG references;
    HMODULE library;  // the checking thread's own reference on the library
    std::size_t length;
    std::size_t restStart;
    std::size_t endCount;
    std::size_t ends[kMostCandidateEnds];
    std::size_t result;  // written by the checking thread before it ends
    wchar_t* path;       // the text path, length + 1 characters
    wchar_t* scratch;    // names being asked about, length + 3 characters
};

PlaceCheck* NewCheck(const char16_t* path, std::size_t length) {
    const std::size_t bytes = sizeof(PlaceCheck) + (2 * length + 4) * sizeof(wchar_t);
    auto* memory = new (std::nothrow) unsigned char[bytes];
    if (memory == nullptr) return nullptr;
    auto* check = new (memory) PlaceCheck();
    check->references = 1;
    check->length = length;
    check->path = reinterpret_cast<wchar_t*>(memory + sizeof(PlaceCheck));
    check->scratch = check->path + length + 1;
    std::wmemcpy(check->path, AsWide(path), length + 1);
    check->restStart = CuttableRestStart(path);
    check->endCount = ListCandidateEnds(path, check->restStart, check->ends, kMostCandidateEnds);
    check->result = length;
    return check;
}

void Release(PlaceCheck* check) {
    if (InterlockedDecrement(&check->references) != 0) return;
    check->~PlaceCheck();
    delete[] reinterpret_cast<unsigned char*>(check);
}

bool Exists(const wchar_t* path) { return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

// The first `length` characters of the path, in the scratch buffer.
wchar_t* Prefix(PlaceCheck* check, std::size_t length) {
    std::wmemcpy(check->scratch, check->path, length);
    check->scratch[length] = L'\0';
    return check->scratch;
}

bool FolderItselfIsCandidate(const PlaceCheck* check) {
    return check->endCount > 0 && check->ends[check->endCount - 1] == check->restStart;
}

// One listing of the last folder: the longest listed name that the rest begins with. False
// when the folder cannot be listed.
bool FindByListing(PlaceCheck* check, std::size_t* found) {
    const std::size_t restStart = check->restStart;
    const char16_t* rest = AsUtf16(check->path) + restStart;
    wchar_t* pattern = Prefix(check, restStart);
    std::size_t end = restStart;
    // Narrowed by the first character, so that a server sends only the names that can match.
    if (const char16_t first = ListingFirstCharacter(rest)) pattern[end++] = first;
    pattern[end++] = L'*';
    pattern[end] = L'\0';
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW(pattern, &entry);
    if (search == INVALID_HANDLE_VALUE) return false;
    std::size_t longest = 0;
    do {
        const std::size_t covered = NameCoversRest(rest, AsUtf16(entry.cFileName));
        if (covered > longest) longest = covered;
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    if (longest > 0) {
        *found = restStart + longest;
    } else if (FolderItselfIsCandidate(check)) {
        *found = restStart;  // the listing proved that the folder exists
    }
    return true;
}

// The checks, longest first: the whole text path, then the names in its last folder, and
// where the folder may not be listed, each explicit candidate end.
std::size_t FindPlace(PlaceCheck* check) {
    if (Exists(check->path) || check->restStart == 0) return check->length;
    std::size_t found = check->length;
    if (FindByListing(check, &found)) return found;
    if (GetLastError() != ERROR_ACCESS_DENIED) return check->length;
    const DWORD folder = GetFileAttributesW(Prefix(check, check->restStart));
    if (folder == INVALID_FILE_ATTRIBUTES || (folder & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return check->length;
    }
    for (std::size_t i = 0; i < check->endCount; ++i) {
        if (Exists(Prefix(check, check->ends[i]))) return check->ends[i];
    }
    return check->length;
}

// A drive without its medium would otherwise make the system ask the user to insert one, and
// the check would wait for the answer. Windows 7 and later keep the setting to this thread;
// older systems have only the process's, which is put back after the checks.
class QuietCriticalErrors {
public:
    QuietCriticalErrors() {
        const auto setForThread = ProcAddress<SetThreadErrorModeFunction>(
            GetModuleHandleA("kernel32.dll"), "SetThreadErrorMode");
        DWORD previous = 0;
        if (setForThread != nullptr && setForThread(SEM_FAILCRITICALERRORS, &previous)) return;
        processWide_ = true;
        previous_ = SetErrorMode(SEM_FAILCRITICALERRORS);
        SetErrorMode(previous_ | SEM_FAILCRITICALERRORS);
    }
    ~QuietCriticalErrors() {
        if (processWide_) SetErrorMode(previous_);
    }
    QuietCriticalErrors(const QuietCriticalErrors&) = delete;
    QuietCriticalErrors& operator=(const QuietCriticalErrors&) = delete;

private:
    bool processWide_ = false;
    UINT previous_ = 0;
};

DWORD WINAPI CheckPlaces(void* parameter) {
    auto* check = static_cast<PlaceCheck*>(parameter);
    {
        const QuietCriticalErrors quiet;
        check->result = FindPlace(check);
    }
    HMODULE library = check->library;
    Release(check);
    // The library stays loaded until this thread has left its code.
    FreeLibraryAndExitThread(library, 0);
    return 0;
}

// A reference on the library for the checking thread, taken by loading its own file again
// (GetModuleHandleExW would do it in one call, but Windows 2000 lacks it).
HMODULE LoadOwnLibrary() {
    for (DWORD capacity = MAX_PATH;; capacity = kLongestPath) {
        std::unique_ptr<wchar_t[]> name(new (std::nothrow) wchar_t[capacity]);
        if (!name) return nullptr;
        // A name that does not fit comes back cut, with the whole capacity as its length.
        const DWORD length = GetModuleFileNameW(ModuleHandle, name.get(), capacity);
        if (length == 0) return nullptr;
        if (length < capacity) return LoadLibraryW(name.get());
        if (capacity == kLongestPath) return nullptr;
    }
}

// Dispatches what waits in the thread's queue; false once the host is asked to quit (the
// request is put back for the host's own loop).
bool DispatchWaitingMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return false;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return true;
}

// Waits for the checking thread until the deadline, keeping the host's windows (and the
// progress window) alive. True when the checks ended in time.
bool WaitForChecks(HANDLE thread, HWND owner, HWND* progress) {
    const DWORD start = GetTickCount();
    bool progressTried = false;
    for (;;) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= kPlaceCheckDeadline) return false;
        if (!progressTried && elapsed >= kPlaceCheckGrace) {
            progressTried = true;
            *progress = ShowProgressDialog(owner);
        }
        const DWORD until = progressTried ? kPlaceCheckDeadline : kPlaceCheckGrace;
        const DWORD wait =
            MsgWaitForMultipleObjects(1, &thread, FALSE, until - elapsed, kAnyMessage);
        if (wait == WAIT_OBJECT_0) return true;
        if (wait == WAIT_OBJECT_0 + 1) {
            if (!DispatchWaitingMessages()) return false;
        } else if (wait != WAIT_TIMEOUT) {
            // The messages cannot be waited for: wait for the thread alone, what is left.
            return WaitForSingleObject(thread, kPlaceCheckDeadline - elapsed) == WAIT_OBJECT_0;
        }
    }
}

}  // namespace

std::size_t ResolvePlace(HWND owner, const char16_t* path, HWND* progress) {
    *progress = nullptr;
    const std::size_t length = std::wcslen(AsWide(path));
    // Without a candidate end the text path is the answer, whether it exists or not.
    if (CuttableRestStart(path) == 0) return length;
    PlaceCheck* check = NewCheck(path, length);
    if (check == nullptr) return length;
    check->library = LoadOwnLibrary();
    if (check->library == nullptr) {
        Release(check);
        return length;
    }
    check->references = 2;
    DWORD threadId = 0;
    HANDLE thread = CreateThread(nullptr, 0, &CheckPlaces, check, 0, &threadId);
    if (thread == nullptr) {
        FreeLibrary(check->library);
        check->references = 1;
        Release(check);
        return length;
    }
    // The thread's end (its handle is signalled once it has left the library) orders its
    // result before this read.
    const std::size_t result = WaitForChecks(thread, owner, progress) ? check->result : length;
    CloseHandle(thread);
    Release(check);
    return result;
}

}  // namespace cvt

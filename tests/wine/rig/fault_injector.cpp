#include "rig/fault_injector.h"

#include <psapi.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <set>

#include "rig/rig.h"
#include "standin/host_state.h"
#include "standin/standin_host.h"

namespace rig {

// ---- What can fail, and how ---------------------------------------------------------------

namespace {

constexpr DWORD kFalse = 0;
constexpr DWORD kNull = 0;
constexpr DWORD kCdecl = 0;  // the caller removes the arguments

// Argument bytes are 4 per argument: every argument of these functions is 4 bytes wide in the
// 32-bit build (in the 64-bit twin the caller removes the arguments, and they are not used).
// Registry functions return their error instead of setting the last error.
const FailureMode kFailureModes[] = {
    // advapi32
    {"RegOpenKeyExA", 20, ERROR_ACCESS_DENIED, kKeepLastError},
    {"RegQueryValueExW", 24, ERROR_FILE_NOT_FOUND, kKeepLastError},
    {"RegSetValueExW", 24, ERROR_ACCESS_DENIED, kKeepLastError},
    // comctl32
    {"InitCommonControlsEx", 4, kFalse, kKeepLastError},
    // gdi32
    {"CopyEnhMetaFileA", 8, kNull, kKeepLastError},
    {"CopyMetaFileA", 8, kNull, kKeepLastError},
    {"CreatePalette", 4, kNull, kKeepLastError},
    {"GetObjectA", 12, 0, kKeepLastError},
    {"GetPaletteEntries", 16, 0, kKeepLastError},
    {"GetTextExtentPoint32W", 16, kFalse, kKeepLastError},
    {"SelectObject", 8, kNull, kKeepLastError},
    // kernel32
    {"CreateThread", 24, kNull, ERROR_NOT_ENOUGH_MEMORY},
    {"FindFirstFileW", 8, static_cast<DWORD>(-1), ERROR_FILE_NOT_FOUND},
    {"FindNextFileW", 8, kFalse, ERROR_NO_MORE_FILES},
    {"GetFileAttributesW", 4, static_cast<DWORD>(-1), ERROR_FILE_NOT_FOUND},
    {"GetModuleFileNameW", 12, 0, ERROR_NOT_ENOUGH_MEMORY},
    {"GetProcAddress", 8, kNull, ERROR_PROC_NOT_FOUND},
    {"GetSystemDirectoryW", 8, 0, ERROR_NOT_ENOUGH_MEMORY},
    {"GetSystemWindowsDirectoryW", 8, 0, ERROR_NOT_ENOUGH_MEMORY},
    {"GetVersionExW", 4, kFalse, ERROR_INSUFFICIENT_BUFFER},
    {"GlobalAlloc", 8, kNull, ERROR_NOT_ENOUGH_MEMORY},
    {"GlobalLock", 4, kNull, ERROR_INVALID_HANDLE},
    {"GlobalSize", 4, 0, ERROR_INVALID_HANDLE},
    {"LoadLibraryW", 4, kNull, ERROR_MOD_NOT_FOUND},
    {"WaitForSingleObject", 8, WAIT_FAILED, ERROR_INVALID_HANDLE},
    {"MultiByteToWideChar", 24, 0, ERROR_NO_UNICODE_TRANSLATION},
    {"WideCharToMultiByte", 32, 0, ERROR_NO_UNICODE_TRANSLATION},
    // msvcrt: an exhausted heap
    {"malloc", kCdecl, kNull, kKeepLastError},
    {"calloc", kCdecl, kNull, kKeepLastError},
    {"realloc", kCdecl, kNull, kKeepLastError},
    {"clock", kCdecl, static_cast<DWORD>(-1), kKeepLastError},
    // shell32
    {"ShellExecuteExW", 4, kFalse, ERROR_FILE_NOT_FOUND},
    // user32
    {"CheckDlgButton", 12, kFalse, ERROR_CONTROL_ID_NOT_FOUND},
    {"CopyImage", 20, kNull, ERROR_NOT_ENOUGH_MEMORY},
    {"DrawTextW", 20, 0, kKeepLastError},
    {"GetClientRect", 8, kFalse, ERROR_INVALID_WINDOW_HANDLE},
    {"GetDC", 4, kNull, kKeepLastError},
    {"GetWindowRect", 8, kFalse, ERROR_INVALID_WINDOW_HANDLE},
    {"LoadIconA", 8, kNull, ERROR_RESOURCE_NAME_NOT_FOUND},
    {"SetWindowPos", 28, kFalse, ERROR_INVALID_WINDOW_HANDLE},
    {"CreateDialogParamA", 20, kNull, ERROR_NOT_ENOUGH_MEMORY},
    {"DialogBoxParamA", 20, static_cast<DWORD>(-1), ERROR_NOT_ENOUGH_MEMORY},
    {"EmptyClipboard", 0, kFalse, ERROR_ACCESS_DENIED},
    {"EnumClipboardFormats", 4, 0, ERROR_CLIPBOARD_NOT_OPEN},
    {"FindWindowExA", 16, kNull, ERROR_INVALID_WINDOW_HANDLE},
    {"GetAncestor", 8, kNull, ERROR_INVALID_WINDOW_HANDLE},
    {"GetClassNameA", 12, 0, ERROR_INVALID_WINDOW_HANDLE},
    {"GetClipboardData", 4, kNull, ERROR_NOT_ENOUGH_MEMORY},
    {"GetClipboardFormatNameA", 12, 0, ERROR_INVALID_HANDLE},
    {"GetClipboardOwner", 0, kNull, ERROR_ACCESS_DENIED},
    {"GetClipboardSequenceNumber", 0, 0, kKeepLastError},
    {"GetDlgItem", 8, kNull, ERROR_CONTROL_ID_NOT_FOUND},
    {"GetSubMenu", 8, kNull, kKeepLastError},
    {"GetWindowLongA", 8, 0, ERROR_INVALID_WINDOW_HANDLE},
    {"GetWindowLongPtrA", 8, 0, ERROR_INVALID_WINDOW_HANDLE},  // the 64-bit twin's name
    {"GetWindowLongW", 8, 0, ERROR_INVALID_WINDOW_HANDLE},
    {"GetWindowLongPtrW", 8, 0, ERROR_INVALID_WINDOW_HANDLE},
    {"InsertMenuA", 20, kFalse, ERROR_NOT_ENOUGH_MEMORY},
    {"InsertMenuW", 20, kFalse, ERROR_NOT_ENOUGH_MEMORY},
    {"IsClipboardFormatAvailable", 4, kFalse, kKeepLastError},
    {"LoadCursorA", 8, kNull, ERROR_RESOURCE_NAME_NOT_FOUND},
    {"MessageBoxA", 16, 0, ERROR_NOT_ENOUGH_MEMORY},
    {"MessageBoxW", 16, 0, ERROR_NOT_ENOUGH_MEMORY},
    {"MsgWaitForMultipleObjects", 20, WAIT_FAILED, ERROR_INVALID_PARAMETER},
    {"OpenClipboard", 4, kFalse, ERROR_ACCESS_DENIED},
    {"PostMessageA", 16, kFalse, ERROR_NOT_ENOUGH_QUOTA},
    {"RegisterClipboardFormatA", 4, 0, ERROR_NOT_ENOUGH_MEMORY},
    {"SetClipboardData", 8, kNull, ERROR_CLIPBOARD_NOT_OPEN},
    {"SendMessageA", 16, 0, kKeepLastError},  // a window that does not know the message
    {"SendMessageW", 16, 0, kKeepLastError},
    {"SetDlgItemTextW", 12, kFalse, ERROR_CONTROL_ID_NOT_FOUND},
    {"SetPropA", 12, kFalse, ERROR_NOT_ENOUGH_MEMORY},
    {"SetTimer", 16, 0, ERROR_NOT_ENOUGH_MEMORY},
    {"SetWindowLongA", 12, 0, ERROR_INVALID_WINDOW_HANDLE},
    {"SetWindowLongPtrA", 12, 0, ERROR_INVALID_WINDOW_HANDLE},  // the 64-bit twin's name
    {"SetWindowLongW", 12, 0, ERROR_INVALID_WINDOW_HANDLE},
    {"SetWindowLongPtrW", 12, 0, ERROR_INVALID_WINDOW_HANDLE},
};

constexpr char kReleases[] =
    "gives back what the plug-in holds; fails only for a handle that is not valid";
constexpr char kNoFailure[] = "has no failure result: every result is an answer";
constexpr char kCannotFail[] = "cannot fail";
constexpr char kPureCode[] = "pure memory or text function";
constexpr char kRuntime[] = "called by the C and C++ runtime linked into the plug-in";
constexpr char kEndsProcess[] = "ends the process; the injector reports it";

const Exemption kExemptions[] = {
    {"RegCloseKey", kReleases},
    {"CloseClipboard", kReleases},
    {"GlobalFree", kReleases},
    {"GlobalUnlock", "0 is also its success result when the last lock goes"},
    {"DeleteObject", kReleases},
    {"DeleteEnhMetaFile", kReleases},
    {"DeleteMetaFile", kReleases},
    {"DestroyWindow", kReleases},
    {"EndDialog", kReleases},
    {"KillTimer", kReleases},
    {"free", kReleases},
    {"RemovePropA", kReleases},
    {"FreeLibrary", kReleases},
    {"FindClose", kReleases},
    {"CloseHandle", kReleases},
    {"FreeLibraryAndExitThread", "gives back the checking thread's library reference and ends it"},
    {"SetErrorMode", "returns the previous mode"},
    {"TranslateMessage", "FALSE is also the answer for a message that is no key"},
    {"DispatchMessageW", "returns the window procedure's own result"},
    {"PostQuitMessage", "returns nothing"},
    {"EnableWindow", "returns the previous state"},
    {"IsWindowEnabled", kNoFailure},
    {"wcscmp", kPureCode},
    {"CallWindowProcA", "returns the host procedure's own result"},
    {"CallWindowProcW", "returns the host procedure's own result"},
    {"IsWindowUnicode", "FALSE is also the answer for an ANSI window"},
    {"IsHungAppWindow", "FALSE is also the answer for an owner that responds"},
    {"GetPropA", "null is also the answer for a window without the mark"},
    {"EnumThreadWindows", "FALSE is also the answer when the search found its window"},
    {"GetWindowThreadProcessId", "0 is also the answer for a window that is gone"},
    {"IsDBCSLeadByte", kPureCode},
    {"lstrcmpiA", kPureCode},
    {"PeekMessageW", "FALSE is also the answer when no message waits"},
    {"SetCursor", "returns the previous cursor, which may be none"},
    {"ShowWindow", "returns the previous visibility"},
    {"IsDlgButtonChecked", "0 is also the answer for a cleared box"},
    {"IsWindow", kNoFailure},
    {"ReleaseDC", kReleases},
    {"MapWindowPoints", "0 is also its success result when the two origins coincide"},
    {"GetKeyState", kCannotFail},
    {"GetDoubleClickTime", kCannotFail},
    {"GetTickCount", kCannotFail},
    {"Sleep", kCannotFail},
    {"GetLastError", kCannotFail},
    {"SetLastError", kCannotFail},
    {"lstrlenA", kPureCode},
    {"lstrlenW", kPureCode},
    {"lstrcmpA", kPureCode},
    {"memcpy", kPureCode},
    {"memmove", kPureCode},
    {"memset", kPureCode},
    {"strlen", kPureCode},
    {"wcslen", kPureCode},
    {"strcmp", kPureCode},
    {"strncmp", kPureCode},
    {"strchr", kPureCode},
    {"abort", kEndsProcess},
    {"exit", kEndsProcess},
    {"_amsg_exit", kEndsProcess},
    {"EnterCriticalSection", kRuntime},
    {"LeaveCriticalSection", kRuntime},
    {"TlsGetValue", kRuntime},
    {"TlsSetValue", kRuntime},
    {"GetCurrentThreadId", kRuntime},
    {"_errno", kRuntime},
    {"_lock", kRuntime},
    {"_unlock", kRuntime},
};

bool EndsProcess(const std::string& function) {
    const Exemption* exemption = FindExemption(function);
    return exemption != nullptr && exemption->reason == kEndsProcess;
}

}  // namespace

const FailureMode* FindFailureMode(const std::string& function) {
    for (const FailureMode& mode : kFailureModes) {
        if (function == mode.function) return &mode;
    }
    return nullptr;
}

const Exemption* FindExemption(const std::string& function) {
    for (const Exemption& exemption : kExemptions) {
        if (function == exemption.function) return &exemption;
    }
    return nullptr;
}

// ---- The injector ---------------------------------------------------------------------------

namespace {

// What one import's stub hands to the common code. The assembly below reads the first three
// fields: at offsets 0, 4 and 8 in the 32-bit build, 0, 8 and 12 in the 64-bit one.
struct Thunk {
    void* target;         // where a call that does not fail goes on
    DWORD argumentBytes;  // removed from the stack when the call fails
    DWORD failValue;      // the failed call's result
    DWORD lastError;      // left by the failed call, or kKeepLastError
    int calls;            // counted calls since the last reset
    int failAt;           // the counted call that fails; 0 for none
    void (*hook)(void*);  // runs before each counted call
    void* hookContext;
    bool endsProcess;  // reported when called
};
static_assert(offsetof(Thunk, target) == 0 && offsetof(Thunk, argumentBytes) == sizeof(void*) &&
                  offsetof(Thunk, failValue) == sizeof(void*) + 4,
              "the assembly reads these offsets");

// Thunks and their stubs live as long as the process: a thread of the module that is inside a
// stub while the injector goes must still find it. They are reused by every injector.
struct ThunkPool {
    Thunk* thunks = nullptr;
    BYTE* stubs = nullptr;
    std::size_t size = 0;
};
ThunkPool Pool;

#if defined(__x86_64__)
// mov r11, imm64: the thunk (10 bytes); jmp [rip+0] with the common code's address (14 bytes).
constexpr std::size_t kStubBytes = 24;
#else
constexpr std::size_t kStubBytes = 10;  // push imm32 (5 bytes), jmp rel32 (5 bytes)
#endif

struct InjectorState {
    HMODULE module = nullptr;
    DWORD thread = 0;
    std::vector<ImportSlot> imports;
    std::vector<void*> originals;
    bool injected = false;
    std::string context;
};
InjectorState* Injector = nullptr;
// The thread whose calls are counted; 0 when no injector is in place. Other threads never
// touch the injector's state.
volatile DWORD CountedThread = 0;

}  // namespace

}  // namespace rig

extern "C" void rig_FaultThunkCommon();

// Decides one counted call: nonzero makes it fail. The last error the caller sees is kept
// unless the call fails.
extern "C" int __cdecl rig_FaultDecide(void* record) {
    const DWORD lastError = GetLastError();
    auto* thunk = static_cast<rig::Thunk*>(record);
    int fail = 0;
    if (rig::CountedThread != 0 && GetCurrentThreadId() == rig::CountedThread) {
        rig::InjectorState* state = rig::Injector;
        ++thunk->calls;
        if (thunk->hook != nullptr) thunk->hook(thunk->hookContext);
        if (thunk->endsProcess) {
            const std::size_t index = static_cast<std::size_t>(thunk - rig::Pool.thunks);
            std::fprintf(stderr, "fault injector: the module called %s (%s)\n",
                         state->imports[index].function.c_str(), state->context.c_str());
            std::fflush(stderr);
        }
        if (thunk->failAt != 0 && thunk->calls == thunk->failAt) {
            fail = 1;
            state->injected = true;
        }
    }
    SetLastError(fail && thunk->lastError != rig::kKeepLastError ? thunk->lastError : lastError);
    return fail;
}

#if defined(__x86_64__)
// Entered from a stub with the thunk in r11 and the stack exactly as the caller left it. The
// argument registers (and xmm0-3, for floating-point arguments) are kept across the decision;
// a call that goes on jumps into the target, a failed one returns the failure value
// sign-extended (-1 stays -1 for pointer-sized results), and the caller removes the arguments.
asm(R"(
    .text
    .globl rig_FaultThunkCommon
rig_FaultThunkCommon:
    pushq %rcx
    pushq %rdx
    pushq %r8
    pushq %r9
    pushq %r11
    subq $0x60, %rsp
    movdqu %xmm0, 0x20(%rsp)
    movdqu %xmm1, 0x30(%rsp)
    movdqu %xmm2, 0x40(%rsp)
    movdqu %xmm3, 0x50(%rsp)
    movq %r11, %rcx
    call rig_FaultDecide
    movdqu 0x20(%rsp), %xmm0
    movdqu 0x30(%rsp), %xmm1
    movdqu 0x40(%rsp), %xmm2
    movdqu 0x50(%rsp), %xmm3
    addq $0x60, %rsp
    popq %r11
    popq %r9
    popq %r8
    popq %rdx
    popq %rcx
    testl %eax, %eax
    jnz 1f
    jmpq *(%r11)
1:  movslq 12(%r11), %rax
    ret
)");
#else
// Entered from a stub with the thunk on top of the caller's return address and arguments.
// A call that goes on returns into the target with the stack exactly as the caller left it;
// a failed call sets eax, removes the arguments as the callee would, and returns.
asm(R"(
    .text
    .globl _rig_FaultThunkCommon
_rig_FaultThunkCommon:
    pushl %ecx
    pushl %edx
    pushl 8(%esp)
    call _rig_FaultDecide
    addl $4, %esp
    popl %edx
    popl %ecx
    testl %eax, %eax
    jnz 1f
    movl (%esp), %eax
    movl (%eax), %eax
    movl %eax, (%esp)
    ret
1:  popl %ecx
    popl %edx
    addl 4(%ecx), %esp
    movl 8(%ecx), %eax
    jmp *%edx
)");
#endif

namespace rig {

namespace {

void EnsurePool(std::size_t size) {
    if (Pool.size >= size) return;
    // The old pool stays where it is (a stub may still be running); a bigger one replaces it.
    Pool.thunks = new Thunk[size]();
    Pool.stubs = static_cast<BYTE*>(
        VirtualAlloc(nullptr, size * kStubBytes, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE));
    Pool.size = size;
    const auto common = reinterpret_cast<std::uintptr_t>(&rig_FaultThunkCommon);
    for (std::size_t i = 0; i < size; ++i) {
        BYTE* stub = Pool.stubs + i * kStubBytes;
        const auto thunk = reinterpret_cast<std::uintptr_t>(&Pool.thunks[i]);
#if defined(__x86_64__)
        const BYTE code[] = {0x49, 0xBB, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0x25, 0, 0, 0, 0};
        std::memcpy(stub, code, sizeof(code));
        std::memcpy(stub + 2, &thunk, 8);    // mov r11, the thunk
        std::memcpy(stub + 16, &common, 8);  // jmp [rip+0]: the common code
#else
        const auto jump = static_cast<std::uint32_t>(
            common - (reinterpret_cast<std::uintptr_t>(stub) + kStubBytes));
        stub[0] = 0x68;  // push imm32: the thunk
        std::memcpy(stub + 1, &thunk, 4);
        stub[5] = 0xE9;  // jmp rel32: the common code
        std::memcpy(stub + 6, &jump, 4);
#endif
    }
    FlushInstructionCache(GetCurrentProcess(), Pool.stubs, size * kStubBytes);
}

Thunk* FindThunk(const std::string& function) {
    if (Injector == nullptr) return nullptr;
    for (std::size_t i = 0; i < Injector->imports.size(); ++i) {
        if (Injector->imports[i].function == function) return &Pool.thunks[i];
    }
    return nullptr;
}

// Some imports are variables (msvcrt's _iob): their slots hold data addresses and stay as
// they are.
bool IsCode(void* address) {
    MEMORY_BASIC_INFORMATION region = {};
    if (VirtualQuery(address, &region, sizeof(region)) == 0) return false;
    return (region.Protect & (PAGE_EXECUTE | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE |
                              PAGE_EXECUTE_WRITECOPY)) != 0;
}

}  // namespace

FaultInjector::FaultInjector(HMODULE module) {
    Injector = new InjectorState();
    Injector->module = module;
    Injector->thread = GetCurrentThreadId();
    Injector->imports = ListImports(module);
    EnsurePool(Injector->imports.size());
    for (std::size_t i = 0; i < Injector->imports.size(); ++i) {
        Thunk& thunk = Pool.thunks[i];
        thunk = Thunk();
        thunk.target = *Injector->imports[i].slot;
        if (!IsCode(thunk.target)) {
            Injector->originals.push_back(nullptr);
            continue;
        }
        thunk.endsProcess = EndsProcess(Injector->imports[i].function);
        if (const FailureMode* mode = FindFailureMode(Injector->imports[i].function)) {
            thunk.argumentBytes = mode->argumentBytes;
            thunk.failValue = mode->failValue;
            thunk.lastError = mode->lastError;
        }
        Injector->originals.push_back(
            WriteSlot(Injector->imports[i].slot, Pool.stubs + i * kStubBytes));
    }
    CountedThread = Injector->thread;
}

FaultInjector::~FaultInjector() {
    CountedThread = 0;
    for (std::size_t i = 0; i < Injector->imports.size(); ++i) {
        if (Injector->originals[i] != nullptr) {
            WriteSlot(Injector->imports[i].slot, Injector->originals[i]);
        }
        Pool.thunks[i].hook = nullptr;
        Pool.thunks[i].failAt = 0;
    }
    delete Injector;
    Injector = nullptr;
}

const std::vector<ImportSlot>& FaultInjector::imports() const { return Injector->imports; }

bool FaultInjector::FailCall(const std::string& function, int n) {
    ResetCounts();
    Thunk* thunk = FindThunk(function);
    if (thunk == nullptr || FindFailureMode(function) == nullptr) return false;
    thunk->failAt = n;
    return true;
}

void FaultInjector::ResetCounts() {
    for (std::size_t i = 0; i < Injector->imports.size(); ++i) {
        Pool.thunks[i].calls = 0;
        Pool.thunks[i].failAt = 0;
    }
    Injector->injected = false;
}

std::map<std::string, int> FaultInjector::Counts() const {
    std::map<std::string, int> counts;
    for (std::size_t i = 0; i < Injector->imports.size(); ++i) {
        if (Pool.thunks[i].calls > 0) counts[Injector->imports[i].function] += Pool.thunks[i].calls;
    }
    return counts;
}

bool FaultInjector::injected() const { return Injector->injected; }

void FaultInjector::OnCall(const std::string& function, void (*hook)(void*), void* context) {
    if (Thunk* thunk = FindThunk(function)) {
        thunk->hook = hook;
        thunk->hookContext = context;
    }
}

void FaultInjector::SetContext(const std::string& context) { Injector->context = context; }

// ---- What the module holds --------------------------------------------------------------------

namespace {

struct LedgerState {
    HGLOBAL(WINAPI* globalAlloc)(UINT, SIZE_T) = nullptr;
    HGLOBAL(WINAPI* globalFree)(HGLOBAL) = nullptr;
    HANDLE(WINAPI* setClipboardData)(UINT, HANDLE) = nullptr;
    LONG(WINAPI* regOpenKeyExA)(HKEY, LPCSTR, DWORD, REGSAM, PHKEY) = nullptr;
    LONG(WINAPI* regCloseKey)(HKEY) = nullptr;
    std::set<HGLOBAL> blocks;
    std::set<HKEY> keys;
};
LedgerState* Ledger = nullptr;

HGLOBAL WINAPI LedgerGlobalAlloc(UINT flags, SIZE_T size) {
    HGLOBAL block = Ledger->globalAlloc(flags, size);
    if (block != nullptr) Ledger->blocks.insert(block);
    return block;
}

HGLOBAL WINAPI LedgerGlobalFree(HGLOBAL block) {
    HGLOBAL result = Ledger->globalFree(block);
    if (result == nullptr) Ledger->blocks.erase(block);
    return result;
}

HANDLE WINAPI LedgerSetClipboardData(UINT format, HANDLE data) {
    HANDLE result = Ledger->setClipboardData(format, data);
    if (result != nullptr) Ledger->blocks.erase(static_cast<HGLOBAL>(data));  // the clipboard's
    return result;
}

LONG WINAPI LedgerRegOpenKeyExA(HKEY root, LPCSTR path, DWORD options, REGSAM access, PHKEY key) {
    const LONG result = Ledger->regOpenKeyExA(root, path, options, access, key);
    if (result == ERROR_SUCCESS && key != nullptr && *key != nullptr) Ledger->keys.insert(*key);
    return result;
}

LONG WINAPI LedgerRegCloseKey(HKEY key) {
    Ledger->keys.erase(key);
    return Ledger->regCloseKey(key);
}

}  // namespace

ResourceLedger::ResourceLedger(HMODULE module) {
    Ledger = new LedgerState();
    AddPatch(patches_, module, "kernel32.dll", "GlobalAlloc", &LedgerGlobalAlloc,
             &Ledger->globalAlloc);
    AddPatch(patches_, module, "kernel32.dll", "GlobalFree", &LedgerGlobalFree,
             &Ledger->globalFree);
    AddPatch(patches_, module, "user32.dll", "SetClipboardData", &LedgerSetClipboardData,
             &Ledger->setClipboardData);
    AddPatch(patches_, module, "advapi32.dll", "RegOpenKeyExA", &LedgerRegOpenKeyExA,
             &Ledger->regOpenKeyExA);
    AddPatch(patches_, module, "advapi32.dll", "RegCloseKey", &LedgerRegCloseKey,
             &Ledger->regCloseKey);
}

ResourceLedger::~ResourceLedger() {
    patches_.clear();
    delete Ledger;
    Ledger = nullptr;
}

bool ResourceLedger::active() const {
    return Ledger->globalAlloc && Ledger->globalFree && Ledger->setClipboardData &&
           Ledger->regOpenKeyExA && Ledger->regCloseKey;
}
int ResourceLedger::globalBlocks() const { return static_cast<int>(Ledger->blocks.size()); }
int ResourceLedger::registryKeys() const { return static_cast<int>(Ledger->keys.size()); }

namespace {

constexpr DWORD kGccThrow = 0x20474343;   // a C++ throw of the GCC runtime's SEH unwinder
constexpr DWORD kGccUnwind = 0x21474343;  // the same exception once a handler was found
constexpr int kMostPendingThrows = 16;

struct EscapeState {
    DWORD thread = 0;
    int count = 0;
    DWORD lastCode = 0;
    // The module's address range, and for each throw of the module still in flight the stack
    // address of the first frame outside the module above it: the callback boundary.
    std::uintptr_t moduleStart = 0;
    std::uintptr_t moduleEnd = 0;
    std::uintptr_t pending[kMostPendingThrows] = {};
    int pendingCount = 0;
#if defined(__x86_64__)
    VOID(WINAPI* rtlUnwindEx)
    (PVOID, PVOID, PEXCEPTION_RECORD, PVOID, PCONTEXT, PUNWIND_HISTORY_TABLE) = nullptr;
#endif
};
EscapeState Escapes;

bool MeansAFault(DWORD code) {
    switch (code) {
        case EXCEPTION_ACCESS_VIOLATION:
        case EXCEPTION_ILLEGAL_INSTRUCTION:
        case EXCEPTION_PRIV_INSTRUCTION:
        case EXCEPTION_INT_DIVIDE_BY_ZERO:
        case EXCEPTION_STACK_OVERFLOW:
        case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
        case 0xE06D7363u:  // a C++ exception of the Microsoft runtime
            return true;
    }
    return false;
}

#if defined(__x86_64__)
bool InModule(DWORD64 address) {
    return address >= Escapes.moduleStart && address < Escapes.moduleEnd;
}

// Walks the stack up from the raise: the stack pointer of the first frame outside the module
// above the module's own frames, or 0 when the module did not throw. A throw that never leaves
// the module on the way up has no boundary that a catch could lie beyond.
std::uintptr_t BoundaryOfThrow(const CONTEXT& raised) {
    CONTEXT context = raised;
    bool inside = false;
    for (int depth = 0; depth < 256 && context.Rip != 0; ++depth) {
        if (InModule(context.Rip)) {
            inside = true;
        } else if (inside) {
            return static_cast<std::uintptr_t>(context.Rsp);
        }
        DWORD64 imageBase = 0;
        PRUNTIME_FUNCTION entry = RtlLookupFunctionEntry(context.Rip, &imageBase, nullptr);
        if (entry == nullptr) {  // a leaf function: its return address is on top
            context.Rip = *reinterpret_cast<DWORD64*>(context.Rsp);
            context.Rsp += 8;
        } else {
            PVOID handlerData = nullptr;
            DWORD64 establisher = 0;
            RtlVirtualUnwind(UNW_FLAG_NHANDLER, imageBase, context.Rip, entry, &context,
                             &handlerData, &establisher, nullptr);
        }
    }
    return inside ? ~std::uintptr_t(0) : 0;
}

// The module's runtime calls this once it found the frame that catches a throw. A catching
// frame beyond the boundary means the exception crossed a frame that is not the module's (a
// host's or the system's), which in the 32-bit build, whose unwinder cannot cross such frames,
// ends the host.
VOID WINAPI JudgeUnwind(PVOID targetFrame, PVOID targetIp, PEXCEPTION_RECORD record,
                        PVOID returnValue, PCONTEXT context, PUNWIND_HISTORY_TABLE history) {
    const bool gcc = record != nullptr &&
                     (record->ExceptionCode == kGccThrow || record->ExceptionCode == kGccUnwind);
    if (gcc && GetCurrentThreadId() == Escapes.thread && Escapes.pendingCount > 0) {
        const std::uintptr_t boundary = Escapes.pending[--Escapes.pendingCount];
        if (reinterpret_cast<std::uintptr_t>(targetFrame) >= boundary) {
            ++Escapes.count;
            Escapes.lastCode = kGccThrow;
        }
    }
    Escapes.rtlUnwindEx(targetFrame, targetIp, record, returnValue, context, history);
}
#endif

LONG CALLBACK CountEscape(EXCEPTION_POINTERS* info) {
    const DWORD code = info->ExceptionRecord->ExceptionCode;
    if (GetCurrentThreadId() != Escapes.thread) return EXCEPTION_CONTINUE_SEARCH;
    if (MeansAFault(code)) {
        ++Escapes.count;
        Escapes.lastCode = code;
    }
#if defined(__x86_64__)
    // The handler sees every throw first, also those the module catches itself; whether it
    // escapes is judged when the catching frame is known (JudgeUnwind).
    if (code == kGccThrow) {
        const std::uintptr_t boundary = BoundaryOfThrow(*info->ContextRecord);
        // A module without the system's unwinder cannot catch: every throw of its escapes.
        if (boundary != 0 && Escapes.rtlUnwindEx == nullptr) {
            ++Escapes.count;
            Escapes.lastCode = kGccThrow;
        } else if (boundary != 0 && Escapes.pendingCount < kMostPendingThrows) {
            Escapes.pending[Escapes.pendingCount++] = boundary;
        }
    }
#endif
    return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

ExceptionCounter::ExceptionCounter(HMODULE module) {
    Escapes = EscapeState{};
    Escapes.thread = GetCurrentThreadId();
    MODULEINFO range = {};
    if (GetModuleInformation(GetCurrentProcess(), module, &range, sizeof(range))) {
        Escapes.moduleStart = reinterpret_cast<std::uintptr_t>(range.lpBaseOfDll);
        Escapes.moduleEnd = Escapes.moduleStart + range.SizeOfImage;
    }
#if defined(__x86_64__)
    AddPatch(patches_, module, "kernel32.dll", "RtlUnwindEx", &JudgeUnwind, &Escapes.rtlUnwindEx);
#endif
    handler_ = AddVectoredExceptionHandler(1, &CountEscape);
}

ExceptionCounter::~ExceptionCounter() {
    if (handler_ != nullptr) RemoveVectoredExceptionHandler(handler_);
    patches_.clear();
    Escapes.thread = 0;
}

bool ExceptionCounter::active() const { return handler_ != nullptr && Escapes.moduleEnd != 0; }
// A throw of the module that no frame of the module caught went elsewhere: it escaped.
int ExceptionCounter::count() const { return Escapes.count + Escapes.pendingCount; }
DWORD ExceptionCounter::lastCode() const {
    return Escapes.pendingCount > 0 ? kGccThrow : Escapes.lastCode;
}

namespace {

BOOL CALLBACK CountWindow(HWND, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

}  // namespace

int ThreadWindowCount() {
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), &CountWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}

ProcessFigures TakeProcessFigures() {
    ProcessFigures figures;
    figures.handles = CountOpenHandles();
    figures.gdiObjects = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    figures.userObjects = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof(memory);
    if (GetProcessMemoryInfo(GetCurrentProcess(),
                             reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof(memory))) {
        // Wine leaves PrivateUsage at 0; the commit charge is the same figure there.
        figures.privateBytes =
            memory.PrivateUsage != 0 ? memory.PrivateUsage : memory.PagefileUsage;
    }
    return figures;
}

// ---- Roads through the stand-in host ---------------------------------------------------------

const wchar_t kRoadMail[] = L"件名のない行\r\n\\\\fs01\\share\\reports\r\n最後の行";
const wchar_t kRoadPathLine[] = L"\\\\fs01\\share\\reports\r\n";
const wchar_t kRoadLaunchFile[] = L"cmd.exe";
const wchar_t kRoadLaunchParameters[] = L"/c start \\\\fs01\\share\\reports\\";

const char* RoadName(OpenRoad road) {
    switch (road) {
        case OpenRoad::kTripleClick:
            return "triple click";
        case OpenRoad::kShiftO:
            return "Shift+O";
        case OpenRoad::kContextMenu:
            return "context menu and pick";
    }
    return "?";
}

namespace {

constexpr UINT kTripleClickMessage = 0xD1CA;

LPARAM CharacterPoint(HWND edit, int character) {
    const LRESULT position = SendMessageW(edit, EM_POSFROMCHAR, character, 0);
    return MAKELPARAM(LOWORD(position) + 3, HIWORD(position) + 4);
}

RoadResult TripleClick(HWND view, int start) {
    const LPARAM point = CharacterPoint(view, start);
    SendMessageW(view, WM_LBUTTONDOWN, MK_LBUTTON, point);
    SendMessageW(view, WM_LBUTTONUP, 0, point);
    SendMessageW(view, WM_LBUTTONDBLCLK, MK_LBUTTON, point);
    SendMessageW(view, WM_LBUTTONUP, 0, point);
    SendMessageW(view, WM_LBUTTONDOWN, MK_LBUTTON, point);
    SendMessageW(view, WM_LBUTTONUP, 0, point);
    RoadResult result;
    MSG message;
    while (PeekMessageW(&message, view, kTripleClickMessage, kTripleClickMessage, PM_REMOVE)) {
        result.reached = true;
        result.value = DispatchMessageW(&message);
    }
    return result;
}

RoadResult ShiftO(HWND view) {
    RoadResult result;
    result.reached = true;
    result.value = SendShiftO(view);
    return result;
}

// As the host does: its own items first, the plug-in's callback, then the pick.
RoadResult ContextMenuAndPick(HWND view) {
    const std::size_t before = standin::State().commands.size();
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, 102, L"コピー(&C)");
    AppendMenuW(menu, MF_STRING, 103, L"すべて選択(&A)");
    RoadResult result;
    result.value = standin::Plugin().OnMenuInit(view, menu, standin::kMenuKindMessageView);
    const auto& commands = standin::State().commands;
    for (std::size_t i = before; i < commands.size(); ++i) {
        if (GetMenuItemID(menu, 0) != static_cast<UINT>(commands[i].id)) continue;
        result.reached = true;
        result.value = commands[i].callback(view, 0);
    }
    DestroyMenu(menu);
    return result;
}

}  // namespace

RoadResult RunOpenRoad(OpenRoad road, int start, int end) {
    HWND view = standin::MessageView();
    SendMessageW(view, EM_SETSEL, start, end);
    switch (road) {
        case OpenRoad::kTripleClick:
            return TripleClick(view, start);
        case OpenRoad::kShiftO:
            return ShiftO(view);
        case OpenRoad::kContextMenu:
            return ContextMenuAndPick(view);
    }
    return {};
}

LRESULT HostAnswer(OpenRoad road) {
    if (road != OpenRoad::kShiftO) return 0;
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
    return SendMessageW(standin::MessageView(), WM_KEYDOWN, 'O', 1);
}

namespace {

BOOL CALLBACK CollectProgressWindow(HWND window, LPARAM found) {
    char className[16] = {};
    GetClassNameA(window, className, sizeof(className));
    if (lstrcmpA(className, "#32770") == 0 && GetDlgItem(window, 1014) != nullptr) {
        reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
    }
    return TRUE;
}

std::vector<HWND> ProgressWindows() {
    std::vector<HWND> found;
    EnumThreadWindows(GetCurrentThreadId(), &CollectProgressWindow,
                      reinterpret_cast<LPARAM>(&found));
    return found;
}

}  // namespace

void DismissProgressWindows(HWND activate) {
    if (ProgressWindows().empty()) return;
    SetActiveWindow(activate);
    for (int attempt = 0; attempt < 3; ++attempt) {
        const std::vector<HWND> left = ProgressWindows();
        if (left.empty()) return;
        for (HWND window : left) SendMessageW(window, WM_CLOSE, 0, 0);
    }
}

bool ClipboardIsFree(HWND other) {
    if (GetOpenClipboardWindow() != nullptr) return false;
    if (!OpenClipboardRetrying(other)) return false;
    CloseClipboard();
    return true;
}

namespace {

// The three text formats, and CF_LOCALE, which the system adds to text of its own accord.
bool IsTextFormat(UINT id) {
    return id == CF_TEXT || id == CF_OEMTEXT || id == CF_UNICODETEXT || id == CF_LOCALE;
}

}  // namespace

std::string ClipboardLoss(const ClipboardSnapshot& before, const ClipboardSnapshot& after,
                          const ClipboardAllowance& allowed) {
    std::string problem;
    int lost = 0;
    for (const FormatRecord& saved : before) {
        const FormatRecord* now = FindFormat(after, saved.id);
        if (!IsTextFormat(saved.id) && allowed.others == ClipboardAllowance::Others::kGone) {
            if (now != nullptr) {
                problem += "format " + std::to_string(saved.id) + " survived a text-only capture; ";
            }
            continue;
        }
        if (!IsTextFormat(saved.id) && allowed.others == ClipboardAllowance::Others::kEither &&
            now == nullptr) {
            continue;
        }
        const std::string difference = now == nullptr ? "missing" : Difference(saved, *now);
        if (difference.empty()) continue;
        if (++lost > allowed.lostFormats) {
            problem += "format " + std::to_string(saved.id) + ": " + difference + "; ";
        }
    }
    for (const FormatRecord& record : after) {
        if (FindFormat(before, record.id) == nullptr) {
            problem += "format " + std::to_string(record.id) + " is new; ";
        }
    }
    return problem;
}

DWORD CountOpenHandles() {
    DWORD count = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &count) && count > 0) return count;
    // Handle values are multiples of 4 from 4 on, and a process's stay low.
    for (ULONG_PTR value = 4; value < 0x10000; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
    }
    return count;
}

}  // namespace rig

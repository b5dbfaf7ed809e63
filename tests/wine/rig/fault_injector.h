// Faults at the platform boundary: every function that a loaded module imports is routed
// through a small thunk that counts its calls on the test's thread and, when armed, makes the
// n-th call of one function fail the way the platform documents, without calling it. Also a
// ledger of the global blocks and registry keys the module holds, and the roads through the
// stand-in host that the fault, bad-input and soak tests drive.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "rig/clipboard_rig.h"
#include "rig/import_patch.h"

namespace rig {

// ---- What can fail, and how ---------------------------------------------------------------

inline constexpr DWORD kKeepLastError = 0xFFFFFFFF;

// How a call of one imported function fails: the result the platform documents for a
// failure, the last error it leaves, and how many bytes of arguments a standard-call callee
// removes from the stack (0 for the C runtime's cdecl functions).
struct FailureMode {
    const char* function;
    DWORD argumentBytes;
    DWORD failValue;
    DWORD lastError;  // kKeepLastError: the platform reports no last error for it
};

// A function that is counted but never made to fail, and why.
struct Exemption {
    const char* function;
    const char* reason;
};

// Null when the function has no failure mode (then it may have an exemption).
const FailureMode* FindFailureMode(const std::string& function);
const Exemption* FindExemption(const std::string& function);

// ---- The injector ---------------------------------------------------------------------------

// Puts a thunk into every import slot of module (all DLLs, all names) for its lifetime. Calls
// are counted only on the thread that made the injector; other threads pass untouched. One
// injector at a time; it must go before the module is unloaded.
class FaultInjector {
public:
    explicit FaultInjector(HMODULE module);
    ~FaultInjector();
    FaultInjector(const FaultInjector&) = delete;
    FaultInjector& operator=(const FaultInjector&) = delete;

    const std::vector<ImportSlot>& imports() const;
    // The n-th call of function from now on (counting from 1) fails; false when the function
    // is not imported or has no failure mode. Resets the counts.
    bool FailCall(const std::string& function, int n);
    void ResetCounts();
    // Calls since the last reset, by function name; only functions that were called.
    std::map<std::string, int> Counts() const;
    bool injected() const;  // the armed failure has happened
    // Runs hook before every counted call of function.
    void OnCall(const std::string& function, void (*hook)(void*), void* context);
    // Written to stderr with the name when the module calls a function that ends the process.
    void SetContext(const std::string& context);
};

// ---- What the module holds --------------------------------------------------------------------

// Global blocks the module allocated and neither freed nor handed to the clipboard, and the
// registry keys it opened and has not closed. One ledger at a time.
class ResourceLedger {
public:
    explicit ResourceLedger(HMODULE module);
    ~ResourceLedger();
    ResourceLedger(const ResourceLedger&) = delete;
    ResourceLedger& operator=(const ResourceLedger&) = delete;
    bool active() const;
    int globalBlocks() const;
    int registryKeys() const;

private:
    PatchList patches_;
};

// Counts, on the constructing thread while it lives, the exceptions that mean a fault: access
// violations and the like, and C++ exceptions that leave module. In the 32-bit build a C++
// exception that reaches a frame not its own ends the process (its unwinder cannot cross it),
// which the injector reports. In the 64-bit build every throw is raised through the system and
// seen here first, also those the module catches itself; a throw counts only when the frame
// that catches it lies beyond the first frame outside the module above the throw, or when no
// frame of the module catches it.
class ExceptionCounter {
public:
    explicit ExceptionCounter(HMODULE module);
    ~ExceptionCounter();
    ExceptionCounter(const ExceptionCounter&) = delete;
    ExceptionCounter& operator=(const ExceptionCounter&) = delete;
    bool active() const;
    int count() const;
    DWORD lastCode() const;

private:
    void* handler_ = nullptr;
    PatchList patches_;
};

// Top-level windows of the calling thread (the progress window is one).
int ThreadWindowCount();
// The process's open kernel handles, its GDI and user objects as the system reports them
// (Wine reports 0 for both) and its private bytes.
struct ProcessFigures {
    DWORD handles = 0;
    DWORD gdiObjects = 0;
    DWORD userObjects = 0;
    SIZE_T privateBytes = 0;
};
ProcessFigures TakeProcessFigures();
// The process's open kernel handles, counted one by one where the system keeps no count.
DWORD CountOpenHandles();

// ---- Roads through the stand-in host ---------------------------------------------------------

// The host's message-view text of the roads, and what opening it launches.
extern const wchar_t kRoadMail[];
extern const wchar_t kRoadPathLine[];  // the line the open roads select
extern const wchar_t kRoadLaunchFile[];
extern const wchar_t kRoadLaunchParameters[];

enum class OpenRoad { kTripleClick, kShiftO, kContextMenu };
const char* RoadName(OpenRoad road);

// The result of a gesture or command as the host sees it.
struct RoadResult {
    bool reached = false;  // the plug-in acted (for the triple click: its message was posted)
    LRESULT value = 0;     // the window procedure's or the command's result
};

// Selects [start, end) of the message view and runs the road on it. The triple click clicks
// on the line that holds start and lets the host select it; the context menu prepares the
// message view's menu and, when the plug-in put its item at the top, picks it.
RoadResult RunOpenRoad(OpenRoad road, int start, int end);

// What the host's own procedure answers to the road's message, which the plug-in passes on:
// the key press of Shift+O asked without Shift, 0 for the triple click's private message and
// for the commands.
LRESULT HostAnswer(OpenRoad road);

// Closes the progress windows of this thread the way a launched program does, by taking the
// activation; a window that stays is asked to close.
void DismissProgressWindows(HWND activate);

// The clipboard is closed: nobody has it open and another window can open it.
bool ClipboardIsFree(HWND other);

// What the user's clipboard may lose in a capture.
struct ClipboardAllowance {
    // Formats other than CF_TEXT, CF_OEMTEXT and CF_UNICODETEXT: kKept come back as they were,
    // kGone must be gone (a capture kept text only), kEither may be either (the mode itself
    // could not be read).
    enum class Others { kKept, kGone, kEither };
    Others others = Others::kKept;
    int lostFormats = 0;  // formats that may be missing or come back without their data
    std::string name;     // the documented loss, for the message
};
// Empty when after holds what before held, within the allowance; otherwise what differs.
std::string ClipboardLoss(const ClipboardSnapshot& before, const ClipboardSnapshot& after,
                          const ClipboardAllowance& allowed);

}  // namespace rig

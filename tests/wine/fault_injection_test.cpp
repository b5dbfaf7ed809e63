// Every imported call that can fail, failed one at a time at every call index of each road
// through the stand-in host (triple click, Shift+O, context menu and pick, setup dialog,
// start). After each run the host must still answer, the clipboard must be closed and hold
// what the user had (or exactly the loss that goes with the failure), nothing may be leaked,
// the cursor must be the arrow, the result the one the host expects, nothing launched but
// the selected path, and no exception may have left the plug-in.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "rig/clipboard_rig.h"
#include "rig/dialogs.h"
#include "rig/fault_injector.h"
#include "rig/rig.h"
#include "standin/host_state.h"
#include "standin/standin_host.h"

namespace {

using Counts = std::map<std::string, int>;

// ---- What a failure may cost the user's clipboard -----------------------------------------

const char kPreserveUnreadable[] =
    "TrivanePreserve cannot be read, so it counts as 0: only the text formats are kept";
const char kFormatNotSaved[] =
    "a format whose handle or copy cannot be had at the backup is left out or comes back "
    "without its data";
const char kFormatNotPutBack[] = "a format that cannot be put back at the restore is missing";

using Others = rig::ClipboardAllowance::Others;

rig::ClipboardAllowance AllowanceFor(const std::string& function) {
    static const std::map<std::string, rig::ClipboardAllowance> allowances = {
        {"RegOpenKeyExA", {Others::kEither, 0, kPreserveUnreadable}},
        {"RegQueryValueExW", {Others::kEither, 0, kPreserveUnreadable}},
        {"GetClipboardData", {Others::kKept, 1, kFormatNotSaved}},
        {"GlobalSize", {Others::kKept, 1, kFormatNotSaved}},
        {"CopyImage", {Others::kKept, 1, kFormatNotSaved}},
        {"CopyEnhMetaFileA", {Others::kKept, 1, kFormatNotSaved}},
        {"CopyMetaFileA", {Others::kKept, 1, kFormatNotSaved}},
        {"GlobalLock", {Others::kKept, 1, kFormatNotSaved + std::string("; ") + kFormatNotPutBack}},
        {"GlobalAlloc", {Others::kKept, 1, kFormatNotPutBack}},
        {"SetClipboardData", {Others::kKept, 1, kFormatNotPutBack}},
    };
    auto found = allowances.find(function);
    return found == allowances.end() ? rig::ClipboardAllowance() : found->second;
}

void PlaceUserClipboard(rig::ClipboardSource& source) {
    const unsigned char privateBytes[] = {7, 1, 7, 3, 0, 9, 9, 2};
    source.Place({{CF_UNICODETEXT, rig::GlobalText(L"利用者のクリップボード")},
                  {RegisterClipboardFormatA("CvTrivane.Fault.Private"),
                   rig::GlobalFromBytes(privateBytes, sizeof(privateBytes))},
                  {CF_BITMAP, rig::MakeBitmap(16, 8, 5)}});
}

// ---- The roads ------------------------------------------------------------------------------

enum class RoadKind { kOpen, kSetupDialog, kStart };

struct Road {
    const char* name;
    RoadKind kind;
    // For the open roads: the gesture, TrivanePreserve and TrivaneConfirm.
    rig::OpenRoad open = rig::OpenRoad::kShiftO;
    std::uint32_t preserve = 0;
    std::uint32_t confirm = 0;
    standin::TextClass view = standin::TextClass::Host;
};

// Between them the open roads meet both clipboard modes and the confirmation dialog.
const Road kRoads[] = {
    {"TripleClick", RoadKind::kOpen, rig::OpenRoad::kTripleClick, 0, 0},
    {"ShiftO", RoadKind::kOpen, rig::OpenRoad::kShiftO, 1, 1},
    {"ContextMenuAndPick", RoadKind::kOpen, rig::OpenRoad::kContextMenu, 1, 0},
    // A standard edit control says its selection itself, and the clipboard stays as it was.
    {"ShiftOInAnEditControl", RoadKind::kOpen, rig::OpenRoad::kShiftO, 0, 0,
     standin::TextClass::Edit},
    {"SetupDialog", RoadKind::kSetupDialog},
    {"Start", RoadKind::kStart},
};

// The path line of the roads' mail: [8, 30) with its line break.
constexpr int kPathStart = 8;
constexpr int kPathEnd = 30;

// What the module still holds after the run without a failure: the first capture of a load
// makes the backup's list, and the first settings operation the ANSI key path.
struct Baseline {
    long heapBlocks = 0;
    long long heapBytes = 0;
};

struct RunReport {
    Counts counts;
    bool injected = false;
    Baseline kept;  // the module's heap blocks still live after CVC_OnExit
    std::vector<std::string> problems;
    void Check(bool ok, const std::string& what) {
        if (!ok) problems.push_back(what);
    }
};

// The module's own accounting, installed under the injector for one run.
struct Watches {
    explicit Watches(HMODULE module) : heap(module), gdi(module), ledger(module) {}
    bool active() const { return heap.active() && gdi.active() && ledger.active(); }
    rig::HeapWatch heap;
    rig::GdiWatch gdi;
    rig::ResourceLedger ledger;
};

// The failure point of one run; an empty function only counts.
struct FailurePoint {
    std::string function;
    int call = 0;
    std::string Describe() const {
        return function.empty() ? std::string("no failure")
                                : function + " call " + std::to_string(call);
    }
};

// The C++ runtime sorts the module's unwind tables and makes this thread's exception state at
// the first throw, and keeps both for the module's life; a refused allocation throws inside
// the runtime even for a non-throwing new. So the module throws once before anything is
// measured: a composing window whose editor cannot be recorded for want of memory.
void PrimeExceptionRuntime(HMODULE module, int(WINAPI* onOpenCompose)(HWND, LPARAM)) {
    HWND compose = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                   nullptr, nullptr);
    CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 5, 5, compose,
                    reinterpret_cast<HMENU>(standin::kComposingEditorId), nullptr, nullptr);
    {
        rig::FaultInjector injector(module);
        injector.FailCall("malloc", 1);
        onOpenCompose(compose, 0);
    }
    DestroyWindow(compose);
}

// Runs body under the injector (and the module's accounting below it), then checks what the
// module holds once CVC_OnExit has released the last capture.
void RunInjected(HMODULE module, const FailurePoint& point, const Baseline& allowed,
                 const std::function<void()>& body, int(WINAPI* onExit)(), RunReport* report) {
    Watches watches(module);
    report->Check(watches.active(), "the accounting patches did not all find their imports");
    const DWORD gdiBefore = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    const DWORD userBefore = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    {
        rig::ExceptionCounter exceptions(module);
        report->Check(exceptions.active(), "the exception counter is not in place");
        rig::FaultInjector injector(module);
        injector.SetContext(point.Describe());
        if (!point.function.empty()) {
            report->Check(injector.FailCall(point.function, point.call),
                          point.function + " cannot be made to fail");
        }
        body();
        report->counts = injector.Counts();
        report->injected = injector.injected();
        report->Check(point.function.empty() || report->injected,
                      "the road made fewer calls than when it was counted");
        report->Check(exceptions.count() == 0, "an exception was raised in the plug-in (code " +
                                                   std::to_string(exceptions.lastCode()) + ")");
    }
    onExit();
    // Where the system keeps these counts (Wine reports 0).
    report->Check(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS) <= gdiBefore &&
                      GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS) <= userBefore,
                  "the system counts more GDI or user objects");
    report->kept = {watches.heap.liveBlocks(), watches.heap.liveBytes()};
    report->Check(report->kept.heapBlocks <= allowed.heapBlocks &&
                      report->kept.heapBytes <= allowed.heapBytes,
                  "heap blocks leaked: " + std::to_string(report->kept.heapBlocks) + " live, " +
                      std::to_string(report->kept.heapBytes) + " bytes");
    report->Check(watches.gdi.stillOwned() == 0,
                  std::to_string(watches.gdi.stillOwned()) + " GDI copies leaked");
    report->Check(watches.ledger.globalBlocks() == 0,
                  std::to_string(watches.ledger.globalBlocks()) + " global blocks leaked");
    report->Check(watches.ledger.registryKeys() == 0,
                  std::to_string(watches.ledger.registryKeys()) + " registry keys left open");
}

// The mail of the roads has three lines; a view whose messages do not reach the host's
// procedure answers 0.
void CheckHostAnswers(HWND main, HWND view, RunReport* report) {
    report->Check(IsWindow(main) && SendMessageW(main, WM_GETTEXTLENGTH, 0, 0) > 0,
                  "the host's main window does not answer");
    report->Check(SendMessageW(view, EM_GETLINECOUNT, 0, 0) == 3,
                  "the message view does not answer through its window procedure");
}

void ResetSettings(std::uint32_t confirm, std::uint32_t preserve) {
    rig::DeleteSettingsKey();
    rig::CreateSettingsKey();
    rig::WriteDword(L"TrivaneConfirm", confirm);
    rig::WriteDword(L"TrivaneTripleClick", 1);
    rig::WriteDword(L"TrivaneFile", 1);
    rig::WriteDword(L"TrivanePreserve", preserve);
}

// Answers a modal dialog of the plug-in as a person would, pressing again when it stays.
void PressUntilGone(HWND dialog, int button) {
    for (int attempt = 0; attempt < 5 && IsWindow(dialog); ++attempt) {
        rig::Click(dialog, button);
        rig::WaitGone(dialog, 300);
    }
}

RunReport RunOpenRoadOnce(const Road& road, const FailurePoint& point, const Baseline& allowed) {
    RunReport report;
    ResetSettings(road.confirm, road.preserve);
    rig::HostSession session(rig::kRoadMail, road.view);
    if (!session.ok()) {
        report.problems.push_back("the host could not load the plug-in");
        return report;
    }
    ShowWindow(session.main(), SW_SHOW);
    rig::PluginObserver& observer = session.Observe();
    PrimeExceptionRuntime(session.module(), standin::Plugin().OnOpenCompose);
    rig::ClipboardSource source;
    PlaceUserClipboard(source);
    if (road.view != standin::TextClass::Host) {
        // The backup's list, which the first capture through the clipboard makes and the load
        // keeps, is made here too: a failure on the road may send it through the clipboard.
        HMENU menu = CreatePopupMenu();
        standin::Plugin().OnMenuInit(session.main(), menu, standin::kMenuKindMessageView);
        DestroyMenu(menu);
    }
    const rig::ClipboardSnapshot before = rig::TakeSnapshot(source.window());
    observer.Clear();
    const int windows = rig::ThreadWindowCount();
    const LRESULT hostAnswer = rig::HostAnswer(road.open);
    HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
    SetCursor(LoadCursorW(nullptr, IDC_IBEAM));
    rig::RoadResult result;
    HCURSOR cursor = nullptr;
    // Made before the accounting, so that its thread's start and end are not counted.
    rig::DialogWatcher answers([](HWND dialog) {
        if (rig::ClassifyDialog(dialog) == rig::DialogKind::kConfirm) PressUntilGone(dialog, IDYES);
    });
    RunInjected(
        session.module(), point, allowed,
        [&] {
            result = rig::RunOpenRoad(road.open, kPathStart, kPathEnd);
            cursor = GetCursor();
            rig::DismissProgressWindows(session.main());
            CheckHostAnswers(session.main(), session.view(), &report);
        },
        standin::Plugin().OnExit, &report);
    const bool captured = report.counts.count("SetCursor") > 0;
    report.Check(!captured || cursor == arrow, "the cursor is not the arrow after the capture");
    // A Shift+O that asked, showed the progress window or opened was the plug-in's, and the
    // key did not reach the host.
    const bool acted = report.counts.count("DialogBoxParamA") +
                           report.counts.count("CreateDialogParamA") +
                           report.counts.count("ShellExecuteExW") >
                       0;
    const LRESULT expected = road.open == rig::OpenRoad::kShiftO && acted ? 0 : hostAnswer;
    report.Check(result.value == expected, "the host got " + std::to_string(result.value) +
                                               " instead of " + std::to_string(expected));
    report.Check(rig::ClipboardIsFree(source.window()), "the clipboard is left open");
    rig::ClipboardAllowance allowedLoss = AllowanceFor(point.function);
    // A text-only capture drops the other formats once its backup has emptied the clipboard;
    // a backup that failed leaves every format as it was.
    const bool emptied = report.counts.count("EmptyClipboard") > 0;
    const Others textOnly = emptied ? Others::kGone : Others::kKept;
    if (road.preserve == 0) allowedLoss.others = textOnly;
    if (!report.injected) allowedLoss = {road.preserve == 0 ? textOnly : Others::kKept, 0, ""};
    const std::string lost =
        rig::ClipboardLoss(before, rig::TakeSnapshot(source.window()), allowedLoss);
    report.Check(lost.empty(),
                 "the user's clipboard changed: " + lost +
                     (allowedLoss.name.empty() ? "" : " (allowed: " + allowedLoss.name + ")"));
    report.Check(rig::ThreadWindowCount() == windows, "a window was left behind");
    const auto& launches = observer.log().launches;
    report.Check(launches.size() <= 1, std::to_string(launches.size()) + " launches");
    for (const rig::ShellLaunch& launch : launches) {
        report.Check(launch.file == rig::ProgramPath(rig::kRoadLaunchFile) &&
                         launch.parameters == rig::kRoadLaunchParameters,
                     "launched something other than the selected path");
    }
    // The open goes on when the question cannot be asked.
    const bool mustOpen =
        point.function.empty() || (point.function == "DialogBoxParamA" && report.injected);
    report.Check(!mustOpen || launches.size() == 1, "the path was not opened");
    report.Check(observer.log().messageBoxes.empty(), "a message box was shown");
    return report;
}

const wchar_t* const kSetupValues[] = {L"TrivaneConfirm", L"TrivaneTripleClick", L"TrivaneFile",
                                       L"TrivanePreserve"};
const int kSetupBoxes[] = {1017, 1018, 1022, 1020};

std::uint32_t Stored(const wchar_t* name, bool* present = nullptr) {
    DWORD type = 0, size = 0;
    std::uint32_t value = 0;
    const bool found = rig::ReadValue(name, &type, &size, &value);
    if (present != nullptr) *present = found;
    return found ? value : 0xFFFFFFFFu;
}

RunReport RunSetupOnce(const FailurePoint& point, const Baseline& allowed) {
    RunReport report;
    rig::DeleteSettingsKey();
    rig::CreateSettingsKey();
    // A stored 2 shows its box cleared, so OK turns it into 0.
    const std::uint32_t stored[] = {1, 0, 1, 2};
    for (int i = 0; i < 4; ++i) rig::WriteDword(kSetupValues[i], stored[i]);
    rig::HostSession session(rig::kRoadMail);
    if (!session.ok()) {
        report.problems.push_back("the host could not load the plug-in");
        return report;
    }
    rig::PluginObserver& observer = session.Observe();
    PrimeExceptionRuntime(session.module(), standin::Plugin().OnOpenCompose);
    observer.Clear();
    const int windows = rig::ThreadWindowCount();
    int result = 0;
    bool seen = false;
    std::uint32_t shown[4] = {};
    rig::DialogWatcher answers([&](HWND dialog) {
        if (rig::ClassifyDialog(dialog) != rig::DialogKind::kSetup) return;
        for (int i = 0; i < 4; ++i) {
            shown[i] = IsDlgButtonChecked(dialog, kSetupBoxes[i]) == BST_CHECKED ? 1 : 0;
        }
        seen = true;
        PressUntilGone(dialog, IDOK);
    });
    RunInjected(
        session.module(), point, allowed,
        [&] {
            result = standin::Plugin().OnPlugInSetup(session.main());
            CheckHostAnswers(session.main(), session.view(), &report);
        },
        standin::Plugin().OnExit, &report);
    report.Check(result == 1, "CVC_OnPlugInSetup returned " + std::to_string(result));
    for (int i = 0; i < 4; ++i) {
        const std::uint32_t now = Stored(kSetupValues[i]);
        // OK writes what the boxes show; a write that fails leaves the old value.
        const bool written = seen && now == shown[i];
        const bool untouched = now == stored[i] && (!seen || report.injected);
        report.Check(written || untouched, "a setting holds " + std::to_string(now));
    }
    report.Check(rig::ThreadWindowCount() == windows, "a window was left behind");
    report.Check(observer.log().launches.empty(), "something was launched");
    return report;
}

RunReport RunStartOnce(const FailurePoint& point, const Baseline& allowed) {
    RunReport report;
    rig::DeleteSettingsKey();
    rig::CreateSettingsKey();
    rig::WriteDword(L"TrivaneFile", 0);  // stored already: its default must not replace it
    standin::SetQuitOnDestroy(false);
    HWND main = standin::CreateHostWindows(GetModuleHandleW(nullptr), rig::kRoadMail);
    HWND view = standin::MessageView();
    // Loaded as the host loads it; the callbacks are called below as the host calls them.
    rig::LoadedPlugin plugin;
    if (main == nullptr || !plugin) {
        report.problems.push_back("the host or the plug-in could not be loaded");
        if (main != nullptr) DestroyWindow(main);
        return report;
    }
    auto onStart = plugin.Get<int(WINAPI*)()>("CVC_OnStart");
    auto onMenuInit = plugin.Get<int(WINAPI*)(HWND, HMENU, int)>("CVC_OnMenuInit");
    auto onExit = plugin.Get<int(WINAPI*)()>("CVC_OnExit");
    PrimeExceptionRuntime(plugin.module(),
                          plugin.Get<int(WINAPI*)(HWND, LPARAM)>("CVC_OnOpenCompose"));
    HMENU tools = GetSubMenu(GetMenu(main), 4);
    const int toolItems = GetMenuItemCount(tools);
    rig::ClipboardSource source;
    PlaceUserClipboard(source);
    const int windows = rig::ThreadWindowCount();
    int started = -1, menu = -1;
    const rig::ClipboardSnapshot before = rig::TakeSnapshot(source.window());
    RunInjected(
        plugin.module(), point, allowed,
        [&] {
            started = onStart();
            menu = onMenuInit(main, GetMenu(main), standin::kMenuKindBar);
            CheckHostAnswers(main, view, &report);
        },
        onExit, &report);
    report.Check(started == 0, "CVC_OnStart returned " + std::to_string(started));
    report.Check(menu == 0, "CVC_OnMenuInit returned " + std::to_string(menu));
    const int added = GetMenuItemCount(tools) - toolItems;
    report.Check(added == 2 || (report.injected && added >= 0 && added < 2),
                 std::to_string(added) + " items added to the tools menu");
    // Missing values get their defaults; a failed query counts as missing, so the stored 0
    // may become the default then.
    struct Expected {
        const wchar_t* name;
        bool storedBefore;
        std::uint32_t value;
    } const expected[] = {{L"TrivaneConfirm", false, 1},
                          {L"TrivaneTripleClick", false, 1},
                          {L"TrivaneFile", true, 0},
                          {L"TrivanePreserve", false, 0}};
    for (const Expected& e : expected) {
        bool present = false;
        const std::uint32_t now = Stored(e.name, &present);
        // A failed query counts as a missing value, which then gets its default (1).
        const bool queryFailed = report.injected && point.function == "RegQueryValueExW";
        const bool ok = (present && now == e.value) || (present && queryFailed && now == 1) ||
                        (!present && !e.storedBefore && report.injected);
        report.Check(ok, "a setting holds " + (present ? std::to_string(now) : "nothing"));
    }
    report.Check(rig::ClipboardIsFree(source.window()), "the clipboard is left open");
    const std::string lost = rig::ClipboardLoss(before, rig::TakeSnapshot(source.window()), {});
    report.Check(lost.empty(), "the user's clipboard changed: " + lost);
    report.Check(rig::ThreadWindowCount() == windows, "a window was left behind");
    DestroyWindow(main);
    return report;
}

RunReport RunRoad(const Road& road, const FailurePoint& point, const Baseline& allowed) {
    switch (road.kind) {
        case RoadKind::kOpen:
            return RunOpenRoadOnce(road, point, allowed);
        case RoadKind::kSetupDialog:
            return RunSetupOnce(point, allowed);
        case RoadKind::kStart:
            return RunStartOnce(point, allowed);
    }
    return {};
}

// ---- The table --------------------------------------------------------------------------------

struct TableRow {
    std::string road;
    int functions = 0;
    int failable = 0;
    int points = 0;
    int failures = 0;
    std::string failedFunctions;
};
std::vector<TableRow>& Table() {
    static std::vector<TableRow> rows;
    return rows;
}
std::map<std::string, std::string>& SkippedFunctions() {
    static std::map<std::string, std::string> skipped;
    return skipped;
}

class FaultInjection : public testing::TestWithParam<Road> {
public:
    static void TearDownTestSuite() {
        std::printf("\n%-20s %8s %9s %7s %9s  %s\n", "road", "imports", "failable", "points",
                    "failures", "failing functions");
        for (const TableRow& row : Table()) {
            std::printf("%-20s %8d %9d %7d %9d  %s\n", row.road.c_str(), row.functions,
                        row.failable, row.points, row.failures, row.failedFunctions.c_str());
        }
        std::printf("\ncalled but never failed:\n");
        for (const auto& entry : SkippedFunctions()) {
            std::printf("  %-22s %s\n", entry.first.c_str(), entry.second.c_str());
        }
        Table().clear();
        SkippedFunctions().clear();
    }

protected:
    void SetUp() override {
        // The pointer rests outside every window, so nothing resets the cursor behind the test.
        SetCursorPos(1270, 890);
    }
    void TearDown() override { rig::DeleteSettingsKey(); }
};

TEST_P(FaultInjection, EveryFailingCallKeepsTheInvariants) {
    const Road& road = GetParam();
    const RunReport counted = RunRoad(road, FailurePoint(), Baseline{1 << 20, 1 << 30});
    for (const std::string& problem : counted.problems) ADD_FAILURE() << "no failure: " << problem;
    ASSERT_TRUE(counted.problems.empty());
    ASSERT_FALSE(counted.counts.empty()) << "no imported call was counted";

    TableRow row;
    row.road = road.name;
    std::vector<FailurePoint> points;
    for (const auto& entry : counted.counts) {
        ++row.functions;
        if (rig::FindFailureMode(entry.first) != nullptr) {
            ++row.failable;
            for (int call = 1; call <= entry.second; ++call) points.push_back({entry.first, call});
        } else if (const rig::Exemption* exemption = rig::FindExemption(entry.first)) {
            SkippedFunctions()[entry.first] = exemption->reason;
        } else {
            ADD_FAILURE() << entry.first << " is called but neither fails nor has a reason not to";
        }
    }
    std::set<std::string> failedFunctions;
    for (const FailurePoint& point : points) {
        const RunReport report = RunRoad(road, point, counted.kept);
        ++row.points;
        if (report.problems.empty()) continue;
        ++row.failures;
        failedFunctions.insert(point.function);
        std::string text;
        for (const std::string& problem : report.problems) text += "\n    " + problem;
        ADD_FAILURE() << road.name << ", failing " << point.Describe() << ":" << text;
    }
    for (const std::string& function : failedFunctions) row.failedFunctions += function + " ";
    std::printf("%s: %d imported functions called (%d can fail), %zu failure points:\n ", road.name,
                row.functions, row.failable, points.size());
    for (const auto& entry : counted.counts) {
        if (rig::FindFailureMode(entry.first) != nullptr) {
            std::printf(" %s x%d", entry.first.c_str(), entry.second);
        }
    }
    std::printf("\n");
    Table().push_back(row);
}

INSTANTIATE_TEST_SUITE_P(Roads, FaultInjection, testing::ValuesIn(kRoads),
                         [](const testing::TestParamInfo<Road>& info) {
                             return std::string(info.param.name);
                         });

// The counter itself, on a real escape: a window procedure of this module throws through the
// system's CallWindowProcA into the caller, and one catches its own throw.
#if defined(__x86_64__)
LRESULT CALLBACK ThrowingProcedure(HWND, UINT message, WPARAM, LPARAM) {
    if (message == WM_APP) throw std::runtime_error("leaves the procedure");
    try {
        throw std::runtime_error("caught where it was thrown");
    } catch (const std::runtime_error&) {
    }
    return 0;
}
#endif

TEST(ExceptionCounter, CountsAThrowThatLeavesTheModuleAndNotOneCaughtInside) {
#if defined(__x86_64__)
    rig::ExceptionCounter exceptions(GetModuleHandleW(nullptr));
    ASSERT_TRUE(exceptions.active());
    CallWindowProcA(&ThrowingProcedure, nullptr, WM_USER, 0, 0);
    EXPECT_EQ(exceptions.count(), 0);
    bool caught = false;
    try {
        CallWindowProcA(&ThrowingProcedure, nullptr, WM_APP, 0, 0);
    } catch (const std::runtime_error&) {
        caught = true;
    }
    ASSERT_TRUE(caught);
    EXPECT_EQ(exceptions.count(), 1);
#else
    GTEST_SKIP() << "32-bit by nature: a C++ exception cannot cross a system frame there; it ends "
                    "the host, which the fault injector reports";
#endif
}

}  // namespace

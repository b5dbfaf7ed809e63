// Many captures and opens in a row in one host, the three roads in turn and both clipboard
// modes, with the user's clipboard holding text, an image, registered formats or a mix. After
// each the clipboard must hold what the user had (in text-only mode: the text formats), one
// launch must have been asked for, and at the end nothing may have grown: the plug-in's heap
// blocks, GDI copies, global blocks, registry keys, windows and the process's handles.
//
// CVT_SOAK_COUNT sets the number of captures (default 200); scripts/run-soak.sh runs 10,000.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "rig/clipboard_rig.h"
#include "rig/dialogs.h"
#include "rig/fault_injector.h"
#include "rig/rig.h"
#include "standin/standin_host.h"

namespace {

constexpr int kDefaultCount = 200;
// The path line of the roads' mail, with its line break.
constexpr int kPathStart = 8;
constexpr int kPathEnd = 30;

int SoakCount() {
    const char* text = std::getenv("CVT_SOAK_COUNT");
    const int count = text != nullptr ? std::atoi(text) : 0;
    return count > 0 ? count : kDefaultCount;
}

using Items = std::vector<std::pair<UINT, HANDLE>>;

// The user's clipboard of capture i: text, an image, registered formats, or all of them.
Items UserClipboard(int i) {
    const std::wstring text = L"利用者の文 " + std::to_wstring(i);
    const unsigned char bytes[] = {1, 2, 3, static_cast<unsigned char>(i), 5};
    switch (i % 4) {
        case 0:
            return {{CF_UNICODETEXT, rig::GlobalText(text)}};
        case 1:
            return {{CF_UNICODETEXT, rig::GlobalText(text)},
                    {CF_BITMAP, rig::MakeBitmap(24, 12, static_cast<std::uint32_t>(i))}};
        case 2:
            return {{CF_UNICODETEXT, rig::GlobalText(text)},
                    {RegisterClipboardFormatA("CvTrivane.Soak.A"),
                     rig::GlobalFromBytes(bytes, sizeof(bytes))},
                    {RegisterClipboardFormatA("CvTrivane.Soak.B"), rig::GlobalText(text)}};
        default:
            return {{CF_BITMAP, rig::MakeBitmap(8, 8, static_cast<std::uint32_t>(i))},
                    {CF_ENHMETAFILE, rig::MakeEnhMetaFile(3)},
                    {RegisterClipboardFormatA("CvTrivane.Soak.A"),
                     rig::GlobalFromBytes(bytes, sizeof(bytes))},
                    {CF_UNICODETEXT, rig::GlobalText(text)}};
    }
}

// The capture's span: from the wait cursor to the arrow.
struct CaptureTimer {
    LARGE_INTEGER frequency = {};
    LARGE_INTEGER started = {};
    bool running = false;
    std::vector<double> milliseconds;
};

void OnSetCursor(void* context) {
    auto* timer = static_cast<CaptureTimer*>(context);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    if (!timer->running) {
        timer->started = now;
    } else {
        timer->milliseconds.push_back(static_cast<double>(now.QuadPart - timer->started.QuadPart) *
                                      1000.0 / static_cast<double>(timer->frequency.QuadPart));
    }
    timer->running = !timer->running;
}

struct Counts {
    long heapBlocks;
    long long heapBytes;
    int gdiCopies;
    int globalBlocks;
    int registryKeys;
    int windows;
    rig::ProcessFigures process;
};

class Soak : public testing::Test {
protected:
    void SetUp() override {
        rig::DeleteSettingsKey();
        rig::CreateSettingsKey();
        rig::WriteDword(L"TrivaneConfirm", 0);
        rig::WriteDword(L"TrivaneTripleClick", 1);
        rig::WriteDword(L"TrivaneFile", 1);
        standin::SetQuitOnDestroy(false);
    }
    void TearDown() override { rig::DeleteSettingsKey(); }
};

TEST_F(Soak, CapturesAndOpensLeaveNothingBehindAndLoseNothing) {
    const int count = SoakCount();
    rig::HostSession session(rig::kRoadMail);
    ASSERT_TRUE(session.ok());
    ShowWindow(session.main(), SW_SHOW);
    rig::PluginObserver& observer = session.Observe();
    rig::ClipboardSource source;
    rig::HeapWatch heap(session.module());
    rig::GdiWatch gdi(session.module());
    rig::ResourceLedger ledger(session.module());
    ASSERT_TRUE(heap.active() && gdi.active() && ledger.active());
    CaptureTimer timer;
    QueryPerformanceFrequency(&timer.frequency);
    rig::FaultInjector counter(session.module());
    counter.OnCall("SetCursor", &OnSetCursor, &timer);
    const rig::OpenRoad roads[] = {rig::OpenRoad::kTripleClick, rig::OpenRoad::kShiftO,
                                   rig::OpenRoad::kContextMenu};
    auto snapshot = [&] {
        return Counts{heap.liveBlocks(),        heap.liveBytes(),      gdi.stillOwned(),
                      ledger.globalBlocks(),    ledger.registryKeys(), rig::ThreadWindowCount(),
                      rig::TakeProcessFigures()};
    };

    int lostContent = 0, wrongLaunches = 0;
    std::string firstProblem;
    auto run = [&](int i) {
        // Every road meets both modes and every kind of clipboard: 24 captures make a round.
        const rig::OpenRoad road = roads[i % 3];
        const bool preserve = (i / 3) % 2 == 1;
        rig::WriteDword(L"TrivanePreserve", preserve ? 1 : 0);
        source.Place(UserClipboard(i / 6));
        const rig::ClipboardSnapshot before = rig::TakeSnapshot(source.window());
        observer.Clear();
        rig::RunOpenRoad(road, kPathStart, kPathEnd);
        rig::DismissProgressWindows(session.main());
        rig::ClipboardAllowance allowed;
        allowed.others = preserve ? rig::ClipboardAllowance::Others::kKept
                                  : rig::ClipboardAllowance::Others::kGone;
        const std::string lost =
            rig::ClipboardLoss(before, rig::TakeSnapshot(source.window()), allowed);
        const auto& launches = observer.log().launches;
        const bool launched = launches.size() == 1 &&
                              launches[0].file == rig::ProgramPath(rig::kRoadLaunchFile) &&
                              launches[0].parameters == rig::kRoadLaunchParameters;
        if (!lost.empty()) ++lostContent;
        if (!launched) ++wrongLaunches;
        if (firstProblem.empty() && (!lost.empty() || !launched)) {
            firstProblem = "capture " + std::to_string(i) + " (" + rig::RoadName(road) +
                           (preserve ? ", all formats" : ", text only") + "): " +
                           (launched ? "" : std::to_string(launches.size()) + " launches; ") + lost;
        }
    };

    // One round first: the first capture makes the backup's list, the first of each kind
    // of clipboard its share of the system's own state.
    for (int i = 0; i < 24; ++i) run(i);
    timer.milliseconds.clear();
    const Counts start = snapshot();
    for (int i = 24; i < 24 + count; ++i) run(i);
    const Counts end = snapshot();

    std::vector<double> sorted = timer.milliseconds;
    std::sort(sorted.begin(), sorted.end());
    auto at = [&](double share) {
        return sorted.empty() ? 0.0 : sorted[static_cast<std::size_t>(share * (sorted.size() - 1))];
    };
    std::printf("soak: %d captures and opens, %zu timed\n", count, sorted.size());
    std::printf("  %-34s %12s %12s\n", "", "start", "end");
    auto row = [](const char* name, long long a, long long b) {
        std::printf("  %-34s %12lld %12lld\n", name, a, b);
    };
    row("process handles", start.process.handles, end.process.handles);
    row("GDI objects (system count)", start.process.gdiObjects, end.process.gdiObjects);
    row("user objects (system count)", start.process.userObjects, end.process.userObjects);
    row("process private bytes", static_cast<long long>(start.process.privateBytes),
        static_cast<long long>(end.process.privateBytes));
    row("plug-in heap blocks", start.heapBlocks, end.heapBlocks);
    row("plug-in heap bytes", start.heapBytes, end.heapBytes);
    row("plug-in GDI copies", start.gdiCopies, end.gdiCopies);
    row("plug-in global blocks", start.globalBlocks, end.globalBlocks);
    row("plug-in registry keys", start.registryKeys, end.registryKeys);
    row("windows of the host's thread", start.windows, end.windows);
    std::printf("  capture latency ms: min %.3f, median %.3f, p99 %.3f, max %.3f\n", at(0.0),
                at(0.5), at(0.99), at(1.0));

    EXPECT_EQ(lostContent, 0) << firstProblem;
    EXPECT_EQ(wrongLaunches, 0) << firstProblem;
    EXPECT_EQ(static_cast<int>(sorted.size()), count) << "every capture was timed";
    EXPECT_EQ(end.heapBlocks, start.heapBlocks);
    EXPECT_EQ(end.heapBytes, start.heapBytes);
    EXPECT_EQ(end.gdiCopies, 0);
    EXPECT_EQ(end.globalBlocks, 0);
    EXPECT_EQ(end.registryKeys, 0);
    EXPECT_EQ(end.windows, start.windows);
    EXPECT_LE(end.process.handles, start.process.handles);
    EXPECT_LE(end.process.gdiObjects, start.process.gdiObjects);
    EXPECT_LE(end.process.userObjects, start.process.userObjects);
}

}  // namespace

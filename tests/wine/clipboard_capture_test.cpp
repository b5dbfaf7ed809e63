// Capturing the selection of the stand-in host's message view: what lands in SelectedText,
// what the user gets back on the clipboard, the cursor afterwards, another program holding
// the clipboard, and memory or clipboard calls that fail half-way.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "rig/clipboard_rig.h"
#include "rig/host_fixture.h"

namespace {

using Items = std::vector<std::pair<UINT, HANDLE>>;

constexpr std::uint32_t kFailed = 0x80004005u;

const std::wstring kMail = L"資料の場所\r\n\\\\fs01\\share\\docs\r\n以上";
const wchar_t kPathLine[] = L"\\\\fs01\\share\\docs\r\n";  // characters 7 to 26 of the mail
const wchar_t kFirstTwoLines[] = L"資料の場所\r\n\\\\fs01\\share\\docs\r\n";
const std::wstring kUserText = L"利用者がコピーしておいた文 \\\\nas\\共有";

HCURSOR SystemCursor(const wchar_t* id) { return LoadCursorW(nullptr, id); }

// What the host's text window saw while it answered the copy command.
HCURSOR g_cursorAtCopy = nullptr;
WPARAM g_copyWParam = 0;
LPARAM g_copyLParam = -1;
// Armed when the copy command arrives, so that only the copied text is replaced.
rig::UnicodeTextStandIn* g_armOnCopy = nullptr;

void WatchCopyCommand(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_COMMAND || LOWORD(wParam) != standin::kCopyCommand) return;
    g_cursorAtCopy = GetCursor();
    g_copyWParam = wParam;
    g_copyLParam = lParam;
    if (g_armOnCopy != nullptr) g_armOnCopy->Arm(true);
}

UINT Registered(const char* name) { return RegisterClipboardFormatA(name); }

void PlaceIntruder(void* source) {
    static_cast<rig::ClipboardSource*>(source)->Place(
        {{CF_UNICODETEXT, rig::GlobalText(L"\\\\intruder\\x")}});
}

HGLOBAL PatternBlock(size_t size, unsigned char seed) {
    std::vector<unsigned char> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>(seed + i * 13);
    return rig::GlobalFromBytes(bytes.data(), bytes.size());
}

// Names the instances of a table-driven test after their cases.
struct CaseName {
    template <typename Info>
    std::string operator()(const Info& info) const {
        return info.param.name;
    }
};

class SelectionCapture : public rig::HostTest {
protected:
    void SetUp() override {
        rig::HostTest::SetUp();
        g_cursorAtCopy = nullptr;
        g_armOnCopy = nullptr;
        standin::SetMessageObserver(&WatchCopyCommand);
        ASSERT_NO_FATAL_FAILURE(LoadProbe());
        ShowAndSelect(kMail.c_str(), 7, 26);
        ASSERT_TRUE(source_.Place({{CF_UNICODETEXT, rig::GlobalText(kUserText)}}));
    }
    void TearDown() override {
        g_armOnCopy = nullptr;
        if (probe_ && *probe_) probe_->ReleaseSelectedText();
        probe_.reset();
        rig::HostTest::TearDown();
    }

    // A fresh copy of the capture code, as when the plug-in has just been loaded.
    void LoadProbe() {
        probe_.reset();
        probe_ = std::make_unique<rig::CaptureProbe>();
        ASSERT_TRUE(*probe_);
    }
    void Preserve(bool all) { rig::WriteDword(L"TrivanePreserve", all ? 1 : 0); }

    // Captures the message view, starting from a cursor that is neither the wait cursor nor
    // the arrow, so that the cursor afterwards shows what the capture set.
    std::uint32_t Capture() {
        SetCursor(SystemCursor(IDC_CROSS));
        std::uint32_t result = 0xFFFFFFFFu;
        try {
            result = probe_->Capture(View());
        } catch (...) {
            ADD_FAILURE() << "the capture threw";
        }
        return result;
    }
    const wchar_t* Text() const { return probe_->SelectedText(); }
    std::wstring ClipboardText() const { return rig::ClipboardUnicodeText(source_.window()); }

    // Every capture ends with the arrow and the clipboard closed.
    void ExpectSettled() const {
        EXPECT_EQ(GetCursor(), SystemCursor(IDC_ARROW)) << "the cursor is not the arrow";
        EXPECT_EQ(GetOpenClipboardWindow(), nullptr) << "the clipboard was left open";
    }

    std::unique_ptr<rig::CaptureProbe> probe_;
    rig::ClipboardSource source_;
};

// ---- What a capture takes from the host ----------------------------------------------------

struct CaptureCase {
    const char* name;
    int start, end;  // the selection in the mail; end -1 runs to its end
    standin::CopyMode mode;
    const wchar_t* expected;    // null: nothing is captured
    bool saysSelection = true;  // the window answers EM_GETSEL
};
void PrintTo(const CaptureCase& c, std::ostream* out) { *out << c.name; }

const CaptureCase kCaptures[] = {
    {"OneLineWithServerPath", 7, 26, standin::CopyMode::Unicode, kPathLine},
    {"AcrossLines", 0, 26, standin::CopyMode::Unicode, kFirstTwoLines},
    {"WholeMail", 0, -1, standin::CopyMode::Unicode, kMail.c_str()},
    {"EmptySelection", 9, 9, standin::CopyMode::Unicode, nullptr},
    {"HostPlacesOnlyAnsiText", 0, 26, standin::CopyMode::AnsiOnly, kFirstTwoLines},
    {"HostCopiesNothing", 7, 26, standin::CopyMode::Nothing, nullptr},
    {"WindowThatDoesNotSayItsSelection", 7, 26, standin::CopyMode::Unicode, kPathLine, false},
    {"EmptySelectionNotSaid", 9, 9, standin::CopyMode::AnsiOnly, nullptr, false},
};

class MessageViewCapture : public SelectionCapture,
                           public testing::WithParamInterface<CaptureCase> {};

TEST_P(MessageViewCapture, TakesTheCopiedTextAndGivesTheUserTheirsBack) {
    const CaptureCase& c = GetParam();
    // An earlier capture had text: a capture that finds none must not leave it standing.
    ShowAndSelect(kMail.c_str(), 0, 5);
    ASSERT_EQ(Capture(), 0u);
    ASSERT_NE(Text(), nullptr);

    standin::SetCopyMode(c.mode);
    standin::SetSelectionSaid(c.saysSelection);
    ShowAndSelect(kMail.c_str(), c.start, c.end);
    const int copies = standin::CopyCommandsAnswered();
    g_cursorAtCopy = nullptr;
    g_copyWParam = 0;
    g_copyLParam = -1;
    rig::ClipboardCallWatch calls(probe_->module());
    const DWORD sequence = GetClipboardSequenceNumber();
    EXPECT_EQ(Capture(), 0u);
    standin::SetSelectionSaid(true);
    // A window that says nothing is selected is not asked to copy, and the clipboard is left
    // alone; every other answer is captured. The clipboard changes only by the host's copy
    // and the restore, and not at all when the host copied nothing.
    const bool copied = c.start != c.end || !c.saysSelection;
    EXPECT_EQ(standin::CopyCommandsAnswered() - copies, copied ? 1 : 0);
    EXPECT_EQ(calls.opens(), copied ? (c.expected == nullptr ? 1 : 3) : 0);
    if (c.expected == nullptr) {
        EXPECT_EQ(GetClipboardSequenceNumber(), sequence);
    }
    if (copied) {
        EXPECT_EQ(g_copyWParam, static_cast<WPARAM>(57634)) << "the copy command's high word";
        EXPECT_EQ(g_copyLParam, 0);
        EXPECT_EQ(g_cursorAtCopy, SystemCursor(IDC_WAIT)) << "no wait cursor during the copy";
    }
    if (c.expected == nullptr) {
        EXPECT_EQ(Text(), nullptr);
    } else {
        ASSERT_NE(Text(), nullptr);
        EXPECT_STREQ(Text(), c.expected);
    }
    EXPECT_EQ(ClipboardText(), kUserText);
    ExpectSettled();
}

INSTANTIATE_TEST_SUITE_P(Selections, MessageViewCapture, testing::ValuesIn(kCaptures), CaseName());

// Another program copies between the backup and the host's copy: the host's copy would replace
// it and the restore would put older contents back, so the capture gives up and it stands.
TEST_F(SelectionCapture, ACopyAfterTheBackupStandsAndTheHostIsNotAsked) {
    rig::ClipboardCallWatch calls(probe_->module());
    calls.AfterClose(1, &PlaceIntruder, &source_);
    const int copies = standin::CopyCommandsAnswered();
    EXPECT_EQ(Capture(), kFailed);
    EXPECT_EQ(standin::CopyCommandsAnswered(), copies);
    EXPECT_EQ(Text(), nullptr);
    EXPECT_EQ(ClipboardText(), L"\\\\intruder\\x");
    ExpectSettled();
}

TEST_F(SelectionCapture, EachCaptureFreesTheTextOfTheLastOne) {
    // Allocated once and kept: the settings key's ANSI path and the backup's list.
    ASSERT_EQ(Capture(), 0u);
    probe_->ReleaseSelectedText();
    rig::HeapWatch heap(probe_->module());
    ASSERT_TRUE(heap.active());

    ASSERT_EQ(Capture(), 0u);
    EXPECT_STREQ(Text(), kPathLine);
    EXPECT_EQ(heap.liveBlocks(), 1);
    // Twice the byte size of the host's block, which holds the text and its NUL.
    EXPECT_EQ(heap.liveBytes(), static_cast<long long>(2 * sizeof(kPathLine)));
    ShowAndSelect(kMail.c_str(), 0, 5);
    ASSERT_EQ(Capture(), 0u);
    EXPECT_STREQ(Text(), L"資料の場所");
    EXPECT_EQ(heap.liveBlocks(), 1) << "the first capture's text was not freed";
    ShowAndSelect(kMail.c_str(), 3, 3);
    ASSERT_EQ(Capture(), 0u);
    EXPECT_EQ(Text(), nullptr);
    EXPECT_EQ(heap.liveBlocks(), 0);
    EXPECT_EQ(ClipboardText(), kUserText);
}

// ---- Unicode text blocks that do not end as they should --------------------------------------

struct BlockCase {
    const char* name;
    std::wstring characters;  // the block's characters, NUL or not
    size_t strayBytes;        // bytes of half a character after them
    const wchar_t* expected;
};
void PrintTo(const BlockCase& c, std::ostream* out) { *out << c.name; }

const BlockCase kBlocks[] = {
    {"Terminated", std::wstring(L"\\\\nas\\docs", 11), 0, L"\\\\nas\\docs"},
    {"NoTerminator", L"\\\\nas\\docs", 0, L"\\\\nas\\docs"},
    {"NoTerminatorAndAnOddByte", L"\\\\nas\\docs", 1, L"\\\\nas\\docs"},
    {"TerminatorInside", std::wstring(L"\\\\nas\0docs", 10), 0, L"\\\\nas"},
};

class UnicodeBlock : public SelectionCapture, public testing::WithParamInterface<BlockCase> {};

TEST_P(UnicodeBlock, SelectedTextEndsWithinTheCopiedBytes) {
    const BlockCase& c = GetParam();
    std::vector<unsigned char> bytes(c.characters.size() * sizeof(wchar_t) + c.strayBytes, 'x');
    std::memcpy(bytes.data(), c.characters.data(), c.characters.size() * sizeof(wchar_t));
    rig::UnicodeTextStandIn block(probe_->module(), bytes);
    rig::HeapWatch heap(probe_->module());
    ASSERT_TRUE(block.active() && heap.active());
    heap.PoisonNewBlocks(true);
    g_armOnCopy = &block;
    EXPECT_EQ(Capture(), 0u);
    g_armOnCopy = nullptr;
    block.Arm(false);
    EXPECT_EQ(block.handedOut(), 1);
    ASSERT_NE(Text(), nullptr);
    EXPECT_EQ(std::wstring(Text()), std::wstring(c.expected));
    EXPECT_EQ(ClipboardText(), kUserText);
}

INSTANTIATE_TEST_SUITE_P(Blocks, UnicodeBlock, testing::ValuesIn(kBlocks), CaseName());

// ---- Another program holding the clipboard --------------------------------------------------

enum class HoldAt {
    kStart,
    kAfterCopy,  // a clipboard manager reading right after the host's copy
    kRestore,
    kRestoreAndCopy,  // another thread of the process holds the clipboard and copies into it
};
enum class Outcome { kCaptured, kUntouched, kRestoredLater, kNewCopyStands, kCopyDuringTheWait };

struct HoldCase {
    const char* name;
    HoldAt at;
    DWORD milliseconds;  // inside the capture's half second of patience, or well past it
    Outcome outcome;
    // Another thread sends the window a gesture while the capture waits: it captures nothing.
    bool gestureMeanwhile = false;
};
void PrintTo(const HoldCase& c, std::ostream* out) { *out << c.name; }

const HoldCase kHolds[] = {
    {"BrieflyAtTheStart", HoldAt::kStart, 30, Outcome::kCaptured},
    {"AtTheStartWithAGestureSentMeanwhile", HoldAt::kStart, 300, Outcome::kCaptured, true},
    {"ThroughoutTheStart", HoldAt::kStart, 3000, Outcome::kUntouched},
    {"ForAMomentAfterTheCopy", HoldAt::kAfterCopy, 400, Outcome::kCaptured},
    {"PastTheRestoreAfterTheCopy", HoldAt::kAfterCopy, 2500, Outcome::kRestoredLater},
    {"BrieflyBeforeTheRestore", HoldAt::kRestore, 30, Outcome::kCaptured},
    {"ThroughoutTheRestore", HoldAt::kRestore, 2500, Outcome::kRestoredLater},
    {"ThroughoutTheRestoreThenANewCopy", HoldAt::kRestore, 2500, Outcome::kNewCopyStands},
    {"CopiedIntoDuringTheRestoreWait", HoldAt::kRestoreAndCopy, 300, Outcome::kCopyDuringTheWait},
};

struct HoldRequest {
    rig::ClipboardHolder* holder;
    DWORD milliseconds;
    bool held = false;
};

void StartHold(void* context) {
    auto* request = static_cast<HoldRequest*>(context);
    request->held = request->holder->Hold(request->milliseconds);
}

// The host copies, and another program takes the clipboard at once, before the capture reads.
HoldRequest* g_holdAfterCopy = nullptr;

void CopyThenHold(HWND window, UINT message, WPARAM wParam, LPARAM) {
    if (message != WM_COMMAND || LOWORD(wParam) != standin::kCopyCommand) return;
    SendMessageW(window, WM_COPY, 0, 0);
    StartHold(g_holdAfterCopy);
}

// A thread of this process that takes the clipboard, keeps it for a while and copies new text.
struct CopyDuringWait {
    explicit CopyDuringWait(DWORD time) : milliseconds(time) {}
    DWORD milliseconds;
    HANDLE opened = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread thread;
};

void StartCopyDuringWait(void* context) {
    auto* copy = static_cast<CopyDuringWait*>(context);
    copy->thread = std::thread([copy] {
        HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      nullptr, nullptr);
        const bool opened = rig::OpenClipboardRetrying(window);
        SetEvent(copy->opened);
        if (!opened) return;
        Sleep(copy->milliseconds);
        EmptyClipboard();
        SetClipboardData(CF_UNICODETEXT, rig::GlobalText(L"待つ間のコピー"));
        CloseClipboard();
        DestroyWindow(window);
    });
    WaitForSingleObject(copy->opened, 5000);
}

// A gesture that reaches the window while the capture waits: the host's procedure captures
// once more, as the plug-in's window procedure would, and the answer is kept.
rig::CaptureProbe* g_nestingProbe = nullptr;
std::uint32_t g_nestedResult = 0;
constexpr UINT kGestureSent = WM_APP + 26;

void CaptureOnGesture(HWND window, UINT message, WPARAM, LPARAM) {
    if (message == kGestureSent) g_nestedResult = g_nestingProbe->Capture(window);
}

class HeldClipboard : public SelectionCapture, public testing::WithParamInterface<HoldCase> {};

TEST_P(HeldClipboard, CaptureWaitsThenLeavesTheClipboardAloneOrPutsItBackLater) {
    const HoldCase& c = GetParam();
    Preserve(true);
    ASSERT_TRUE(source_.Place({{CF_UNICODETEXT, rig::GlobalText(kUserText)},
                               {Registered("CvTrivane.Test.Held"), PatternBlock(200, 4)}}));
    ASSERT_EQ(Capture(), 0u);  // text from before, which a failed start must not leave
    ASSERT_NE(Text(), nullptr);
    const rig::ClipboardSnapshot before = rig::TakeSnapshot(source_.window());
    rig::ClipboardHolder holder;
    ASSERT_TRUE(holder.started());
    rig::ClipboardCallWatch calls(probe_->module());
    HoldRequest request{&holder, c.milliseconds};
    CopyDuringWait copier(c.milliseconds);
    std::thread sender;
    g_nestingProbe = probe_.get();
    g_nestedResult = 0;
    if (c.gestureMeanwhile) {
        standin::SetMessageObserver(&CaptureOnGesture);
        sender = std::thread([this] {
            Sleep(100);
            SendMessageW(View(), kGestureSent, 0, 0);
        });
    }
    if (c.at == HoldAt::kRestoreAndCopy) {
        // The second close ends the reading of the copied text; the restore comes next.
        calls.AfterClose(2, &StartCopyDuringWait, &copier);
        request.held = true;
    } else if (c.at == HoldAt::kStart) {
        ASSERT_TRUE(holder.Hold(c.milliseconds));
        request.held = true;
    } else if (c.at == HoldAt::kAfterCopy) {
        g_holdAfterCopy = &request;
        standin::SetCopyMode(standin::CopyMode::Nothing);  // the observer copies
        standin::SetMessageObserver(&CopyThenHold);
    } else {
        calls.AfterClose(2, &StartHold, &request);
    }
    const int copies = standin::CopyCommandsAnswered();
    const std::uint32_t result = Capture();
    if (sender.joinable()) sender.join();
    if (copier.thread.joinable()) copier.thread.join();
    CloseHandle(copier.opened);
    standin::SetMessageObserver(&WatchCopyCommand);
    if (c.gestureMeanwhile) {
        EXPECT_EQ(g_nestedResult, kFailed) << "a second capture ran";
    }
    ASSERT_TRUE(request.held) << "the other program never had the clipboard";
    EXPECT_GT(calls.failedOpens(), 0) << "the capture never met the held clipboard";
    // Released without handling messages, so that nothing the plug-in left waiting runs yet.
    if (c.outcome == Outcome::kNewCopyStands) {
        ASSERT_TRUE(holder.WaitReleased(c.milliseconds + 2000));
    } else if (c.outcome != Outcome::kCopyDuringTheWait) {
        holder.Release();
    }
    ExpectSettled();

    switch (c.outcome) {
        case Outcome::kCaptured:
            EXPECT_EQ(result, 0u);
            EXPECT_STREQ(Text(), kPathLine);
            EXPECT_EQ(rig::Difference(before, rig::TakeSnapshot(source_.window())), "");
            break;
        case Outcome::kUntouched:
            EXPECT_EQ(result, kFailed);
            EXPECT_EQ(standin::CopyCommandsAnswered(), copies) << "the host was sent the copy";
            EXPECT_EQ(Text(), nullptr);
            EXPECT_EQ(calls.opens(), calls.failedOpens()) << "the clipboard was opened after all";
            EXPECT_EQ(rig::Difference(before, rig::TakeSnapshot(source_.window())), "");
            break;
        case Outcome::kRestoredLater:
            // What the user had waits, and goes back once the clipboard is free.
            EXPECT_EQ(result, kFailed);
            EXPECT_EQ(ClipboardText(), kPathLine);
            rig::PumpMessages(1000);
            EXPECT_EQ(rig::Difference(before, rig::TakeSnapshot(source_.window())), "");
            break;
        case Outcome::kNewCopyStands:
            // Copied meanwhile, before the plug-in could put the old contents back: the new
            // copy is the user's choice and stays.
            EXPECT_EQ(result, kFailed);
            ASSERT_TRUE(source_.Place({{CF_UNICODETEXT, rig::GlobalText(L"新しいコピー")}}));
            rig::PumpMessages(1000);
            EXPECT_EQ(ClipboardText(), L"新しいコピー");
            break;
        case Outcome::kCopyDuringTheWait:
            // Seen once the restore had the clipboard: the saved contents are dropped.
            EXPECT_EQ(result, 0u);
            EXPECT_STREQ(Text(), kPathLine);
            rig::PumpMessages(500);
            EXPECT_EQ(ClipboardText(), L"待つ間のコピー");
            break;
    }
}

INSTANTIATE_TEST_SUITE_P(Holds, HeldClipboard, testing::ValuesIn(kHolds), CaseName());

// An owner that promised text and then stopped answering: fetching its data would wait on it,
// so the capture leaves the clipboard to it without opening it.
TEST_F(SelectionCapture, AnOwnerThatStoppedAnsweringIsLeftAlone) {
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE wake = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HWND owner = nullptr;
    std::thread hung([&] {
        owner = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                                nullptr);
        if (OpenClipboard(owner)) {
            EmptyClipboard();
            SetClipboardData(CF_UNICODETEXT, nullptr);  // rendered on request, never
            CloseClipboard();
        }
        SetEvent(ready);
        WaitForSingleObject(wake, 20000);  // handles no message meanwhile
        DestroyWindow(owner);
    });
    WaitForSingleObject(ready, 5000);
    for (int i = 0; i < 80 && !IsHungAppWindow(owner); ++i) Sleep(100);
    ASSERT_TRUE(IsHungAppWindow(owner));
    rig::ClipboardCallWatch calls(probe_->module());
    const int copies = standin::CopyCommandsAnswered();
    const DWORD start = GetTickCount();
    EXPECT_EQ(Capture(), kFailed);
    std::printf("capture against a hung owner: %lu ms\n", GetTickCount() - start);
    EXPECT_EQ(calls.opens(), 0);
    EXPECT_EQ(standin::CopyCommandsAnswered(), copies);
    EXPECT_EQ(GetClipboardOwner(), owner);
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_UNICODETEXT));
    SetEvent(wake);
    hung.join();
    CloseHandle(ready);
    CloseHandle(wake);
}

// ---- Memory that runs out, and clipboard calls that refuse --------------------------------

// Text, registered formats, a private one and a bitmap with the formats it brings along.
Items MixedContents() {
    return Items{{CF_UNICODETEXT, rig::GlobalText(kUserText)},
                 {Registered("CvTrivane.Test.One"), PatternBlock(120, 1)},
                 {Registered("CvTrivane.Test.Two"), PatternBlock(90, 2)},
                 {CF_DSPTEXT, PatternBlock(70, 3)},
                 {Registered("CvTrivane.Test.Three"), PatternBlock(150, 4)},
                 {Registered("CvTrivane.Test.Four"), PatternBlock(60, 5)},
                 {CF_BITMAP, rig::MakeBitmap(16, 12, 7)}};
}

TEST_F(SelectionCapture, HeapRunningOutAnywhereLeavesTheClipboardWholeAndNothingBehind) {
    Preserve(true);
    // Start as the loaded plug-in does: the settings path is taken on the first capture, the
    // backup's list grows while the contents are saved.
    auto freshStart = [&] {
        LoadProbe();
        ASSERT_TRUE(source_.Place({}));
        ASSERT_EQ(Capture(), 0u);
        ASSERT_TRUE(source_.Place(MixedContents()));
    };
    int allocations = 0;
    // What stays for the module's life: the backup list's storage, and the C++ runtime's
    // unwinding tables, set up the first time a failed operator new (nothrow) throws and
    // catches inside. The reference run therefore fails one allocation too.
    long kept = 0;
    {
        ASSERT_NO_FATAL_FAILURE(freshStart());
        rig::HeapWatch heap(probe_->module());
        ASSERT_TRUE(heap.active());
        ASSERT_EQ(Capture(), 0u);
        ASSERT_STREQ(Text(), kPathLine);
        allocations = heap.heapAllocations();
        probe_->ReleaseSelectedText();
        heap.FailHeapAllocation(1);
        ASSERT_EQ(Capture(), kFailed);
        heap.FailHeapAllocation(0);
        ASSERT_EQ(Capture(), 0u);
        probe_->ReleaseSelectedText();
        kept = heap.liveBlocks();
    }
    ASSERT_GT(allocations, 16) << "fewer allocations than formats";

    bool backupFailed = false, textFailed = false;
    for (int n = 1; n <= allocations; ++n) {
        SCOPED_TRACE("allocation " + std::to_string(n) + " of " + std::to_string(allocations));
        ASSERT_NO_FATAL_FAILURE(freshStart());
        const rig::ClipboardSnapshot before = rig::TakeSnapshot(source_.window());
        rig::HeapWatch heap(probe_->module());
        rig::GdiWatch gdi(probe_->module());
        ASSERT_TRUE(heap.active() && gdi.active());
        heap.FailHeapAllocation(n);
        const int copies = standin::CopyCommandsAnswered();
        const std::uint32_t result = Capture();
        EXPECT_TRUE(heap.injected());
        EXPECT_EQ(Text(), nullptr);
        ExpectSettled();
        EXPECT_EQ(gdi.stillOwned(), 0) << "a copied bitmap was neither put back nor destroyed";
        EXPECT_EQ(rig::Difference(before, rig::TakeSnapshot(source_.window())), "");
        if (result == 0) {
            // Only the text buffer, the last allocation, fails after the backup.
            EXPECT_EQ(n, allocations);
            EXPECT_EQ(standin::CopyCommandsAnswered() - copies, 1);
            textFailed = true;
        } else {
            EXPECT_EQ(result, kFailed);
            EXPECT_EQ(standin::CopyCommandsAnswered(), copies);
            EXPECT_EQ(GetClipboardOwner(), source_.window()) << "the clipboard was emptied";
            backupFailed = true;
        }
        // A capture with memory to spare ends where a clean run ends: anything more is a
        // block that the failed capture lost.
        heap.FailHeapAllocation(0);
        EXPECT_EQ(Capture(), 0u);
        EXPECT_STREQ(Text(), kPathLine);
        probe_->ReleaseSelectedText();
        EXPECT_EQ(heap.liveBlocks(), kept);
    }
    EXPECT_TRUE(backupFailed);
    EXPECT_TRUE(textFailed);
}

TEST_F(SelectionCapture, GlobalBlockThatCannotBeAllocatedLeavesOutOnlyItsFormat) {
    Preserve(true);
    const UINT ids[] = {Registered("CvTrivane.Test.One"), Registered("CvTrivane.Test.Two"),
                        CF_DSPTEXT, Registered("CvTrivane.Test.Three")};
    ASSERT_EQ(Capture(), 0u);  // the settings path and the backup's list, allocated once
    for (int k = 1; k <= 4; ++k) {
        SCOPED_TRACE("global allocation " + std::to_string(k));
        ASSERT_TRUE(source_.Place({{ids[0], PatternBlock(120, 1)},
                                   {ids[1], PatternBlock(90, 2)},
                                   {ids[2], PatternBlock(70, 3)},
                                   {ids[3], PatternBlock(150, 4)}}));
        const rig::ClipboardSnapshot before = rig::TakeSnapshot(source_.window());
        ASSERT_EQ(before.size(), 4u);
        rig::HeapWatch heap(probe_->module());
        ASSERT_TRUE(heap.active());
        heap.FailGlobalAllocation(k);
        EXPECT_EQ(Capture(), 0u);
        EXPECT_TRUE(heap.injected());
        EXPECT_STREQ(Text(), kPathLine);
        ExpectSettled();
        EXPECT_FALSE(heap.globalFlags().empty());
        for (UINT flags : heap.globalFlags()) {
            EXPECT_EQ(flags, static_cast<UINT>(GMEM_MOVEABLE | GMEM_DDESHARE));
        }
        // The restore puts the formats back in the order they were saved.
        rig::ClipboardSnapshot expected = before;
        expected.erase(expected.begin() + (k - 1));
        EXPECT_EQ(rig::Difference(expected, rig::TakeSnapshot(source_.window())), "");
        probe_->ReleaseSelectedText();
        EXPECT_EQ(heap.liveBlocks(), 0);
    }
}

struct RefusalCase {
    const char* name;
    std::function<void(rig::GdiWatch&)> refuse;
    bool globalsRefused;
};
void PrintTo(const RefusalCase& c, std::ostream* out) { *out << c.name; }

const RefusalCase kRefusals[] = {
    {"Everything", [](rig::GdiWatch& gdi) { gdi.RefuseEverything(true); }, true},
    {"PicturesOnly", [](rig::GdiWatch& gdi) { gdi.RefuseGdiHandles(true); }, false},
};

class RefusedByTheClipboard : public SelectionCapture,
                              public testing::WithParamInterface<RefusalCase> {};

TEST_P(RefusedByTheClipboard, RefusedBlocksAreFreedAndRefusedPicturesDestroyed) {
    const RefusalCase& c = GetParam();
    const UINT one = Registered("CvTrivane.Test.One"), two = Registered("CvTrivane.Test.Two");
    ASSERT_TRUE(source_.Place({{one, PatternBlock(40, 1)},
                               {CF_BITMAP, rig::MakeBitmap(9, 7, 2)},
                               {two, PatternBlock(50, 2)},
                               {CF_ENHMETAFILE, rig::MakeEnhMetaFile(3)}}));
    const rig::ClipboardSnapshot before = rig::TakeSnapshot(source_.window());
    rig::GdiWatch gdi(probe_->module());
    ASSERT_TRUE(gdi.active());
    ASSERT_EQ(probe_->Backup(View(), 1), 1);
    // The bitmap, the metafile, and the metafile of the picture synthesised from it.
    ASSERT_GE(gdi.copiesMade(), 2);
    c.refuse(gdi);
    EXPECT_EQ(probe_->Restore(View()), 1);
    EXPECT_EQ(gdi.stillOwned(), 0) << "a refused picture was not destroyed";
    EXPECT_EQ(gdi.refusedGlobalsFreed(), gdi.refusedGlobals()) << "a refused block leaked";
    const rig::ClipboardSnapshot after = rig::TakeSnapshot(source_.window());
    if (c.globalsRefused) {
        EXPECT_GE(gdi.refusedGlobals(), 2);
        EXPECT_TRUE(after.empty());
    } else {
        EXPECT_EQ(gdi.refusedGlobals(), 0);
        for (UINT id : {one, two}) {
            const rig::FormatRecord* restored = rig::FindFormat(after, id);
            ASSERT_NE(restored, nullptr);
            EXPECT_EQ(rig::Difference(*rig::FindFormat(before, id), *restored), "");
        }
    }
    EXPECT_EQ(GetOpenClipboardWindow(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Refusals, RefusedByTheClipboard, testing::ValuesIn(kRefusals), CaseName());

}  // namespace

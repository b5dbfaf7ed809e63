// The plug-in's face towards the host: names, ordinals, argument bytes, the information
// record and the start-up and exit callbacks.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "rig/clipboard_rig.h"
#include "rig/dialogs.h"
#include "rig/import_patch.h"
#include "rig/rig.h"
#include "rig/stack_probe.h"
#include "standin/standin_host.h"

namespace {

struct ExportCase {
    int ordinal;
    const char* name;
    int arguments;
};

const ExportCase kExports[] = {
    {1, "CVC_OnStart", 0},          {2, "CVC_OnExit", 0},        {3, "CVC_OnMenuInit", 3},
    {4, "CVC_OnOpenFolder", 1},     {5, "CVC_OnOpenMail", 1},    {6, "CVC_OnEveryMinute", 0},
    {7, "CVC_OnOpenCompose", 2},    {8, "CVC_OnOutgoing", 2},    {9, "CVC_OnKeyDispatch", 3},
    {10, "CVC_OnRetrieve", 2},      {11, "CVC_OnSend", 1},       {12, "CVC_OnFinishRetrieve", 1},
    {13, "CVC_OnPlugInSetup", 1},   {14, "CVC_OnPlugInInfo", 1}, {15, "CVC_OnDragDrop", 4},
    {16, "CVC_OnBeforeFilter2", 4},
};

// Calls every callback with arguments that make it return at once: no window, an unused menu
// kind, and a record to fill. The setup dialog is closed by the watcher as soon as it appears.
template <typename Call>
void CallEachCallback(rig::LoadedPlugin& plugin, Call call) {
    char record[512] = {};
    rig::DialogWatcher closer([](HWND dialog) { PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0); });
    for (const ExportCase& e : kExports) {
        SCOPED_TRACE(e.name);
        void* byName = plugin.Export(e.name);
        ASSERT_NE(byName, nullptr);
        std::uintptr_t arguments[4] = {0, 0, 5, 0};
        if (e.ordinal == 14) arguments[0] = reinterpret_cast<std::uintptr_t>(record);
        call(e, byName, arguments);
    }
}

TEST(Exports, EachCallbackRemovesItsOwnArguments) {
#if defined(__i386__)
    rig::CreateSettingsKey();
    rig::LoadedPlugin plugin;
    ASSERT_TRUE(plugin);
    CallEachCallback(plugin, [](const ExportCase& e, void* function, std::uintptr_t* arguments) {
        std::uint32_t words[4];
        for (int i = 0; i < 4; ++i) words[i] = static_cast<std::uint32_t>(arguments[i]);
        std::uint32_t result = 0xDEADBEEF;
        EXPECT_EQ(rig_CallAndMeasure(function, words, e.arguments, &result), 4 * e.arguments);
        EXPECT_EQ(result, e.ordinal == 13 ? 1u : 0u);
    });
#else
    GTEST_SKIP() << "32-bit by nature: on x64 the caller removes the arguments; the 32-bit DLL's "
                    "ret N are checked from its file";
#endif
}

TEST(Exports, EachCallbackHasItsOrdinalAndResult) {
    rig::CreateSettingsKey();
    rig::LoadedPlugin plugin;
    ASSERT_TRUE(plugin);
    CallEachCallback(plugin, [&](const ExportCase& e, void* function,
                                 [[maybe_unused]] std::uintptr_t* arguments) {
        FARPROC byOrdinal = GetProcAddress(plugin.module(), MAKEINTRESOURCEA(e.ordinal));
        EXPECT_EQ(rig::AsAddress(byOrdinal), function);
#if defined(__x86_64__)
        // The caller removes the arguments, so surplus ones are harmless; the 32-bit build
        // checks the results above, each callback called with its own count.
        using Callback =
            std::uintptr_t(WINAPI*)(std::uintptr_t, std::uintptr_t, std::uintptr_t, std::uintptr_t);
        const std::uintptr_t result = rig::AsFunction<Callback>(function)(
            arguments[0], arguments[1], arguments[2], arguments[3]);
        // The callbacks return a 32-bit int; the upper half of the register is not theirs.
        EXPECT_EQ(static_cast<std::uint32_t>(result), e.ordinal == 13 ? 1u : 0u);
#endif
    });
    // Nothing but the sixteen callbacks is exported, and none under a decorated name.
    auto* base = reinterpret_cast<BYTE*>(plugin.module());
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    auto* directory = reinterpret_cast<IMAGE_EXPORT_DIRECTORY*>(
        base + nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT].VirtualAddress);
    EXPECT_EQ(directory->NumberOfNames, 16u);
    EXPECT_EQ(directory->NumberOfFunctions, 16u);
    EXPECT_EQ(directory->Base, 1u);
}

std::string Cp932(const wchar_t* text) {
    char bytes[512] = {};
    const int size = WideCharToMultiByte(932, 0, text, -1, bytes, sizeof(bytes), nullptr, nullptr);
    return std::string(bytes, static_cast<size_t>(size));  // the NUL included
}

TEST(PluginInfo, FillsTheFourTextsInShiftJisAndTouchesNothingElse) {
    rig::LoadedPlugin plugin;
    ASSERT_TRUE(plugin);
    auto info = plugin.Get<int(WINAPI*)(void*)>("CVC_OnPlugInInfo");
    unsigned char record[600];
    std::memset(record, 0xA5, sizeof(record));
    EXPECT_EQ(info(record), 0);

    struct Field {
        size_t offset;
        std::string bytes;
    } fields[] = {
        {0, Cp932(L"Corvel!トリプルクリック～トリベインプラグイン")},
        {80, Cp932(L"Veltrin")},
        {160, Cp932(L"1.2")},
        {240,
         Cp932(L"トリプルクリックでメールに書かれた\\\\server\\folderのようなサーバー上のフォル"
               L"ダを開けるプラグインです。")},
    };
    EXPECT_EQ(fields[3].bytes.size(), 102u);  // 101 bytes of text and the NUL
    EXPECT_EQ(record[341], 0);
    size_t covered = 0;
    for (const Field& field : fields) {
        EXPECT_EQ(std::string(reinterpret_cast<char*>(record) + field.offset, field.bytes.size()),
                  field.bytes)
            << "at offset " << field.offset;
        covered += field.bytes.size();
    }
    size_t untouched = 0;
    for (size_t i = 0; i < sizeof(record); ++i) {
        bool inField = false;
        for (const Field& field : fields) {
            inField = inField || (i >= field.offset && i < field.offset + field.bytes.size());
        }
        if (!inField && record[i] == 0xA5) ++untouched;
    }
    EXPECT_EQ(untouched, sizeof(record) - covered);
}

TEST(Exit, FreesTheLastCaptureAndCanBeCalledTwice) {
    rig::HostSession session;
    ASSERT_TRUE(session.ok());
    rig::HeapWatch heap(session.module());
    ASSERT_TRUE(heap.active());
    session.SelectInView(L"\\\\fs01\\share");
    DestroyMenu(standin::PrepareContextMenu(session.view(), standin::kMenuKindMessageView));
    const long held = heap.liveBlocks();  // the captured text, and the backup's list
    ASSERT_GE(held, 1);
    EXPECT_EQ(standin::Plugin().OnExit(), 0);
    EXPECT_EQ(heap.liveBlocks(), held - 1) << "the captured text was not freed";
    EXPECT_EQ(standin::Plugin().OnExit(), 0);
    EXPECT_EQ(heap.liveBlocks(), held - 1);
}

// The host ends the plug-in and frees the library while something of the plug-in can still
// run: afterwards none of it runs (a timer or window of the freed code would crash the
// process), the clipboard is the user's again, and the library stays loaded only while a frame
// of it must still return. A pin lasts the process, so each case runs in a process of its own.
enum class ExitMoment { kProgressWindowUp, kRestorePending, kInsideSetupDialog };

struct ExitCase {
    const char* name;
    ExitMoment moment;
    bool staysLoaded;
};

const ExitCase kExitCases[] = {
    {"ProgressWindowUp", ExitMoment::kProgressWindowUp, false},
    {"RestorePending", ExitMoment::kRestorePending, false},
    {"InsideSetupDialog", ExitMoment::kInsideSetupDialog, true},
};

// Another program takes the clipboard when the capture has read the host's copy, for longer
// than the capture waits and shorter than the exit does.
void HoldThroughTheRestore(void* holder) { static_cast<rig::ClipboardHolder*>(holder)->Hold(1600); }

LONG WINAPI EndOnCrash(EXCEPTION_POINTERS*) { ExitProcess(99); }

// Ends the process with 0 when all is well: the watches on the freed library are never undone.
[[noreturn]] void ExitWhileRunning(ExitMoment moment, bool staysLoaded) {
    SetUnhandledExceptionFilter(&EndOnCrash);  // code of the freed library ran
    rig::CreateSettingsKey();
    rig::WriteDword(L"TrivaneConfirm", 0);  // a question would wait for an answer for ever
    rig::HostSession session(L"");
    if (!session.ok()) std::exit(10);
    rig::PluginObserver& observer = session.Observe();
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(session.module(), path, MAX_PATH);
    rig::ClipboardSource source;
    if (!source.Place({{CF_UNICODETEXT, rig::GlobalText(L"利用者の文")}})) std::exit(11);
    auto* holder = new rig::ClipboardHolder();  // ended before the process, the rest is not
    rig::ClipboardCallWatch calls(session.module());
    session.SelectInView(L"\\\\fs01\\share");
    if (moment == ExitMoment::kInsideSetupDialog) {
        // The host's window closes while the dialog is up; its loop returns into the library.
        rig::DialogWatcher watcher([&](HWND dialog) {
            if (rig::ClassifyDialog(dialog) == rig::DialogKind::kSetup) {
                PostMessageW(session.main(), WM_CLOSE, 0, 0);
            }
        });
        standin::Plugin().OnPlugInSetup(session.main());
    } else {
        if (moment == ExitMoment::kRestorePending)
            calls.AfterClose(2, &HoldThroughTheRestore, holder);
        session.PressShiftO(session.view());
        const bool pending = moment == ExitMoment::kRestorePending;
        if (observer.log().launches.size() != (pending ? 0u : 1u)) std::exit(12);
        if (!pending && !IsWindow(observer.log().lastProgressWindow)) std::exit(13);
        standin::UnloadPlugin();
    }
    if ((GetModuleHandleW(path) != nullptr) != staysLoaded) std::exit(14);
    if (IsWindow(observer.log().lastProgressWindow)) std::exit(15);
    if (rig::ClipboardUnicodeText(source.window()) != L"利用者の文") std::exit(16);
    rig::PumpMessages(600);  // what would still run of the library runs here
    delete holder;
    std::exit(0);
}

class ExitWhileRunningTest : public testing::TestWithParam<ExitCase> {};

TEST_P(ExitWhileRunningTest, NothingOfThePlugInRunsAfterwards) {
    const ExitCase& c = GetParam();
    EXPECT_EXIT(ExitWhileRunning(c.moment, c.staysLoaded), testing::ExitedWithCode(0), "");
}

INSTANTIATE_TEST_SUITE_P(Moments, ExitWhileRunningTest, testing::ValuesIn(kExitCases),
                         [](const testing::TestParamInfo<ExitCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace

// Cost of a capture in the real plug-in, beside a bare round trip that makes only the calls any
// capture through the clipboard needs for the same contents: read each format out, send the
// host's copy command, read the copied text, empty, set each format back. Both roads of the
// plug-in are measured: the copy command in a window of the host's own class, and the direct
// read of a standard edit control, which does not touch the clipboard. Prints figures; nothing
// here passes or fails on speed, but a run whose capture did not capture fails the benchmark.
//
// The plug-in is driven through CVC_OnMenuInit: in the message view, whose selection holds no
// path, the callback does the capture and nothing else of note; in the edit control the
// selection holds a path, and the item it adds shows that the capture took the text.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "rig/clipboard_rig.h"
#include "rig/rig.h"
#include "standin/standin_host.h"

namespace {

using Items = std::vector<std::pair<UINT, HANDLE>>;

const wchar_t kMail[] = L"資料の場所\r\n\\\\fs01\\share\\docs\r\n以上";
constexpr int kSelectionEnd = 7;  // the first line with its line break
constexpr int kPathEnd = 26;      // the second line, the path, with its line break

double Now() {
    static const double ticksPerMs = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return static_cast<double>(frequency.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / ticksPerMs;
}

// Anonymous memory the process holds; Wine reports it as the page-file usage.
long long ProcessMemory() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    return static_cast<long long>(counters.PagefileUsage);
}

long long g_memoryBase = 0;
long long g_memoryPeak = 0;
void SampleMemory(void* = nullptr) { g_memoryPeak = std::max(g_memoryPeak, ProcessMemory()); }

// ---- The bare round trip ------------------------------------------------------------------

bool IsText(UINT format) {
    return format == CF_TEXT || format == CF_OEMTEXT || format == CF_UNICODETEXT;
}

void OpenAtOnce(HWND owner) {
    while (!OpenClipboard(owner)) Sleep(0);
}

HANDLE CopyOut(UINT format, HANDLE handle) {
    if (format == CF_BITMAP) return CopyImage(handle, IMAGE_BITMAP, 0, 0, 0);
    if (format == CF_ENHMETAFILE) {
        return CopyEnhMetaFileA(static_cast<HENHMETAFILE>(handle), nullptr);
    }
    const SIZE_T size = GlobalSize(handle);
    HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size);
    if (copy == nullptr || size == 0) return copy;
    std::memcpy(GlobalLock(copy), GlobalLock(handle), size);
    GlobalUnlock(handle);
    GlobalUnlock(copy);
    return copy;
}

// One copy of each format straight into a block that goes back to the clipboard: registered
// ids stay valid for the session, so no names are looked up.
void BareRoundTrip(HWND window, bool allFormats, bool sample) {
    Items saved;
    OpenAtOnce(window);
    for (UINT format = EnumClipboardFormats(0); format != 0;
         format = EnumClipboardFormats(format)) {
        if (!allFormats && !IsText(format)) continue;
        HANDLE handle = GetClipboardData(format);
        if (handle != nullptr) saved.emplace_back(format, CopyOut(format, handle));
    }
    CloseClipboard();
    if (sample) SampleMemory();
    SendMessageA(window, WM_COMMAND, standin::kCopyCommand, 0);
    OpenAtOnce(window);
    std::vector<wchar_t> text;
    if (HANDLE block = GetClipboardData(CF_UNICODETEXT)) {
        const SIZE_T size = GlobalSize(block);
        text.resize(size / sizeof(wchar_t) + 1);
        std::memcpy(text.data(), GlobalLock(block), size);
        GlobalUnlock(block);
    }
    EmptyClipboard();
    for (const auto& item : saved) SetClipboardData(item.first, item.second);
    CloseClipboard();
    if (sample) SampleMemory();
}

// ---- The plug-in's round trip ---------------------------------------------------------------

// The view's selection holds no path, so the plug-in adds nothing to the menu there; the edit
// control's item is taken out again after each run.
HMENU g_menu = nullptr;
HWND g_editor = nullptr;

enum class Road { kCopyCommand, kDirectRead };

void PluginRoundTrip(Road road) {
    if (road == Road::kCopyCommand) {
        standin::Plugin().OnMenuInit(standin::MessageView(), g_menu, standin::kMenuKindMessageView);
    } else {
        standin::Plugin().OnMenuInit(g_editor, g_menu, standin::kMenuKindComposeEditor);
    }
}

// Whether the run captured: the host answered one copy command, or the edit control's path
// came back as the menu's item without any clipboard call.
bool Captured(Road road, int copies, int opens) {
    if (road == Road::kCopyCommand) return standin::CopyCommandsAnswered() == copies + 1;
    const bool item = GetMenuItemCount(g_menu) == 1;
    DeleteMenu(g_menu, 0, MF_BYPOSITION);
    return item && opens == 0 && standin::CopyCommandsAnswered() == copies;
}

// ---- Figures ----------------------------------------------------------------------------------

struct Figures {
    double median = 0, mean = 0, best = 0;
};

Figures Summarise(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    Figures figures;
    figures.best = times.front();
    figures.median = times[times.size() / 2];
    for (double time : times) figures.mean += time;
    figures.mean /= static_cast<double>(times.size());
    return figures;
}

struct Case {
    const char* name;
    Road road;
    bool allFormats;
    std::function<Items()> contents;
    int runs;
};

std::wstring TextOfBytes(size_t bytes) {
    std::wstring text;
    const std::wstring unit = L"資料は \\\\fs01\\share にあります。Notes, 10:30.\r\n";
    while ((text.size() + 1) * sizeof(wchar_t) < bytes) text += unit;
    text.resize(bytes / sizeof(wchar_t) - 1);  // the NUL makes the block exactly bytes long
    return text;
}

HGLOBAL Filled(size_t size) {
    std::vector<unsigned char> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>(i * 31 + 7);
    return rig::GlobalFromBytes(bytes.data(), bytes.size());
}

bool RunCase(const Case& c, rig::ClipboardSource& source, bool measureMemory) {
    rig::WriteDword(L"TrivanePreserve", c.allFormats ? 1 : 0);
    if (!source.Place(c.contents())) {
        std::printf("%s: the contents could not be placed\n", c.name);
        return false;
    }
    const rig::ClipboardSnapshot before = rig::TakeSnapshot(source.window());
    HWND view = standin::MessageView();
    SendMessageW(view, EM_SETSEL, 0, kSelectionEnd);

    // One of each first: the settings path, the backup's list and Wine's caches settle.
    int copies = standin::CopyCommandsAnswered();
    PluginRoundTrip(c.road);
    bool captured = Captured(c.road, copies, 0);
    const std::string plugDifference = rig::Difference(before, rig::TakeSnapshot(source.window()));
    BareRoundTrip(view, c.allFormats, false);
    const std::string bareDifference = rig::Difference(before, rig::TakeSnapshot(source.window()));

    std::vector<double> plug, bare;
    int opens = 0, waits = 0;
    for (int run = 0; run < c.runs; ++run) {
        rig::ClipboardCallWatch calls(standin::Plugin().module);
        copies = standin::CopyCommandsAnswered();
        double start = Now();
        PluginRoundTrip(c.road);
        plug.push_back(Now() - start);
        captured = Captured(c.road, copies, calls.opens()) && captured;
        opens += calls.opens();
        waits += calls.failedOpens();
        start = Now();
        BareRoundTrip(view, c.allFormats, false);
        bare.push_back(Now() - start);
    }
    const Figures p = Summarise(plug), b = Summarise(bare);
    std::printf("%-46s %5d  %9.3f %9.3f %9.3f  %9.3f %9.3f %9.3f  %6.2fx\n", c.name, c.runs,
                p.median, p.mean, p.best, b.median, b.mean, b.best, p.median / b.median);
    std::printf("  plug-in: %.1f clipboard opens per capture, %d of %d opens had to wait\n",
                static_cast<double>(opens) / c.runs, waits, opens);
    if (!plugDifference.empty())
        std::printf("  plug-in round trip changed:\n%s", plugDifference.c_str());
    if (!bareDifference.empty())
        std::printf("  bare round trip changed:\n%s", bareDifference.c_str());
    if (!captured) std::printf("  FAILED: a run of the plug-in did not capture its selection\n");

    if (measureMemory) {
        long long heapPeak = 0;
        {
            rig::HeapWatch heap(standin::Plugin().module);
            rig::ClipboardCallWatch calls(standin::Plugin().module);
            calls.AfterClose(0, &SampleMemory, nullptr);
            g_memoryBase = g_memoryPeak = ProcessMemory();
            PluginRoundTrip(c.road);
            if (c.road == Road::kDirectRead) DeleteMenu(g_menu, 0, MF_BYPOSITION);
            heapPeak = heap.active() ? heap.peakBytes() : -1;
        }
        const long long plugPeak = g_memoryPeak - g_memoryBase;
        g_memoryBase = g_memoryPeak = ProcessMemory();
        BareRoundTrip(view, c.allFormats, true);
        const long long barePeak = g_memoryPeak - g_memoryBase;
        const double mb = 1024.0 * 1024.0;
        std::printf(
            "  peak extra memory: plug-in heap %.1f MB; process anonymous memory, sampled at"
            " each clipboard close: plug-in +%.1f MB, bare +%.1f MB\n",
            static_cast<double>(heapPeak) / mb, static_cast<double>(plugPeak) / mb,
            static_cast<double>(barePeak) / mb);
    }
    return plugDifference.empty() && bareDifference.empty() && captured;
}

}  // namespace

int main() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    standin::RegisterHostClasses(instance);
    standin::SetQuitOnDestroy(false);
    rig::DeleteSettingsKey();
    rig::CreateSettingsKey();
    HWND main = standin::CreateHostWindows(instance, L"");
    if (main == nullptr) return 1;
    ShowWindow(main, SW_SHOW);
    if (!standin::LoadPlugin(rig::PluginPath().c_str())) {
        std::printf("the plug-in did not load\n");
        return 1;
    }
    standin::SetMessageText(kMail);
    standin::SetTextClass(standin::TextClass::Edit);
    g_editor = standin::ComposeEditor(standin::OpenComposeWindow(kMail));
    SendMessageW(g_editor, EM_SETSEL, kSelectionEnd, kPathEnd);  // the path line
    rig::PumpMessages(100);
    g_menu = CreatePopupMenu();

    const UINT registered = RegisterClipboardFormatA("CvTrivane.Bench.Data");
    const Case cases[] = {
        {"(a) copy command, text only: 1 KB of text", Road::kCopyCommand, false,
         [] {
             return Items{{CF_UNICODETEXT, rig::GlobalText(TextOfBytes(1024))}};
         },
         300},
        {"(b) copy command, all formats: bitmap, 1+1 MB", Road::kCopyCommand, true,
         [registered] {
             return Items{{CF_BITMAP, rig::MakeBitmap(1920, 1080, 5)},
                          {CF_UNICODETEXT, rig::GlobalText(TextOfBytes(1024 * 1024))},
                          {registered, Filled(1024 * 1024)}};
         },
         20},
        {"(c) direct read of an edit control, text only", Road::kDirectRead, false,
         [] {
             return Items{{CF_UNICODETEXT, rig::GlobalText(TextOfBytes(1024))}};
         },
         300},
        {"(d) direct read of an edit control, all formats", Road::kDirectRead, true,
         [registered] {
             return Items{{CF_BITMAP, rig::MakeBitmap(1920, 1080, 5)},
                          {CF_UNICODETEXT, rig::GlobalText(TextOfBytes(1024 * 1024))},
                          {registered, Filled(1024 * 1024)}};
         },
         20},
    };

    std::printf("A capture of CvTrivane.dll beside a bare clipboard round trip, milliseconds\n");
    std::printf("%-46s %5s  %29s  %29s  %7s\n", "", "", "plug-in", "bare", "");
    std::printf("%-46s %5s  %9s %9s %9s  %9s %9s %9s  %7s\n", "case", "runs", "median", "mean",
                "best", "median", "mean", "best", "ratio");
    rig::ClipboardSource source;
    bool intact = true;
    for (const Case& c : cases) intact = RunCase(c, source, c.allFormats) && intact;
    std::printf(
        "ratio: plug-in median over bare median; target 1.50x or less through the copy"
        " command, far below 1x for the direct read\n");

    const bool untouched = GetMenuItemCount(g_menu) == 0;
    DestroyMenu(g_menu);
    DestroyWindow(main);  // unloads the plug-in
    if (!untouched) std::printf("the plug-in added to the menu: the figures include more\n");
    return intact ? 0 : 2;
}

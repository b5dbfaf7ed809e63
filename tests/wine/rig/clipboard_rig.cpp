#include "rig/clipboard_rig.h"

#include <cstring>
#include <map>
#include <set>
#include <sstream>

#include "rig/rig.h"

namespace rig {

bool OpenClipboardRetrying(HWND owner) {
    for (int attempt = 0; attempt < 200; ++attempt) {
        if (OpenClipboard(owner)) return true;
        Sleep(5);
    }
    return false;
}

namespace {

std::vector<unsigned char> BitmapPixels(HBITMAP bitmap, LONG* width, LONG* height) {
    BITMAP info = {};
    if (GetObjectW(bitmap, sizeof(info), &info) == 0) return {};
    *width = info.bmWidth;
    *height = info.bmHeight;
    BITMAPINFO header = {};
    header.bmiHeader.biSize = sizeof(header.bmiHeader);
    header.bmiHeader.biWidth = info.bmWidth;
    header.bmiHeader.biHeight = -info.bmHeight;
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 32;
    header.bmiHeader.biCompression = BI_RGB;
    std::vector<unsigned char> pixels(static_cast<size_t>(info.bmWidth) * info.bmHeight * 4);
    HDC screen = GetDC(nullptr);
    const int lines = GetDIBits(screen, bitmap, 0, static_cast<UINT>(info.bmHeight), pixels.data(),
                                &header, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (lines != info.bmHeight) return {};
    return pixels;
}

std::vector<unsigned char> EnhMetaFileBits(HENHMETAFILE metafile) {
    const UINT size = GetEnhMetaFileBits(metafile, 0, nullptr);
    std::vector<unsigned char> bits(size);
    if (size > 0) GetEnhMetaFileBits(metafile, size, bits.data());
    return bits;
}

std::vector<unsigned char> MetaFileBits(HMETAFILE metafile) {
    const UINT size = metafile ? GetMetaFileBitsEx(metafile, 0, nullptr) : 0;
    std::vector<unsigned char> bits(size);
    if (size > 0) GetMetaFileBitsEx(metafile, size, bits.data());
    return bits;
}

FormatRecord ReadFormat(UINT id) {
    FormatRecord record;
    record.id = id;
    char name[256] = {};
    if (GetClipboardFormatNameA(id, name, sizeof(name)) > 0) record.name = name;
    HANDLE handle = GetClipboardData(id);
    if (handle == nullptr) return record;
    if (id == CF_BITMAP || id == CF_DSPBITMAP) {
        record.kind = FormatRecord::Kind::kBitmap;
        record.bytes = BitmapPixels(static_cast<HBITMAP>(handle), &record.width, &record.height);
    } else if (id == CF_ENHMETAFILE || id == CF_DSPENHMETAFILE) {
        record.kind = FormatRecord::Kind::kEnhMetaFile;
        record.bytes = EnhMetaFileBits(static_cast<HENHMETAFILE>(handle));
    } else if (id == CF_PALETTE) {
        record.kind = FormatRecord::Kind::kBytes;  // the colours
        record.bytes.resize(256 * sizeof(PALETTEENTRY));
        const UINT count = GetPaletteEntries(static_cast<HPALETTE>(handle), 0, 256,
                                             reinterpret_cast<PALETTEENTRY*>(record.bytes.data()));
        record.bytes.resize(count * sizeof(PALETTEENTRY));
    } else if (GlobalSize(handle) > 0) {
        const SIZE_T size = GlobalSize(handle);
        void* data = GlobalLock(handle);
        if (data == nullptr) return record;
        METAFILEPICT picture = {};
        if (size >= sizeof(picture)) std::memcpy(&picture, data, sizeof(picture));
        if ((id == CF_METAFILEPICT || id == CF_DSPMETAFILEPICT) && picture.hMF != nullptr) {
            record.kind = FormatRecord::Kind::kMetaFilePict;
            record.mapMode = picture.mm;
            record.width = picture.xExt;
            record.height = picture.yExt;
            record.bytes = MetaFileBits(picture.hMF);
        } else {
            record.kind = FormatRecord::Kind::kBytes;
            const auto* bytes = static_cast<const unsigned char*>(data);
            record.bytes.assign(bytes, bytes + size);
        }
        GlobalUnlock(handle);
    }
    return record;
}

const char* KindName(FormatRecord::Kind kind) {
    switch (kind) {
        case FormatRecord::Kind::kNoData:
            return "no data";
        case FormatRecord::Kind::kBytes:
            return "bytes";
        case FormatRecord::Kind::kBitmap:
            return "bitmap";
        case FormatRecord::Kind::kEnhMetaFile:
            return "enhanced metafile";
        case FormatRecord::Kind::kMetaFilePict:
            return "metafile picture";
    }
    return "?";
}

}  // namespace

ClipboardSnapshot TakeSnapshot(HWND reader) {
    ClipboardSnapshot snapshot;
    if (!OpenClipboardRetrying(reader)) return snapshot;
    for (UINT id = EnumClipboardFormats(0); id != 0; id = EnumClipboardFormats(id)) {
        snapshot.push_back(ReadFormat(id));
    }
    CloseClipboard();
    return snapshot;
}

std::vector<UINT> FormatIds(const ClipboardSnapshot& snapshot) {
    std::vector<UINT> ids;
    for (const FormatRecord& record : snapshot) ids.push_back(record.id);
    return ids;
}

const FormatRecord* FindFormat(const ClipboardSnapshot& snapshot, UINT id) {
    for (const FormatRecord& record : snapshot) {
        if (record.id == id) return &record;
    }
    return nullptr;
}

std::string Difference(const FormatRecord& before, const FormatRecord& after) {
    std::ostringstream text;
    if (before.id != after.id) text << "id " << before.id << " became " << after.id << "; ";
    if (before.name != after.name) {
        text << "name \"" << before.name << "\" became \"" << after.name << "\"; ";
    }
    if (before.kind != after.kind) {
        text << KindName(before.kind) << " became " << KindName(after.kind) << "; ";
    }
    if (before.width != after.width || before.height != after.height) {
        text << "size " << before.width << "x" << before.height << " became " << after.width << "x"
             << after.height << "; ";
    }
    if (before.mapMode != after.mapMode) text << "mapping mode differs; ";
    if (before.bytes.size() != after.bytes.size()) {
        text << before.bytes.size() << " bytes became " << after.bytes.size() << "; ";
    } else if (before.bytes != after.bytes) {
        size_t at = 0;
        while (before.bytes[at] == after.bytes[at]) ++at;
        text << "bytes differ from offset " << at << "; ";
    }
    return text.str();
}

std::string Difference(const ClipboardSnapshot& before, const ClipboardSnapshot& after) {
    std::string text;
    for (const FormatRecord& saved : before) {
        const FormatRecord* found = FindFormat(after, saved.id);
        const std::string what = found == nullptr ? "missing" : Difference(saved, *found);
        if (!what.empty()) text += "format " + std::to_string(saved.id) + ": " + what + "\n";
    }
    // The order of the formats that came back. CF_LOCALE is left out of it: the system adds
    // it by itself next to text it converts, where it chooses.
    std::vector<UINT> beforeOrder, afterOrder;
    for (const FormatRecord& extra : after) {
        if (FindFormat(before, extra.id) == nullptr) {
            text += "format " + std::to_string(extra.id) + " \"" + extra.name + "\" is new\n";
        } else if (extra.id != CF_LOCALE) {
            afterOrder.push_back(extra.id);
        }
    }
    for (const FormatRecord& saved : before) {
        if (FindFormat(after, saved.id) != nullptr && saved.id != CF_LOCALE) {
            beforeOrder.push_back(saved.id);
        }
    }
    if (beforeOrder != afterOrder) text += "the formats come in another order\n";
    return text;
}

ClipboardSource::ClipboardSource()
    : window_(CreateWindowExW(0, L"STATIC", L"another program", WS_OVERLAPPED, 0, 0, 10, 10,
                              nullptr, nullptr, nullptr, nullptr)) {}

ClipboardSource::~ClipboardSource() { DestroyWindow(window_); }

bool ClipboardSource::Place(const std::vector<std::pair<UINT, HANDLE>>& items) {
    if (!OpenClipboardRetrying(window_)) return false;
    EmptyClipboard();
    bool all = true;
    for (const auto& item : items)
        all = SetClipboardData(item.first, item.second) != nullptr && all;
    CloseClipboard();
    return all;
}

HGLOBAL GlobalFromBytes(const void* data, size_t size) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    if (block != nullptr && size > 0) {
        std::memcpy(GlobalLock(block), data, size);
        GlobalUnlock(block);
    }
    return block;
}

HGLOBAL GlobalText(const std::wstring& text) {
    return GlobalFromBytes(text.c_str(), (text.size() + 1) * sizeof(wchar_t));
}

HGLOBAL GlobalAnsi(const std::string& text) {
    return GlobalFromBytes(text.c_str(), text.size() + 1);
}

std::wstring ClipboardUnicodeText(HWND reader) {
    std::wstring text;
    if (!OpenClipboardRetrying(reader)) return text;
    HANDLE block = GetClipboardData(CF_UNICODETEXT);
    if (block != nullptr) {
        const auto* data = static_cast<const wchar_t*>(GlobalLock(block));
        if (data != nullptr) {
            text.assign(data, wcsnlen(data, GlobalSize(block) / sizeof(wchar_t)));
            GlobalUnlock(block);
        }
    }
    CloseClipboard();
    return text;
}

HBITMAP MakeBitmap(int width, int height, std::uint32_t seed) {
    std::vector<std::uint32_t> pixels(static_cast<size_t>(width) * height);
    std::uint32_t state = seed;
    for (std::uint32_t& pixel : pixels) {
        state = state * 1664525u + 1013904223u;
        pixel = state >> 8;  // the top byte stays 0: no alpha to be treated differently
    }
    return CreateBitmap(width, height, 1, 32, pixels.data());
}

namespace {

void DrawShapes(HDC dc, int shapes) {
    for (int i = 0; i < shapes; ++i) {
        Rectangle(dc, i * 10, i * 5, i * 10 + 50, i * 5 + 30);
        MoveToEx(dc, i * 7, 0, nullptr);
        LineTo(dc, 0, i * 9 + 3);
    }
}

}  // namespace

HENHMETAFILE MakeEnhMetaFile(int shapes) {
    HDC dc = CreateEnhMetaFileA(nullptr, nullptr, nullptr, nullptr);
    DrawShapes(dc, shapes);
    return CloseEnhMetaFile(dc);
}

HGLOBAL MakeMetaFilePicture(int shapes) {
    HDC dc = CreateMetaFileA(nullptr);
    DrawShapes(dc, shapes);
    METAFILEPICT picture = {MM_ANISOTROPIC, 2000 + shapes, 1000, CloseMetaFile(dc)};
    return GlobalFromBytes(&picture, sizeof(picture));
}

// ---- Another process holding the clipboard ------------------------------------------------

namespace {

bool WaitPumping(HANDLE handle, DWORD milliseconds) {
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= milliseconds) return WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
        const DWORD result =
            MsgWaitForMultipleObjects(1, &handle, FALSE, milliseconds - elapsed, QS_ALLINPUT);
        if (result == WAIT_OBJECT_0) return true;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

}  // namespace

ClipboardHolder::ClipboardHolder() {
    static int counter = 0;
    tag_ = "cvt-clipboard-holder-" + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(++counter);
    auto event = [&](const char* suffix, BOOL manual) {
        return CreateEventA(nullptr, manual, FALSE, (tag_ + suffix).c_str());
    };
    ready_ = event(".ready", TRUE);
    hold_ = event(".hold", FALSE);
    held_ = event(".held", FALSE);
    release_ = event(".release", FALSE);
    released_ = event(".released", FALSE);
    quit_ = event(".quit", TRUE);
    mapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                  2 * sizeof(DWORD), (tag_ + ".ms").c_str());
    if (mapping_ != nullptr) {
        shared_ = static_cast<volatile DWORD*>(
            MapViewOfFile(mapping_, FILE_MAP_WRITE, 0, 0, 2 * sizeof(DWORD)));
    }
    std::wstring command = L"\"" + BinaryDir() + L"cvt_clipboard_holder.exe\" " +
                           std::wstring(tag_.begin(), tag_.end());
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (shared_ != nullptr && CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0,
                                             nullptr, nullptr, &startup, &info)) {
        CloseHandle(info.hThread);
        process_ = info.hProcess;
        if (!WaitPumping(ready_, 20000)) {
            TerminateProcess(process_, 1);
            CloseHandle(process_);
            process_ = nullptr;
        }
    }
}

ClipboardHolder::~ClipboardHolder() {
    if (process_ != nullptr) {
        SetEvent(release_);
        SetEvent(quit_);
        if (!WaitPumping(process_, 5000)) TerminateProcess(process_, 1);
        CloseHandle(process_);
    }
    if (shared_ != nullptr) UnmapViewOfFile(const_cast<DWORD*>(shared_));
    for (HANDLE handle : {ready_, hold_, held_, release_, released_, quit_, mapping_}) {
        if (handle != nullptr) CloseHandle(handle);
    }
}

bool ClipboardHolder::Hold(DWORD milliseconds) {
    if (process_ == nullptr) return false;
    shared_[0] = milliseconds;
    shared_[1] = 0;
    ResetEvent(release_);
    ResetEvent(released_);
    SetEvent(hold_);
    return WaitPumping(held_, 5000) && shared_[1] == 1;
}

void ClipboardHolder::Release() {
    if (process_ == nullptr) return;
    SetEvent(release_);
    WaitForSingleObject(released_, 5000);
}

bool ClipboardHolder::WaitReleased(DWORD milliseconds) {
    return process_ != nullptr && WaitForSingleObject(released_, milliseconds) == WAIT_OBJECT_0;
}

// ---- The capture's test build ---------------------------------------------------------------

CaptureProbe::CaptureProbe()
    : module_(LoadLibraryW((BinaryDir() + L"cvt_capture_probe.dll").c_str())) {
    if (module_ == nullptr) return;
    auto get = [&](auto& function, const char* name) {
        function = AsFunction<std::remove_reference_t<decltype(function)>>(
            AsAddress(GetProcAddress(module_, name)));
    };
    get(Capture, "ProbeCaptureSelection");
    get(SelectedText, "ProbeSelectedText");
    get(ReleaseSelectedText, "ProbeReleaseSelectedText");
    get(Backup, "ProbeBackup");
    get(Restore, "ProbeRestore");
    get(Clear, "ProbeClear");
    if (!Capture || !SelectedText || !ReleaseSelectedText || !Backup || !Restore || !Clear) {
        FreeLibrary(module_);
        module_ = nullptr;
    }
}

CaptureProbe::~CaptureProbe() {
    if (module_ != nullptr) FreeLibrary(module_);
}

// ---- Heap accounting and injected failures ------------------------------------------------

namespace {

struct HeapState {
    void*(__cdecl* malloc)(size_t) = nullptr;
    void*(__cdecl* calloc)(size_t, size_t) = nullptr;
    void*(__cdecl* realloc)(void*, size_t) = nullptr;
    void(__cdecl* free)(void*) = nullptr;
    HGLOBAL(WINAPI* globalAlloc)(UINT, SIZE_T) = nullptr;
    std::map<void*, size_t> live;
    long long liveBytes = 0;
    long long peakBytes = 0;
    int heapCalls = 0;
    int globalCalls = 0;
    std::vector<UINT> globalFlags;
    int failHeapAt = 0;
    int failGlobalAt = 0;
    bool injected = false;
    bool poison = false;
};
HeapState* g_heap = nullptr;

constexpr unsigned char kPoison = 0xA5;

bool FailThisHeapCall() {
    ++g_heap->heapCalls;
    if (g_heap->failHeapAt != 0 && g_heap->heapCalls == g_heap->failHeapAt) {
        g_heap->injected = true;
        return true;
    }
    return false;
}

void Track(void* block, size_t size) {
    if (block == nullptr) return;
    g_heap->live[block] = size;
    g_heap->liveBytes += static_cast<long long>(size);
    if (g_heap->liveBytes > g_heap->peakBytes) g_heap->peakBytes = g_heap->liveBytes;
}

void Untrack(void* block) {
    auto found = g_heap->live.find(block);
    if (found == g_heap->live.end()) return;  // taken before the watch began
    g_heap->liveBytes -= static_cast<long long>(found->second);
    g_heap->live.erase(found);
}

void* __cdecl WatchedMalloc(size_t size) {
    if (FailThisHeapCall()) return nullptr;
    void* block = g_heap->malloc(size);
    if (block != nullptr && g_heap->poison) std::memset(block, kPoison, size);
    Track(block, size);
    return block;
}

void* __cdecl WatchedCalloc(size_t count, size_t size) {
    if (FailThisHeapCall()) return nullptr;
    void* block = g_heap->calloc(count, size);
    Track(block, count * size);
    return block;
}

void* __cdecl WatchedRealloc(void* old, size_t size) {
    if (FailThisHeapCall()) return nullptr;
    void* block = g_heap->realloc(old, size);
    if (block != nullptr) {
        Untrack(old);
        Track(block, size);
    }
    return block;
}

void __cdecl WatchedFree(void* block) {
    Untrack(block);
    g_heap->free(block);
}

HGLOBAL WINAPI WatchedGlobalAlloc(UINT flags, SIZE_T size) {
    ++g_heap->globalCalls;
    g_heap->globalFlags.push_back(flags);
    if (g_heap->failGlobalAt != 0 && g_heap->globalCalls == g_heap->failGlobalAt) {
        g_heap->injected = true;
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return g_heap->globalAlloc(flags, size);
}

}  // namespace

HeapWatch::HeapWatch(HMODULE module) {
    g_heap = new HeapState();
    AddPatch(patches_, module, "msvcrt.dll", "malloc", &WatchedMalloc, &g_heap->malloc);
    AddPatch(patches_, module, "msvcrt.dll", "calloc", &WatchedCalloc, &g_heap->calloc);
    AddPatch(patches_, module, "msvcrt.dll", "realloc", &WatchedRealloc, &g_heap->realloc);
    AddPatch(patches_, module, "msvcrt.dll", "free", &WatchedFree, &g_heap->free);
    AddPatch(patches_, module, "kernel32.dll", "GlobalAlloc", &WatchedGlobalAlloc,
             &g_heap->globalAlloc);
}

HeapWatch::~HeapWatch() {
    patches_.clear();
    delete g_heap;
    g_heap = nullptr;
}

bool HeapWatch::active() const {
    return g_heap->malloc != nullptr && g_heap->free != nullptr && g_heap->globalAlloc != nullptr;
}
long HeapWatch::liveBlocks() const { return static_cast<long>(g_heap->live.size()); }
long long HeapWatch::liveBytes() const { return g_heap->liveBytes; }
long long HeapWatch::peakBytes() const { return g_heap->peakBytes; }
int HeapWatch::heapAllocations() const { return g_heap->heapCalls; }
int HeapWatch::globalAllocations() const { return g_heap->globalCalls; }
const std::vector<UINT>& HeapWatch::globalFlags() const { return g_heap->globalFlags; }
void HeapWatch::FailHeapAllocation(int n) {
    g_heap->heapCalls = 0;
    g_heap->failHeapAt = n;
}
void HeapWatch::FailGlobalAllocation(int n) {
    g_heap->globalCalls = 0;
    g_heap->failGlobalAt = n;
}
bool HeapWatch::injected() const { return g_heap->injected; }
void HeapWatch::PoisonNewBlocks(bool poison) { g_heap->poison = poison; }

// ---- GDI copies ------------------------------------------------------------------------------

namespace {

struct GdiState {
    HANDLE(WINAPI* copyImage)(HANDLE, UINT, int, int, UINT) = nullptr;
    HENHMETAFILE(WINAPI* copyEnhMetaFile)(HENHMETAFILE, LPCSTR) = nullptr;
    HMETAFILE(WINAPI* copyMetaFile)(HMETAFILE, LPCSTR) = nullptr;
    BOOL(WINAPI* deleteObject)(HGDIOBJ) = nullptr;
    BOOL(WINAPI* deleteEnhMetaFile)(HENHMETAFILE) = nullptr;
    BOOL(WINAPI* deleteMetaFile)(HMETAFILE) = nullptr;
    HANDLE(WINAPI* setClipboardData)(UINT, HANDLE) = nullptr;
    HGLOBAL(WINAPI* globalFree)(HGLOBAL) = nullptr;
    std::set<void*> owned;
    int made = 0;
    bool refuseGdi = false;
    bool refuseAll = false;
    bool failMetaFileCopies = false;
    std::vector<UINT> formatsSet;
    std::vector<std::pair<UINT, std::vector<unsigned char>>> blocksSet;
    std::set<void*> refusedGlobals;
    int refusedCount = 0;
    int refusedFreed = 0;
};
GdiState* g_gdi = nullptr;

void Made(void* handle) {
    if (handle == nullptr) return;
    ++g_gdi->made;
    g_gdi->owned.insert(handle);
}

HANDLE WINAPI WatchedCopyImage(HANDLE image, UINT type, int width, int height, UINT flags) {
    HANDLE copy = g_gdi->copyImage(image, type, width, height, flags);
    Made(copy);
    return copy;
}

HENHMETAFILE WINAPI WatchedCopyEnhMetaFile(HENHMETAFILE metafile, LPCSTR file) {
    HENHMETAFILE copy = g_gdi->copyEnhMetaFile(metafile, file);
    Made(copy);
    return copy;
}

HMETAFILE WINAPI WatchedCopyMetaFile(HMETAFILE metafile, LPCSTR file) {
    if (g_gdi->failMetaFileCopies) return nullptr;
    HMETAFILE copy = g_gdi->copyMetaFile(metafile, file);
    Made(copy);
    return copy;
}

BOOL WINAPI WatchedDeleteObject(HGDIOBJ object) {
    g_gdi->owned.erase(object);
    return g_gdi->deleteObject(object);
}

BOOL WINAPI WatchedDeleteEnhMetaFile(HENHMETAFILE metafile) {
    g_gdi->owned.erase(metafile);
    return g_gdi->deleteEnhMetaFile(metafile);
}

BOOL WINAPI WatchedDeleteMetaFile(HMETAFILE metafile) {
    g_gdi->owned.erase(metafile);
    return g_gdi->deleteMetaFile(metafile);
}

HANDLE WINAPI WatchedSetClipboardData(UINT format, HANDLE data) {
    const bool gdi = format == CF_BITMAP || format == CF_ENHMETAFILE || format == CF_DSPBITMAP ||
                     format == CF_DSPENHMETAFILE || format == CF_PALETTE;
    if (g_gdi->refuseAll || (g_gdi->refuseGdi && gdi)) {
        if (!gdi && data != nullptr) {
            g_gdi->refusedGlobals.insert(data);
            ++g_gdi->refusedCount;
        }
        return nullptr;
    }
    if (data != nullptr && !gdi) {
        const auto* bytes = static_cast<const unsigned char*>(GlobalLock(data));
        g_gdi->blocksSet.push_back({format, {}});
        if (bytes != nullptr)
            g_gdi->blocksSet.back().second.assign(bytes, bytes + GlobalSize(data));
        GlobalUnlock(data);
    }
    g_gdi->formatsSet.push_back(format);
    HMETAFILE carried = nullptr;
    const bool picture = format == CF_METAFILEPICT || format == CF_DSPMETAFILEPICT;
    if (picture && data != nullptr && GlobalSize(data) >= sizeof(METAFILEPICT)) {
        METAFILEPICT picture;
        std::memcpy(&picture, GlobalLock(data), sizeof(picture));
        GlobalUnlock(data);
        carried = picture.hMF;
    }
    HANDLE result = g_gdi->setClipboardData(format, data);
    if (result != nullptr) {
        g_gdi->owned.erase(data);
        if (carried != nullptr) g_gdi->owned.erase(carried);
    }
    return result;
}

HGLOBAL WINAPI WatchedGlobalFree(HGLOBAL block) {
    if (g_gdi->refusedGlobals.erase(block) > 0) ++g_gdi->refusedFreed;
    return g_gdi->globalFree(block);
}

}  // namespace

GdiWatch::GdiWatch(HMODULE module) {
    g_gdi = new GdiState();
    AddPatch(patches_, module, "user32.dll", "CopyImage", &WatchedCopyImage, &g_gdi->copyImage);
    AddPatch(patches_, module, "gdi32.dll", "CopyEnhMetaFileA", &WatchedCopyEnhMetaFile,
             &g_gdi->copyEnhMetaFile);
    AddPatch(patches_, module, "gdi32.dll", "CopyMetaFileA", &WatchedCopyMetaFile,
             &g_gdi->copyMetaFile);
    AddPatch(patches_, module, "gdi32.dll", "DeleteObject", &WatchedDeleteObject,
             &g_gdi->deleteObject);
    AddPatch(patches_, module, "gdi32.dll", "DeleteEnhMetaFile", &WatchedDeleteEnhMetaFile,
             &g_gdi->deleteEnhMetaFile);
    AddPatch(patches_, module, "gdi32.dll", "DeleteMetaFile", &WatchedDeleteMetaFile,
             &g_gdi->deleteMetaFile);
    AddPatch(patches_, module, "user32.dll", "SetClipboardData", &WatchedSetClipboardData,
             &g_gdi->setClipboardData);
    AddPatch(patches_, module, "kernel32.dll", "GlobalFree", &WatchedGlobalFree,
             &g_gdi->globalFree);
}

GdiWatch::~GdiWatch() {
    patches_.clear();
    delete g_gdi;
    g_gdi = nullptr;
}

bool GdiWatch::active() const {
    return g_gdi->copyImage && g_gdi->copyEnhMetaFile && g_gdi->copyMetaFile &&
           g_gdi->deleteObject && g_gdi->deleteEnhMetaFile && g_gdi->deleteMetaFile &&
           g_gdi->setClipboardData && g_gdi->globalFree;
}
int GdiWatch::copiesMade() const { return g_gdi->made; }
int GdiWatch::stillOwned() const { return static_cast<int>(g_gdi->owned.size()); }
void GdiWatch::RefuseGdiHandles(bool refuse) { g_gdi->refuseGdi = refuse; }
void GdiWatch::RefuseEverything(bool refuse) { g_gdi->refuseAll = refuse; }
void GdiWatch::FailMetaFileCopies(bool fail) { g_gdi->failMetaFileCopies = fail; }
const std::vector<UINT>& GdiWatch::formatsSet() const { return g_gdi->formatsSet; }
const std::vector<std::pair<UINT, std::vector<unsigned char>>>& GdiWatch::blocksSet() const {
    return g_gdi->blocksSet;
}
int GdiWatch::refusedGlobals() const { return g_gdi->refusedCount; }
int GdiWatch::refusedGlobalsFreed() const { return g_gdi->refusedFreed; }

// ---- A Unicode text block of the test's making -----------------------------------------------

namespace {

struct StandInState {
    HANDLE(WINAPI* getClipboardData)(UINT) = nullptr;
    HGLOBAL block = nullptr;
    UINT format = CF_UNICODETEXT;
    bool armed = false;
    int handedOut = 0;
};
StandInState* g_standIn = nullptr;

HANDLE WINAPI StandInGetClipboardData(UINT format) {
    if (format != g_standIn->format || !g_standIn->armed) {
        return g_standIn->getClipboardData(format);
    }
    ++g_standIn->handedOut;
    return g_standIn->block;
}

}  // namespace

UnicodeTextStandIn::UnicodeTextStandIn(HMODULE module, const std::vector<unsigned char>& bytes,
                                       UINT format) {
    g_standIn = new StandInState();
    g_standIn->format = format;
    g_standIn->block = GlobalFromBytes(bytes.data(), bytes.size());
    AddPatch(patches_, module, "user32.dll", "GetClipboardData", &StandInGetClipboardData,
             &g_standIn->getClipboardData);
}

UnicodeTextStandIn::~UnicodeTextStandIn() {
    patches_.clear();
    GlobalFree(g_standIn->block);
    delete g_standIn;
    g_standIn = nullptr;
}

bool UnicodeTextStandIn::active() const {
    return g_standIn->getClipboardData != nullptr && g_standIn->block != nullptr;
}
void UnicodeTextStandIn::Arm(bool armed) { g_standIn->armed = armed; }
int UnicodeTextStandIn::handedOut() const { return g_standIn->handedOut; }

// ---- Clipboard calls ---------------------------------------------------------------------------

namespace {

struct CallState {
    BOOL(WINAPI* openClipboard)(HWND) = nullptr;
    BOOL(WINAPI* closeClipboard)() = nullptr;
    UINT(WINAPI* registerFormat)(LPCSTR) = nullptr;
    std::vector<std::string> registered;
    int opens = 0;
    int failedOpens = 0;
    int closes = 0;
    int actionAt = 0;
    void (*action)(void*) = nullptr;
    void* context = nullptr;
};
CallState* g_calls = nullptr;

BOOL WINAPI WatchedOpenClipboard(HWND owner) {
    ++g_calls->opens;
    const BOOL opened = g_calls->openClipboard(owner);
    if (!opened) ++g_calls->failedOpens;
    return opened;
}

UINT WINAPI WatchedRegisterFormat(LPCSTR name) {
    g_calls->registered.push_back(name);
    return g_calls->registerFormat(name);
}

BOOL WINAPI WatchedCloseClipboard() {
    const BOOL closed = g_calls->closeClipboard();
    const int count = ++g_calls->closes;
    if (g_calls->action != nullptr && (g_calls->actionAt == 0 || count == g_calls->actionAt)) {
        g_calls->action(g_calls->context);
    }
    return closed;
}

}  // namespace

ClipboardCallWatch::ClipboardCallWatch(HMODULE module) {
    g_calls = new CallState();
    AddPatch(patches_, module, "user32.dll", "OpenClipboard", &WatchedOpenClipboard,
             &g_calls->openClipboard);
    AddPatch(patches_, module, "user32.dll", "CloseClipboard", &WatchedCloseClipboard,
             &g_calls->closeClipboard);
    AddPatch(patches_, module, "user32.dll", "RegisterClipboardFormatA", &WatchedRegisterFormat,
             &g_calls->registerFormat);
}

ClipboardCallWatch::~ClipboardCallWatch() {
    patches_.clear();
    delete g_calls;
    g_calls = nullptr;
}

int ClipboardCallWatch::opens() const { return g_calls->opens; }
const std::vector<std::string>& ClipboardCallWatch::registeredNames() const {
    return g_calls->registered;
}
int ClipboardCallWatch::failedOpens() const { return g_calls->failedOpens; }
int ClipboardCallWatch::closes() const { return g_calls->closes; }
void ClipboardCallWatch::AfterClose(int n, void (*action)(void*), void* context) {
    g_calls->actionAt = n;
    g_calls->action = action;
    g_calls->context = context;
}

}  // namespace rig

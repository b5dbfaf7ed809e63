// Helpers of the clipboard tests: the clipboard read into comparable records, contents placed
// by another window, another process that holds the clipboard, the capture's test build, and
// accounting of what a loaded module allocates, with failures injected through its imports.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "rig/import_patch.h"

namespace rig {

// Opens the clipboard, trying for up to a second: Wine's clipboard bridge may hold it a moment.
bool OpenClipboardRetrying(HWND owner);

// What one clipboard format held, in a form that compares across a round trip.
struct FormatRecord {
    enum class Kind { kNoData, kBytes, kBitmap, kEnhMetaFile, kMetaFilePict };
    UINT id = 0;
    std::string name;
    Kind kind = Kind::kNoData;
    // Block bytes; the bitmap's pixels (32 bits, top-down); the metafile's records.
    std::vector<unsigned char> bytes;
    LONG width = 0, height = 0;  // the bitmap's size, or the picture's extents
    LONG mapMode = 0;            // the picture's mapping mode
};
using ClipboardSnapshot = std::vector<FormatRecord>;

// Every format on the clipboard, in enumeration order, with its contents.
ClipboardSnapshot TakeSnapshot(HWND reader);
std::vector<UINT> FormatIds(const ClipboardSnapshot& snapshot);
const FormatRecord* FindFormat(const ClipboardSnapshot& snapshot, UINT id);
// Empty when the two hold the same; otherwise what differs.
std::string Difference(const FormatRecord& before, const FormatRecord& after);
// The same for whole snapshots: every format of before is in after as it was, after holds
// nothing else, and the formats both hold enumerate in the same order.
std::string Difference(const ClipboardSnapshot& before, const ClipboardSnapshot& after);

// A top-level window of its own that places contents the way another program would.
class ClipboardSource {
public:
    ClipboardSource();
    ~ClipboardSource();
    ClipboardSource(const ClipboardSource&) = delete;
    ClipboardSource& operator=(const ClipboardSource&) = delete;
    HWND window() const { return window_; }
    // Empties the clipboard and sets each format; the handles become the clipboard's.
    bool Place(const std::vector<std::pair<UINT, HANDLE>>& items);

private:
    HWND window_;
};

HGLOBAL GlobalFromBytes(const void* data, size_t size);
HGLOBAL GlobalText(const std::wstring& text);    // NUL included
HGLOBAL GlobalAnsi(const std::string& text);     // NUL included
std::wstring ClipboardUnicodeText(HWND reader);  // empty when there is none
// A 32-bit bitmap whose pixels follow from seed.
HBITMAP MakeBitmap(int width, int height, std::uint32_t seed);
HENHMETAFILE MakeEnhMetaFile(int shapes);
// A CF_METAFILEPICT block carrying a freshly drawn metafile.
HGLOBAL MakeMetaFilePicture(int shapes);

// Another process that opens the clipboard on request and keeps it open for a while.
class ClipboardHolder {
public:
    ClipboardHolder();
    ~ClipboardHolder();
    ClipboardHolder(const ClipboardHolder&) = delete;
    ClipboardHolder& operator=(const ClipboardHolder&) = delete;
    bool started() const { return process_ != nullptr; }
    // Asks for the clipboard to be held for the given time; true once the holder has it.
    // Pumps this thread's messages meanwhile: under Wine the other process's OpenClipboard
    // can wait for an answer from the windows of the clipboard's owner.
    bool Hold(DWORD milliseconds);
    // Ends the hold at once (or waits for its end) and waits until the clipboard is free.
    void Release();
    // Waits until a hold has ended by itself.
    bool WaitReleased(DWORD milliseconds);

private:
    std::string tag_;
    HANDLE ready_ = nullptr, hold_ = nullptr, held_ = nullptr, release_ = nullptr,
           released_ = nullptr, quit_ = nullptr, mapping_ = nullptr, process_ = nullptr;
    volatile DWORD* shared_ = nullptr;
};

// The capture's test build, loaded for one test.
class CaptureProbe {
public:
    CaptureProbe();
    ~CaptureProbe();
    CaptureProbe(const CaptureProbe&) = delete;
    CaptureProbe& operator=(const CaptureProbe&) = delete;
    explicit operator bool() const { return module_ != nullptr; }
    HMODULE module() const { return module_; }
    std::uint32_t (*Capture)(HWND) = nullptr;
    const wchar_t* (*SelectedText)() = nullptr;
    void (*ReleaseSelectedText)() = nullptr;
    int (*Backup)(HWND, int) = nullptr;
    int (*Restore)(HWND) = nullptr;
    void (*Clear)() = nullptr;

private:
    HMODULE module_;
};

// Counts a module's heap blocks (msvcrt malloc, calloc, realloc, free) and global blocks, and
// makes the chosen allocation fail. One watch at a time; the module must outlive it.
class HeapWatch {
public:
    explicit HeapWatch(HMODULE module);
    ~HeapWatch();
    HeapWatch(const HeapWatch&) = delete;
    HeapWatch& operator=(const HeapWatch&) = delete;
    bool active() const;
    long liveBlocks() const;  // heap blocks taken and not yet given back
    long long liveBytes() const;
    long long peakBytes() const;
    int heapAllocations() const;
    int globalAllocations() const;
    const std::vector<UINT>& globalFlags() const;  // of each GlobalAlloc, in call order
    // The n-th heap (or global) allocation from now on fails, counting from 1; 0 for none.
    void FailHeapAllocation(int n);
    void FailGlobalAllocation(int n);
    bool injected() const;  // an injected failure has happened
    // While set, blocks from malloc are filled with 0xA5 bytes, so that whatever the module reads
    // without having written it shows up instead of happening to be zero.
    void PoisonNewBlocks(bool poison);

private:
    PatchList patches_;
};

// GDI objects a module made by copying (bitmaps, metafiles) and has not destroyed, minus the
// ones the clipboard took over. One watch at a time.
class GdiWatch {
public:
    explicit GdiWatch(HMODULE module);
    ~GdiWatch();
    GdiWatch(const GdiWatch&) = delete;
    GdiWatch& operator=(const GdiWatch&) = delete;
    bool active() const;
    int copiesMade() const;
    int stillOwned() const;  // made, not destroyed, not accepted by SetClipboardData
    // SetClipboardData refuses every GDI handle (bitmaps, enhanced metafiles) while set.
    void RefuseGdiHandles(bool refuse);
    // SetClipboardData refuses every call while set; global blocks handed to it are counted.
    void RefuseEverything(bool refuse);
    // CopyMetaFileA fails while set.
    void FailMetaFileCopies(bool fail);
    // Every format handed to SetClipboardData, in call order, refused or not; and the bytes
    // of each global block among them.
    const std::vector<UINT>& formatsSet() const;
    const std::vector<std::pair<UINT, std::vector<unsigned char>>>& blocksSet() const;
    int refusedGlobals() const;
    // Refused global blocks that the module has since freed.
    int refusedGlobalsFreed() const;

private:
    PatchList patches_;
};

// While armed, the module's GetClipboardData(format) returns a block of the given bytes
// instead of the clipboard's: Unicode text as from a program that does not end it with a NUL
// (the clipboard under Wine writes one into the last character of every text it is given), or
// a block that Wine's clipboard would refuse to hold.
class UnicodeTextStandIn {
public:
    UnicodeTextStandIn(HMODULE module, const std::vector<unsigned char>& bytes,
                       UINT format = CF_UNICODETEXT);
    ~UnicodeTextStandIn();
    UnicodeTextStandIn(const UnicodeTextStandIn&) = delete;
    UnicodeTextStandIn& operator=(const UnicodeTextStandIn&) = delete;
    bool active() const;
    void Arm(bool armed);
    int handedOut() const;  // how often the stand-in block was returned

private:
    PatchList patches_;
};

// Counts the module's OpenClipboard and CloseClipboard calls. A callback may run once the
// n-th close is done, before the module goes on (n 0: after every close).
class ClipboardCallWatch {
public:
    explicit ClipboardCallWatch(HMODULE module);
    ~ClipboardCallWatch();
    ClipboardCallWatch(const ClipboardCallWatch&) = delete;
    ClipboardCallWatch& operator=(const ClipboardCallWatch&) = delete;
    int opens() const;
    int failedOpens() const;
    // The names given to RegisterClipboardFormatA, in call order.
    const std::vector<std::string>& registeredNames() const;
    int closes() const;
    void AfterClose(int n, void (*action)(void*), void* context);

private:
    PatchList patches_;
};

}  // namespace rig

#include "capture/clipboard_backup.h"

#include <cstring>
#include <memory>
#include <new>

#include "common/win_handles.h"

namespace cvt {

ClipboardBackup SavedClipboard;

namespace {

// Formats up to this one are predefined and have no registered name.
constexpr UINT kLastPredefinedFormat = 17;
constexpr UINT kFirstRegisteredFormat = 0xC000;
constexpr UINT kGlobalFlags = GMEM_MOVEABLE | GMEM_DDESHARE;

// How long one wait for the clipboard may sleep before it tries again.
constexpr DWORD kOpenPause = 5;

bool IsTextFormat(UINT format) {
    return format == CF_TEXT || format == CF_OEMTEXT || format == CF_UNICODETEXT;
}

// Formats that are never saved: a private format's data (0x200 to 0x2FF) and owner-display
// painting mean something only inside the process that placed them, and neither can be
// rendered again once that owner has let go of the clipboard. The GDI object formats (0x300 to
// 0x3FF) hold a handle that the system does not free when the clipboard is emptied: each one
// put back would leak a block.
bool IsOwnersOnly(UINT format) {
    return format == CF_OWNERDISPLAY || (format >= CF_PRIVATEFIRST && format <= CF_PRIVATELAST) ||
           (format >= CF_GDIOBJFIRST && format <= CF_GDIOBJLAST);
}

// The end of the current gesture's time for clipboard waits, while one runs.
bool BudgetRunning = false;
DWORD BudgetStart = 0;
DWORD BudgetLength = 0;

DWORD BudgetLeft() {
    const DWORD spent = GetTickCount() - BudgetStart;
    return spent < BudgetLength ? BudgetLength - spent : 0;
}

// The GDI objects some formats carry instead of a global block; the display forms carry the
// same objects as their plain forms.
enum class GdiKind { kNone, kBitmap, kEnhMetaFile, kPalette };

GdiKind GdiKindOf(UINT format) {
    switch (format) {
        case CF_BITMAP:
        case CF_DSPBITMAP:
            return GdiKind::kBitmap;
        case CF_ENHMETAFILE:
        case CF_DSPENHMETAFILE:
            return GdiKind::kEnhMetaFile;
        case CF_PALETTE:
            return GdiKind::kPalette;
        default:
            return GdiKind::kNone;
    }
}

// A metafile picture, plain or the display form, whose block is big enough to carry the
// metafile handle.
bool CarriesMetaFile(const ClipboardEntry& entry) {
    return (entry.formatId == CF_METAFILEPICT || entry.formatId == CF_DSPMETAFILEPICT) &&
           entry.size >= sizeof(METAFILEPICT);
}

void ReleaseEntry(ClipboardEntry* entry) {
    if (entry->data != nullptr) {
        if (entry->size > 0) {
            delete[] static_cast<unsigned char*>(entry->data);
        } else if (GdiKindOf(entry->formatId) == GdiKind::kEnhMetaFile) {
            DeleteEnhMetaFile(static_cast<HENHMETAFILE>(entry->data));
        } else {
            DeleteObject(static_cast<HGDIOBJ>(entry->data));  // a bitmap or a palette
        }
    }
    delete entry;  // and with it the copy of a picture's metafile
}

struct EntryReleaser {
    void operator()(ClipboardEntry* entry) const { ReleaseEntry(entry); }
};
using OwnedEntry = std::unique_ptr<ClipboardEntry, EntryReleaser>;

// A palette of the same colours; null when it cannot be made.
HPALETTE CopyPalette(HPALETTE source) {
    WORD count = 0;
    if (GetObjectA(source, sizeof(count), &count) == 0 || count == 0) return nullptr;
    // LOGPALETTE holds the first of its entries itself.
    const std::size_t bytes = sizeof(LOGPALETTE) + (count - 1u) * sizeof(PALETTEENTRY);
    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[bytes]);
    if (!buffer) return nullptr;
    auto* palette = reinterpret_cast<LOGPALETTE*>(buffer.get());
    palette->palVersion = 0x300;
    palette->palNumEntries = count;
    if (GetPaletteEntries(source, 0, count, palette->palPalEntry) != count) return nullptr;
    return CreatePalette(palette);
}

void* CopyGdiObject(GdiKind kind, HANDLE handle) {
    switch (kind) {
        case GdiKind::kBitmap:
            return CopyImage(handle, IMAGE_BITMAP, 0, 0, 0);
        case GdiKind::kEnhMetaFile:
            return CopyEnhMetaFileA(static_cast<HENHMETAFILE>(handle), nullptr);
        case GdiKind::kPalette:
            return CopyPalette(static_cast<HPALETTE>(handle));
        case GdiKind::kNone:
            break;
    }
    return nullptr;
}

// Whether a capture that keeps only text keeps this format too: the three text formats, and
// the privacy marks, without which the restored text would land in clipboard history.
bool KeptInTextOnlyMode(UINT format) {
    if (IsTextFormat(format)) return true;
    if (format < kFirstRegisteredFormat) return false;
    char name[kClipboardNameCapacity];
    return GetClipboardFormatNameA(format, name, sizeof(name)) != 0 && IsPrivacyMarkName(name);
}

enum class SaveOutcome { kSaved, kSkipped, kOutOfMemory };

// Copies the global block into the entry. False only when the heap copy cannot be made; a
// block that cannot be locked is kept as an entry without data.
bool CopyGlobalBlock(HANDLE handle, ClipboardEntry& entry) {
    const SIZE_T size = GlobalSize(handle);
    if (size == 0) return true;
    std::unique_ptr<unsigned char[]> copy(new (std::nothrow) unsigned char[size]);
    if (!copy) return false;
    GlobalLockView view(handle);
    if (view.data() == nullptr) return true;
    std::memcpy(copy.get(), view.data(), size);
    entry.size = static_cast<std::uint32_t>(size);
    entry.data = copy.release();
    return true;
}

// Keeps a metafile picture alive past EmptyClipboard by copying the metafile it refers to.
// A picture without a metafile has nothing to keep alive. False when the copy fails: the
// saved block would point at a deleted metafile.
bool CopyPictureMetaFile(ClipboardEntry& entry) {
    METAFILEPICT picture;
    std::memcpy(&picture, entry.data, sizeof(picture));
    if (picture.hMF == nullptr) return true;
    entry.metaFile.reset(CopyMetaFileA(picture.hMF, nullptr));
    return static_cast<bool>(entry.metaFile);
}

OwnedEntry SaveFormat(UINT format, SaveOutcome* outcome) {
    OwnedEntry entry(new (std::nothrow) ClipboardEntry());
    if (!entry) {
        *outcome = SaveOutcome::kOutOfMemory;
        return nullptr;
    }
    entry->formatId = format;
    if (format > kLastPredefinedFormat &&
        GetClipboardFormatNameA(format, entry->name, sizeof(entry->name)) == 0) {
        entry->name[0] = '\0';
    }
    HANDLE handle = GetClipboardData(format);
    if (handle == nullptr) {
        *outcome = SaveOutcome::kSkipped;
        return nullptr;
    }
    const GdiKind gdiKind = GdiKindOf(format);
    if (gdiKind != GdiKind::kNone) {
        entry->data = CopyGdiObject(gdiKind, handle);
    } else {
        if (!CopyGlobalBlock(handle, *entry)) {
            *outcome = SaveOutcome::kOutOfMemory;
            return nullptr;
        }
        // A picture whose metafile cannot be copied is left out, like a format without
        // data: put back, it would name a metafile that EmptyClipboard deletes.
        if (CarriesMetaFile(*entry) && !CopyPictureMetaFile(*entry)) {
            *outcome = SaveOutcome::kSkipped;
            return nullptr;
        }
    }
    // Nothing to put back (an empty block, one that cannot be locked, a failed copy): put back
    // without data, the format would be a promise that nobody renders.
    if (entry->data == nullptr) {
        *outcome = SaveOutcome::kSkipped;
        return nullptr;
    }
    *outcome = SaveOutcome::kSaved;
    return entry;
}

void PutBack(ClipboardEntry& entry) {
    UINT format = entry.formatId;
    if (entry.name[0] != '\0') {
        const UINT registered = RegisterClipboardFormatA(entry.name);
        if (registered != 0) format = registered;
    }
    if (entry.data == nullptr) return;  // never a null handle: that promises delayed rendering
    if (entry.size == 0) {
        // A GDI object accepted by the clipboard is the clipboard's to delete.
        if (SetClipboardData(format, entry.data) != nullptr) entry.data = nullptr;
        return;
    }
    // A picture saved without a metafile had a null handle and goes back as its bytes.
    const bool picture = CarriesMetaFile(entry) && entry.metaFile;
    GlobalMemory block(GlobalAlloc(kGlobalFlags, entry.size));
    if (!block) return;
    {
        GlobalLockView view(block.get());
        if (view.data() == nullptr) return;
        std::memcpy(view.data(), entry.data, entry.size);
        if (picture) {
            // The fresh block carries the saved copy of the metafile.
            METAFILEPICT header;
            std::memcpy(&header, view.data(), sizeof(header));
            header.hMF = entry.metaFile.get();
            std::memcpy(view.data(), &header, sizeof(header));
        }
    }
    // A refused block is still ours and goes with the wrapper.
    if (SetClipboardData(format, block.get()) == nullptr) return;
    block.release();
    if (picture) entry.metaFile.release();  // the clipboard deletes it with the block
}

// The next format on the open clipboard, or 0. A 0 that comes with an error ends an
// enumeration that is not complete; *broken then says so.
UINT NextFormat(UINT format, bool* broken) {
    SetLastError(ERROR_SUCCESS);
    const UINT next = EnumClipboardFormats(format);
    if (next == 0 && GetLastError() != ERROR_SUCCESS) *broken = true;
    return next;
}

}  // namespace

ClipboardWaitBudget::ClipboardWaitBudget(DWORD milliseconds) {
    BudgetRunning = true;
    BudgetStart = GetTickCount();
    BudgetLength = milliseconds;
}

ClipboardWaitBudget::~ClipboardWaitBudget() { BudgetRunning = false; }

bool OpenClipboardPatiently(HWND owner, DWORD patience) {
    if (BudgetRunning && BudgetLeft() < patience) patience = BudgetLeft();
    const DWORD start = GetTickCount();
    for (;;) {
        if (OpenClipboard(owner)) return true;
        const DWORD waited = GetTickCount() - start;
        if (waited >= patience) return false;
        // PeekMessage delivers the messages other threads have sent to this one and takes
        // nothing out of the queue; the wait wakes early for the next such message.
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        const DWORD pause = patience - waited < kOpenPause ? patience - waited : kOpenPause;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, pause, QS_SENDMESSAGE);
    }
}

bool IsPrivacyMarkName(const char* name) {
    static const char* const kMarks[] = {
        "ExcludeClipboardContentFromMonitorProcessing",
        "CanIncludeInClipboardHistory",
        "CanUploadToCloudClipboard",
        "Clipboard Viewer Ignore",
    };
    for (const char* mark : kMarks) {
        if (std::strcmp(name, mark) == 0) return true;
    }
    return false;
}

ClipboardBackup::~ClipboardBackup() {
    Clear();
    delete[] entries_.items;
}

bool ClipboardBackup::Append(ClipboardEntry* entry) {
    if (entries_.count == entries_.capacity) {
        const std::size_t capacity = entries_.capacity == 0 ? 8 : entries_.capacity * 2;
        auto* items = new (std::nothrow) ClipboardEntry*[capacity];
        if (items == nullptr) return false;
        if (entries_.count > 0) {
            std::memcpy(items, entries_.items, entries_.count * sizeof(ClipboardEntry*));
        }
        delete[] entries_.items;
        entries_.items = items;
        entries_.capacity = capacity;
    }
    entries_.items[entries_.count++] = entry;
    return true;
}

int ClipboardBackup::Backup(HWND owner, int allFormats) {
    ClipboardSession clipboard(OpenClipboardPatiently(owner, kCapturePatience));
    if (!clipboard) return 0;
    Clear();
    bool broken = false;
    for (UINT format = NextFormat(0, &broken); format != 0; format = NextFormat(format, &broken)) {
        if (IsOwnersOnly(format)) continue;
        if (allFormats == 0 && !KeptInTextOnlyMode(format)) continue;
        SaveOutcome outcome = SaveOutcome::kSkipped;
        OwnedEntry entry = SaveFormat(format, &outcome);
        if (outcome == SaveOutcome::kSaved && Append(entry.get())) {
            entry.release();
            continue;
        }
        if (outcome == SaveOutcome::kSkipped) continue;
        // Out of memory: the user's clipboard is still whole, so leave it so and save
        // nothing rather than empty it with only part of it saved.
        Clear();
        return 0;
    }
    // Likewise when the enumeration broke off: the formats after it were never saved.
    if (broken) {
        Clear();
        return 0;
    }
    // Left as it is: the host's copy replaces it, and every change of the clipboard wakes
    // clipboard history, remote desktop and clipboard managers, which then hold it.
    sequence_ = GetClipboardSequenceNumber();
    return 1;
}

int ClipboardBackup::Restore(HWND owner, DWORD patience, DWORD expectedSequence) {
    ClipboardSession clipboard(OpenClipboardPatiently(owner, patience));
    if (!clipboard) return 0;
    // Compared while the clipboard is ours, so nothing can come between: something copied
    // since the host's copy is the user's newer choice and stays.
    const DWORD sequence = GetClipboardSequenceNumber();
    if (expectedSequence != kAnySequence && sequence != 0 && sequence != expectedSequence) {
        clipboard.Close();
        Clear();
        return 1;
    }
    EmptyClipboard();
    for (std::size_t i = 0; i < entries_.count; ++i) PutBack(*entries_.items[i]);
    clipboard.Close();
    Clear();
    return 1;
}

void ClipboardBackup::Clear() {
    for (std::size_t i = 0; i < entries_.count; ++i) ReleaseEntry(entries_.items[i]);
    entries_.count = 0;
}

}  // namespace cvt

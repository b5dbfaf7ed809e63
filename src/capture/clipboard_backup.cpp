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
constexpr UINT kGlobalFlags = GMEM_MOVEABLE | GMEM_DDESHARE;

// About 100 ms of tries a few milliseconds apart: long enough for a viewer that renders or
// peeks, short enough not to freeze the host's window. The limit is on the time, not on the
// number of tries, because Sleep may take a whole timer tick (about 16 ms) for a short pause.
constexpr DWORD kOpenPatience = 100;
constexpr DWORD kOpenPause = 5;

bool IsTextFormat(UINT format) {
    return format == CF_TEXT || format == CF_OEMTEXT || format == CF_UNICODETEXT;
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
        } else if (entry->formatId == CF_BITMAP) {
            DeleteObject(static_cast<HGDIOBJ>(entry->data));
        } else if (entry->formatId == CF_ENHMETAFILE) {
            DeleteEnhMetaFile(static_cast<HENHMETAFILE>(entry->data));
        }
    }
    delete entry;  // and with it the copy of a picture's metafile
}

struct EntryReleaser {
    void operator()(ClipboardEntry* entry) const { ReleaseEntry(entry); }
};
using OwnedEntry = std::unique_ptr<ClipboardEntry, EntryReleaser>;

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
    if (format == CF_BITMAP) {
        entry->data = CopyImage(handle, IMAGE_BITMAP, 0, 0, 0);
    } else if (format == CF_ENHMETAFILE) {
        entry->data = CopyEnhMetaFileA(static_cast<HENHMETAFILE>(handle), nullptr);
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
    *outcome = SaveOutcome::kSaved;
    return entry;
}

void PutBack(ClipboardEntry& entry) {
    UINT format = entry.formatId;
    if (entry.name[0] != '\0') {
        const UINT registered = RegisterClipboardFormatA(entry.name);
        if (registered != 0) format = registered;
    }
    if (entry.size == 0) {
        // A null handle announces the format for delayed rendering by the owner.
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

bool OpenClipboardPatiently(HWND owner) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (OpenClipboard(owner)) return true;
        if (GetTickCount() - start >= kOpenPatience) return false;
        Sleep(kOpenPause);
    }
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
    ClipboardSession clipboard(OpenClipboardPatiently(owner));
    if (!clipboard) return 0;
    Clear();
    bool broken = false;
    for (UINT format = NextFormat(0, &broken); format != 0; format = NextFormat(format, &broken)) {
        if (allFormats == 0 && !IsTextFormat(format)) continue;
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
    EmptyClipboard();
    return 1;
}

int ClipboardBackup::Restore(HWND owner) {
    ClipboardSession clipboard(OpenClipboardPatiently(owner));
    if (!clipboard) return 0;
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

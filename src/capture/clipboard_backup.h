// Saving what the user has on the clipboard just before a capture and putting it back just
// after, so that fetching a selection through the clipboard loses nothing.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "common/win_handles.h"

namespace cvt {

// Registered format names have at most 255 characters; the field holds a whole one with its
// NUL, so that a long name registers to the same id again.
inline constexpr std::size_t kClipboardNameCapacity = 256;

// One saved clipboard format. Allocated zero-filled; the backup's list owns it.
struct ClipboardEntry {
    std::uint32_t formatId;             // as EnumClipboardFormats reported it
    char name[kClipboardNameCapacity];  // registered name, empty for formats without one
    // Byte count of the heap copy in data; 0 when data is a GDI handle or there is no data.
    std::uint32_t size;
    // A heap copy of the global block (size > 0), an owned bitmap (format 2) or enhanced
    // metafile (format 14) (size 0), or null.
    void* data;
    // For a metafile picture (CF_METAFILEPICT or CF_DSPMETAFILEPICT): an owned copy of the
    // metafile its block points at, or null when the block names none. The system deletes the
    // original when the clipboard is emptied, so the bytes alone would dangle.
    MetaFile metaFile;
};

// Opens the clipboard for owner. Another program may hold it for a moment (a clipboard
// viewer, the X11 bridge under Wine), so this tries again for about 100 ms before failing.
bool OpenClipboardPatiently(HWND owner);

class ClipboardBackup {
public:
    ClipboardBackup() = default;
    virtual ~ClipboardBackup();
    ClipboardBackup(const ClipboardBackup&) = delete;
    ClipboardBackup& operator=(const ClipboardBackup&) = delete;

    // Saves the clipboard (every format when allFormats is non-zero, otherwise CF_TEXT,
    // CF_OEMTEXT and CF_UNICODETEXT) and empties it under owner. 1 on success; 0 when the
    // clipboard cannot be opened, its formats cannot all be listed or memory for the copies
    // runs out, and the clipboard is then left as it was, with nothing saved.
    int Backup(HWND owner, int allFormats);
    // Puts the saved formats back under owner, then clears. 0 when the clipboard cannot be
    // opened; the saved formats then stay until the next Backup or Clear.
    int Restore(HWND owner);
    // Releases every saved entry. The list's storage stays for the next Backup.
    void Clear();

private:
    // Append fails only when the list cannot grow; the entry then stays the caller's.
    bool Append(ClipboardEntry* entry);

    struct EntryList {
        ClipboardEntry** items = nullptr;
        std::size_t count = 0;
        std::size_t capacity = 0;
    };
    EntryList entries_;
};

// The one backup, used by the selection capture.
extern ClipboardBackup SavedClipboard;

}  // namespace cvt

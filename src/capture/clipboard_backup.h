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
    // A heap copy of the global block (size > 0), or an owned copy of a GDI object (size 0): a
    // bitmap (CF_BITMAP, CF_DSPBITMAP), an enhanced metafile (CF_ENHMETAFILE,
    // CF_DSPENHMETAFILE) or a palette (CF_PALETTE). Never null in a saved entry: a format
    // without data is not saved, since putting it back would promise data nobody renders.
    void* data;
    // For a metafile picture (CF_METAFILEPICT or CF_DSPMETAFILEPICT): an owned copy of the
    // metafile its block points at, or null when the block names none. The system deletes the
    // original when the clipboard is emptied, so the bytes alone would dangle.
    MetaFile metaFile;
};

// How long the capture waits for the clipboard, in milliseconds: clipboard history, remote
// desktop and clipboard managers open it right after every change, each for a moment. The
// restore waits longer, since giving up there leaves the user without their clipboard.
inline constexpr DWORD kCapturePatience = 500;
inline constexpr DWORD kRestorePatience = 1000;

// Opens the clipboard for owner, trying again until patience milliseconds have passed (0: one
// try). While it waits, messages sent to this thread are handled: the program that holds the
// clipboard may itself be waiting on this thread, for a format the host renders on request.
bool OpenClipboardPatiently(HWND owner, DWORD patience);

// The registered formats by which a program asks that its data stay out of clipboard history,
// the cloud clipboard and clipboard viewers. They go back whatever else a capture keeps.
bool IsPrivacyMarkName(const char* name);

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
    // opened within patience milliseconds; the saved formats then stay until the next Restore,
    // Backup or Clear.
    int Restore(HWND owner, DWORD patience = kRestorePatience);
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

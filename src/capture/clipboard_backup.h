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
// All waits of one gesture together: the host's thread is never held longer for the clipboard
// (the host's own copy and an owner's rendering of its data aside).
inline constexpr DWORD kGestureClipboardBudget = 2000;

// While one lives, every OpenClipboardPatiently waits at most what is left of its time.
class ClipboardWaitBudget {
public:
    explicit ClipboardWaitBudget(DWORD milliseconds);
    ~ClipboardWaitBudget();
    ClipboardWaitBudget(const ClipboardWaitBudget&) = delete;
    ClipboardWaitBudget& operator=(const ClipboardWaitBudget&) = delete;
};

// A Restore that puts back whatever the clipboard holds now.
inline constexpr DWORD kAnySequence = 0xFFFFFFFF;

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
    // CF_OEMTEXT, CF_UNICODETEXT and the privacy marks) and leaves it as it is. 1 on success;
    // 0 when the clipboard cannot be opened, its formats cannot all be listed or memory for
    // the copies runs out, and nothing is saved then.
    int Backup(HWND owner, int allFormats);
    // The clipboard's sequence number when the last Backup closed it.
    DWORD sequence() const { return sequence_; }
    // Puts the saved formats back under owner, then clears. When the clipboard's sequence
    // number, read once it is open, is not expectedSequence, something newer was copied: the
    // saved formats are dropped and the clipboard is left alone. 1 in both cases; 0 when the
    // clipboard cannot be opened within patience milliseconds, and the saved formats then
    // stay until the next Restore, Backup or Clear.
    int Restore(HWND owner, DWORD patience = kRestorePatience,
                DWORD expectedSequence = kAnySequence);
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
    DWORD sequence_ = 0;
};

// The one backup, used by the selection capture.
extern ClipboardBackup SavedClipboard;

}  // namespace cvt

// Small move-only owners for the Win32 handles the plug-in holds, so that every way out of
// a function releases what it took.
#pragma once

#include <windows.h>

#include <utility>

namespace cvt {

template <typename Handle, typename Traits>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) : handle_(handle) {}
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != Handle(); }
    Handle release() { return std::exchange(handle_, Handle()); }
    void reset(Handle handle = Handle()) {
        if (handle_ != Handle()) Traits::Close(handle_);
        handle_ = handle;
    }

private:
    Handle handle_ = Handle();
};

struct RegistryKeyTraits {
    static void Close(HKEY key) { RegCloseKey(key); }
};
using RegistryKey = UniqueHandle<HKEY, RegistryKeyTraits>;

struct GlobalMemoryTraits {
    static void Close(HGLOBAL memory) { GlobalFree(memory); }
};
using GlobalMemory = UniqueHandle<HGLOBAL, GlobalMemoryTraits>;

struct GdiObjectTraits {
    static void Close(HGDIOBJ object) { DeleteObject(object); }
};
using GdiObject = UniqueHandle<HGDIOBJ, GdiObjectTraits>;

struct EnhMetaFileTraits {
    static void Close(HENHMETAFILE metafile) { DeleteEnhMetaFile(metafile); }
};
using EnhMetaFile = UniqueHandle<HENHMETAFILE, EnhMetaFileTraits>;

struct MetaFileTraits {
    static void Close(HMETAFILE metafile) { DeleteMetaFile(metafile); }
};
using MetaFile = UniqueHandle<HMETAFILE, MetaFileTraits>;

struct LibraryTraits {
    static void Close(HMODULE module) { FreeLibrary(module); }
};
using LoadedLibrary = UniqueHandle<HMODULE, LibraryTraits>;

// A locked view of a global memory block, unlocked when it goes out of scope.
class GlobalLockView {
public:
    explicit GlobalLockView(HGLOBAL memory)
        : memory_(memory), data_(memory ? GlobalLock(memory) : nullptr) {}
    GlobalLockView(const GlobalLockView&) = delete;
    GlobalLockView& operator=(const GlobalLockView&) = delete;
    ~GlobalLockView() {
        if (data_ != nullptr) GlobalUnlock(memory_);
    }
    void* data() const { return data_; }

private:
    HGLOBAL memory_;
    void* data_;
};

// The clipboard as opened by this thread, closed again on every way out. It never opens the
// clipboard itself: callers decide how hard to try and hand over the outcome.
class ClipboardSession {
public:
    ClipboardSession() = default;
    explicit ClipboardSession(bool opened) : open_(opened) {}
    ClipboardSession(ClipboardSession&& other) noexcept
        : open_(std::exchange(other.open_, false)) {}
    ClipboardSession& operator=(ClipboardSession&& other) noexcept {
        if (this != &other) {
            Close();
            open_ = std::exchange(other.open_, false);
        }
        return *this;
    }
    ClipboardSession(const ClipboardSession&) = delete;
    ClipboardSession& operator=(const ClipboardSession&) = delete;
    ~ClipboardSession() { Close(); }

    explicit operator bool() const { return open_; }
    void Close() {
        if (open_) CloseClipboard();
        open_ = false;
    }

private:
    bool open_ = false;
};

// A window's device context with a font selected into it for measuring; the previous font
// goes back and the context is released on every way out. Only the window that got it uses
// it, so it is not moved.
class WindowFontDC {
public:
    WindowFontDC(HWND window, HFONT font) : window_(window), dc_(GetDC(window)) {
        if (dc_ != nullptr && font != nullptr) previous_ = SelectObject(dc_, font);
    }
    WindowFontDC(const WindowFontDC&) = delete;
    WindowFontDC& operator=(const WindowFontDC&) = delete;
    ~WindowFontDC() {
        if (dc_ == nullptr) return;
        if (previous_ != nullptr) SelectObject(dc_, previous_);
        ReleaseDC(window_, dc_);
    }
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
    HGDIOBJ previous_ = nullptr;
};

}  // namespace cvt

#include "rig/rig.h"

#include <cstring>
#include <vector>

namespace rig {

std::wstring BinaryDir() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path);
    return dir.substr(0, dir.find_last_of(L'\\') + 1);
}

LRESULT SendShiftO(HWND window) {
    BYTE saved[256] = {};
    GetKeyboardState(saved);
    BYTE keys[256];
    std::memcpy(keys, saved, sizeof(keys));
    keys[VK_SHIFT] = 0x80;
    SetKeyboardState(keys);
    const LRESULT result = SendMessageW(window, WM_KEYDOWN, 'O', 1);
    SetKeyboardState(saved);
    return result;
}

std::wstring PluginPath() { return BinaryDir() + L"CvTrivane.dll"; }

std::wstring ProductDllPath() {
    wchar_t named[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"CVT_PRODUCT_DLL", named, MAX_PATH);
    if (length > 0 && length < MAX_PATH) return named;
#if defined(_WIN64)
    return BinaryDir() + L"..\\..\\cross\\bin\\CvTrivane.dll";
#else
    return PluginPath();
#endif
}

ResourceFile::ResourceFile(const std::wstring& path)
    : module_(LoadLibraryExW(path.c_str(), nullptr,
                             LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {}

ResourceFile::~ResourceFile() {
    if (module_ != nullptr) FreeLibrary(module_);
}

LoadedPlugin::LoadedPlugin() : module_(LoadLibraryW(PluginPath().c_str())) {}

LoadedPlugin::~LoadedPlugin() {
    if (module_ != nullptr) FreeLibrary(module_);
}

void* LoadedPlugin::Export(const char* name) const {
    FARPROC address = GetProcAddress(module_, name);
    void* untyped;
    __builtin_memcpy(&untyped, &address, sizeof(untyped));
    return untyped;
}

void DeleteSettingsKey() { RegDeleteKeyW(HKEY_CURRENT_USER, kSettingsKey); }

void CreateSettingsKey() {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) == ERROR_SUCCESS) {
        RegCloseKey(key);
    }
}

bool SettingsKeyExists() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

void WriteRaw(const wchar_t* name, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) {
        return;
    }
    RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}

void WriteDword(const wchar_t* name, std::uint32_t value) {
    WriteRaw(name, REG_DWORD, &value, sizeof(value));
}

bool ReadValue(const wchar_t* name, DWORD* type, DWORD* size, std::uint32_t* number) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    std::vector<BYTE> data(1024);
    DWORD dataSize = static_cast<DWORD>(data.size());
    const LONG result = RegQueryValueExW(key, name, nullptr, type, data.data(), &dataSize);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS) return false;
    *size = dataSize;
    *number = 0;
    memcpy(number, data.data(), dataSize < 4 ? dataSize : 4);
    return true;
}

void DeleteValue(const wchar_t* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) {
        return;
    }
    RegDeleteValueW(key, name);
    RegCloseKey(key);
}

void PumpMessages(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    do {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    } while (GetTickCount() - start < milliseconds);
}

namespace {

struct DialogSearch {
    DWORD process;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectDialog(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<DialogSearch*>(context);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char className[16] = {};
    GetClassNameA(window, className, sizeof(className));
    if (process == search->process && lstrcmpA(className, "#32770") == 0 &&
        IsWindowVisible(window)) {
        search->found.push_back(window);
    }
    return TRUE;
}

}  // namespace

DialogWatcher::DialogWatcher(std::function<void(HWND)> handler) : handler_(std::move(handler)) {
    thread_ = CreateThread(nullptr, 0, &DialogWatcher::Run, this, 0, nullptr);
}

DialogWatcher::~DialogWatcher() {
    InterlockedExchange(&stop_, 1);
    if (thread_ != nullptr) {
        // The handler may be sending to a window of the test's thread: keep pumping.
        while (MsgWaitForMultipleObjects(1, &thread_, FALSE, 5000, QS_ALLINPUT) ==
               WAIT_OBJECT_0 + 1) {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
        CloseHandle(thread_);
    }
}

DWORD WINAPI DialogWatcher::Run(void* self) {
    auto* watcher = static_cast<DialogWatcher*>(self);
    std::vector<HWND> handled;
    while (!watcher->stop_) {
        DialogSearch search = {GetCurrentProcessId(), {}};
        EnumWindows(&CollectDialog, reinterpret_cast<LPARAM>(&search));
        for (HWND dialog : search.found) {
            bool known = false;
            for (HWND old : handled) known = known || old == dialog;
            if (known) continue;
            handled.push_back(dialog);
            InterlockedIncrement(&watcher->seen_);
            watcher->handler_(dialog);
        }
        Sleep(20);
    }
    return 0;
}

std::wstring WindowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    // The length of a window made from an ANSI template may count bytes, not characters.
    const int copied = GetWindowTextW(window, &text[0], length + 1);
    text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
    return text;
}

}  // namespace rig

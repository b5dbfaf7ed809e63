// The stand-in host as a program: the demo runs it, and a person can use it.
//   CvStandin.exe [--plugin PATH] [--mail FILE] [--show-info] [--exit-after MS]
//                 [--positions FILE]   (screen points of the message view's lines)
// The mail file is UTF-8. Without --plugin the plug-in is taken from beside the executable.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "standin/host_state.h"
#include "standin/standin_host.h"

namespace {

constexpr wchar_t kSampleMail[] =
    L"差出人: 総務部 山田\r\n"
    L"件名: 共有フォルダの場所\r\n"
    L"\r\n"
    L"皆様\r\n"
    L"\r\n"
    L"今期の資料は次の場所に置きました。\r\n"
    L"\\\\fs01\\share\\reports\r\n"
    L"<\\\\fs01\\share\\my docs>\r\n"
    L"手元の控え: C:\\trivane-demo\\報告書.txt\r\n"
    L"作業フォルダ: C:\\trivane-demo\r\n"
    L"誤った例: \\\\fs01\\share\\a*b\r\n"
    L"見積書は「C:\\trivane-demo\\見積書」に置きました。\r\n"
    L"\\\\fs01\\share\\営業部 に保存しました（権限がない場合は情シスまで）。\r\n"
    L"Macからの例: ￥￥fs01￥share￥営業部\r\n"
    L"リンクの例: file:///C:/trivane-demo/\r\n"
    L"\r\n"
    L"よろしくお願いします。\r\n";

std::wstring ReadUtf8File(const wchar_t* path) {
    HANDLE file =
        CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::wstring();
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    bytes.resize(read);
    std::wstring text(bytes.size() + 1, L'\0');
    const int length = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()),
                                           &text[0], static_cast<int>(text.size()));
    text.resize(static_cast<size_t>(length));
    return text;
}

// The real host owns its settings key; the stand-in makes sure it exists.
void EnsureHostSettingsKey() {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Halvren\\C2\\Settings", 0, nullptr, 0,
                        KEY_READ, nullptr, &key, nullptr) == ERROR_SUCCESS) {
        RegCloseKey(key);
    }
}

std::wstring DefaultPluginPath() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring result(path);
    result.resize(result.find_last_of(L'\\') + 1);
    return result + L"CvTrivane.dll";
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::wstring pluginPath = DefaultPluginPath();
    std::wstring mail = kSampleMail;
    bool showInfo = false;
    UINT exitAfter = 0;
    std::wstring positions;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == L"--plugin" && hasValue) {
            pluginPath = argv[++i];
        } else if (arg == L"--mail" && hasValue) {
            mail = ReadUtf8File(argv[++i]);
        } else if (arg == L"--show-info") {
            showInfo = true;
        } else if (arg == L"--positions" && hasValue) {
            positions = argv[++i];
        } else if (arg == L"--exit-after" && hasValue) {
            exitAfter = static_cast<UINT>(_wtoi(argv[++i]));
        }
    }
    LocalFree(argv);

    EnsureHostSettingsKey();
    if (!standin::RegisterHostClasses(instance)) return 2;
    HWND main = standin::CreateHostWindows(instance, mail.c_str());
    if (main == nullptr) return 3;
    const bool loaded = standin::LoadPlugin(pluginPath.c_str());
    ShowWindow(main, showCommand == SW_HIDE ? SW_SHOWNORMAL : showCommand);
    UpdateWindow(main);
    if (!loaded) {
        MessageBoxW(main, (L"プラグインを読み込めませんでした:\n" + pluginPath).c_str(),
                    L"Corvel! (代替ホスト)", MB_OK | MB_ICONWARNING);
    }
    if (!positions.empty()) standin::WriteLinePositions(standin::MessageView(), positions.c_str());
    if (exitAfter != 0) SetTimer(main, 1, exitAfter, nullptr);
    if (showInfo && loaded) PostMessageW(main, WM_COMMAND, MAKEWPARAM(105, 0), 0);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_TIMER && message.hwnd == main && message.wParam == 1) {
            DestroyWindow(main);
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return loaded ? 0 : 1;
}

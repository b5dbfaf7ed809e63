#include "standin/standin_host.h"

#include <string>

#include "standin/host_state.h"

namespace standin {

namespace {

constexpr wchar_t kMainClass[] = L"CvStandinMain";
constexpr wchar_t kComposeClass[] = L"CvStandinCompose";
constexpr wchar_t kPanelClass[] = L"CvStandinPanel";
// The host's own text windows: an edit control under a class name of the host's, which says
// its selection only through the copy command, like a text window of the real host.
constexpr wchar_t kTextClass[] = L"CvStandinText";
constexpr wchar_t kKindProperty[] = L"CvStandinMenuKind";
constexpr wchar_t kProcProperty[] = L"CvStandinEditProc";

// Menu-bar command ids of the host itself.
enum : UINT {
    kIdNewCompose = 100,
    kIdExit,
    kIdCopy,
    kIdSelectAll,
    kIdPluginSetup,
    kIdAbout,
};

struct Host {
    HINSTANCE instance = nullptr;
    HWND main = nullptr;
    HWND tree = nullptr;
    HWND list = nullptr;
    HWND header = nullptr;
    HWND view = nullptr;
    CopyMode copyMode = CopyMode::Unicode;
    TextClass textClass = TextClass::Host;
    bool selectionSaid = true;
    int copyCommands = 0;
    bool quitOnDestroy = true;
    MessageObserver observer = nullptr;
    PluginExports plugin;
};

Host& TheHost() {
    static Host host;
    return host;
}

void PlaceAnsiSelection(HWND edit, WNDPROC editProc) {
    DWORD start = 0, end = 0;
    CallWindowProcW(editProc, edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                    reinterpret_cast<LPARAM>(&end));
    if (start == end) return;
    const int length = GetWindowTextLengthW(edit);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    GetWindowTextW(edit, &text[0], length + 1);
    const std::wstring selection = text.substr(start, end - start);
    const int size =
        WideCharToMultiByte(CP_ACP, 0, selection.c_str(), -1, nullptr, 0, nullptr, nullptr);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, static_cast<SIZE_T>(size));
    if (block == nullptr) return;
    WideCharToMultiByte(CP_ACP, 0, selection.c_str(), -1, static_cast<char*>(GlobalLock(block)),
                        size, nullptr, nullptr);
    GlobalUnlock(block);
    if (OpenClipboard(edit)) {
        EmptyClipboard();
        if (SetClipboardData(CF_TEXT, block) == nullptr) GlobalFree(block);
        CloseClipboard();
    } else {
        GlobalFree(block);
    }
}

void AnswerCopyCommand(HWND edit, WNDPROC editProc) {
    ++TheHost().copyCommands;
    switch (TheHost().copyMode) {
        case CopyMode::Unicode:
            CallWindowProcW(editProc, edit, WM_COPY, 0, 0);
            break;
        case CopyMode::AnsiOnly:
            PlaceAnsiSelection(edit, editProc);
            break;
        case CopyMode::Nothing:
            break;
    }
}

void ShowContextMenu(HWND edit, LPARAM position) {
    const int kind = static_cast<int>(reinterpret_cast<INT_PTR>(GetPropW(edit, kKindProperty)));
    HMENU menu = PrepareContextMenu(edit, kind);
    POINT point = {static_cast<short>(LOWORD(position)), static_cast<short>(HIWORD(position))};
    if (position == -1) {
        point = {0, 0};
        ClientToScreen(edit, &point);
    }
    const int picked = static_cast<int>(
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, point.x, point.y, 0, edit, nullptr));
    DestroyMenu(menu);
    if (picked == static_cast<int>(kIdCopy)) {
        SendMessageW(edit, WM_COPY, 0, 0);
    } else if (picked == static_cast<int>(kIdSelectAll)) {
        SendMessageW(edit, EM_SETSEL, 0, -1);
    } else if (picked != 0) {
        RunPluginCommand(picked, edit);
    }
}

// Like the real host's viewer, a third press right after a double click selects the whole
// line under the pointer, its line break included.
DWORD g_lastDoubleClick = 0;
bool g_doubleClickSeen = false;

bool SelectLineOnTripleClick(HWND edit, UINT message, LPARAM lParam) {
    if (message == WM_LBUTTONDBLCLK) {
        g_lastDoubleClick = GetMessageTime();
        g_doubleClickSeen = true;
        return false;
    }
    if (message != WM_LBUTTONDOWN || !g_doubleClickSeen ||
        static_cast<DWORD>(GetMessageTime()) - g_lastDoubleClick > GetDoubleClickTime()) {
        return false;
    }
    g_doubleClickSeen = false;
    const LRESULT hit = SendMessageW(edit, EM_CHARFROMPOS, 0, lParam);
    const int line = HIWORD(hit);
    const int start = static_cast<int>(SendMessageW(edit, EM_LINEINDEX, line, 0));
    const int next = static_cast<int>(SendMessageW(edit, EM_LINEINDEX, line + 1, 0));
    const int end = next >= 0 ? next : GetWindowTextLengthW(edit);
    SetFocus(edit);
    SendMessageW(edit, EM_SETSEL, start, end);
    return true;
}

// The host's own procedure for its text windows, wrapped around the system edit control.
LRESULT CALLBACK TextWindowProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC editProc = reinterpret_cast<WNDPROC>(GetPropW(edit, kProcProperty));
    if (TheHost().observer != nullptr) TheHost().observer(edit, message, wParam, lParam);
    if (SelectLineOnTripleClick(edit, message, lParam)) return 0;
    if (message == WM_COMMAND && LOWORD(wParam) == kCopyCommand) {
        AnswerCopyCommand(edit, editProc);
        return 0;
    }
    if (message == WM_CONTEXTMENU) {
        ShowContextMenu(edit, lParam);
        return 0;
    }
    if (message == EM_GETSEL && !TheHost().selectionSaid) return 0;
    if (message == WM_NCDESTROY) {
        RemovePropW(edit, kKindProperty);
        RemovePropW(edit, kProcProperty);
        SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(editProc));
    }
    return CallWindowProcW(editProc, edit, message, wParam, lParam);
}

HWND CreateTextWindow(HWND parent, int id, DWORD style, int kind, const wchar_t* text) {
    static const wchar_t* const kClassNames[] = {kTextClass, L"Edit", L"RichEdit20W",
                                                 L"RichEdit20A"};
    const TextClass textClass = TheHost().textClass;
    if (textClass == TextClass::RichEdit20W || textClass == TextClass::RichEdit20A) {
        static HMODULE richEdit = LoadLibraryW(L"riched20.dll");
        if (richEdit == nullptr) return nullptr;
    }
    HWND edit = CreateWindowExW(WS_EX_CLIENTEDGE, kClassNames[static_cast<int>(textClass)], text,
                                WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL | style, 0, 0, 100, 20,
                                parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                TheHost().instance, nullptr);
    if (edit == nullptr) return nullptr;
    SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), 0);
    SetPropW(edit, kKindProperty, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(kind)));
    SetPropW(edit, kProcProperty, reinterpret_cast<HANDLE>(GetWindowLongPtrW(edit, GWLP_WNDPROC)));
    SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TextWindowProc));
    return edit;
}

HMENU BuildMenuBar() {
    HMENU bar = CreateMenu();
    HMENU file = CreatePopupMenu();
    AppendMenuW(file, MF_STRING, kIdNewCompose, L"新規作成(&N)\tCtrl+N");
    AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(file, MF_STRING, kIdExit, L"終了(&X)");
    HMENU edit = CreatePopupMenu();
    AppendMenuW(edit, MF_STRING, kIdCopy, L"コピー(&C)");
    AppendMenuW(edit, MF_STRING, kIdSelectAll, L"すべて選択(&A)");
    HMENU view = CreatePopupMenu();
    AppendMenuW(view, MF_STRING | MF_GRAYED, 0, L"ツールバー(&T)");
    HMENU mail = CreatePopupMenu();
    AppendMenuW(mail, MF_STRING | MF_GRAYED, 0, L"返信(&R)");
    HMENU tools = CreatePopupMenu();
    AppendMenuW(tools, MF_STRING, kIdPluginSetup, L"プラグインの設定(&P)...");
    HMENU help = CreatePopupMenu();
    AppendMenuW(help, MF_STRING, kIdAbout, L"プラグインの情報(&A)...");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"ファイル(&F)");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(edit), L"編集(&E)");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(view), L"表示(&V)");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(mail), L"メッセージ(&M)");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(tools), L"ツール(&T)");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(help), L"ヘルプ(&H)");
    return bar;
}

void LayoutMain(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    const int width = client.right, height = client.bottom;
    const int left = width / 5;
    MoveWindow(TheHost().tree, 0, 0, left, height, TRUE);
    MoveWindow(TheHost().list, left, 0, width - left, height / 4, TRUE);
    MoveWindow(TheHost().header, left, height / 4, width - left, 24, TRUE);
    MoveWindow(TheHost().view, left, height / 4 + 24, width - left, height - height / 4 - 24, TRUE);
}

LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SIZE:
            if (TheHost().view != nullptr) LayoutMain(window);
            return 0;
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            if (id == static_cast<int>(kIdNewCompose)) {
                OpenComposeWindow(
                    L"宛先の皆様\r\n\r\n資料は \\\\fs01\\share\\docs に置きました。\r\n");
            } else if (id == static_cast<int>(kIdExit)) {
                DestroyWindow(window);
            } else if (id == static_cast<int>(kIdCopy)) {
                SendMessageW(TheHost().view, WM_COPY, 0, 0);
            } else if (id == static_cast<int>(kIdSelectAll)) {
                SendMessageW(TheHost().view, EM_SETSEL, 0, -1);
            } else if (id == static_cast<int>(kIdPluginSetup)) {
                if (TheHost().plugin.OnPlugInSetup) TheHost().plugin.OnPlugInSetup(window);
            } else if (id == static_cast<int>(kIdAbout)) {
                ShowPluginInfo(window);
            } else {
                RunPluginCommand(id, window);
            }
            return 0;
        }
        case WM_DESTROY:
            UnloadPlugin();
            if (TheHost().quitOnDestroy) PostQuitMessage(0);
            TheHost().view = nullptr;
            return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK ComposeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SIZE) {
        RECT client;
        GetClientRect(window, &client);
        HWND subject = GetDlgItem(window, 101);
        HWND panel = GetDlgItem(window, 102);
        MoveWindow(subject, 0, 0, client.right, 24, TRUE);
        MoveWindow(panel, 0, 24, client.right, client.bottom - 24, TRUE);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// Holds the composing editor one level down, as the real host's frame does.
LRESULT CALLBACK PanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SIZE) {
        MoveWindow(GetDlgItem(window, kComposingEditorId), 0, 0, LOWORD(lParam), HIWORD(lParam),
                   TRUE);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

template <typename Function>
Function Export(HMODULE module, const char* name) {
    FARPROC address = GetProcAddress(module, name);
    Function function;
    static_assert(sizeof(function) == sizeof(address), "flat addresses");
    __builtin_memcpy(&function, &address, sizeof(address));
    return function;
}

}  // namespace

bool RegisterHostClasses(HINSTANCE instance) {
    TheHost().instance = instance;
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpfnWndProc = &MainProc;
    windowClass.lpszClassName = kMainClass;
    bool ok = RegisterClassExW(&windowClass) != 0;
    windowClass.lpfnWndProc = &ComposeProc;
    windowClass.lpszClassName = kComposeClass;
    ok = RegisterClassExW(&windowClass) != 0 && ok;
    windowClass.lpfnWndProc = &PanelProc;
    windowClass.lpszClassName = kPanelClass;
    ok = RegisterClassExW(&windowClass) != 0 && ok;
    WNDCLASSEXW text = {};
    text.cbSize = sizeof(text);
    ok = GetClassInfoExW(nullptr, L"EDIT", &text) != 0 && ok;
    text.hInstance = instance;
    text.lpszClassName = kTextClass;
    return RegisterClassExW(&text) != 0 && ok;
}

HWND CreateHostWindows(HINSTANCE instance, const wchar_t* mailText) {
    Host& host = TheHost();
    host.instance = instance;
    host.main = CreateWindowExW(0, kMainClass, L"Corvel! (代替ホスト)", WS_OVERLAPPEDWINDOW, 20, 20,
                                900, 600, nullptr, BuildMenuBar(), instance, nullptr);
    if (host.main == nullptr) return nullptr;
    host.tree = CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", nullptr,
                                WS_CHILD | WS_VISIBLE | LBS_NOINTEGRALHEIGHT, 0, 0, 10, 10,
                                host.main, nullptr, instance, nullptr);
    SendMessageW(host.tree, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"受信箱"));
    SendMessageW(host.tree, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"送信箱"));
    host.list = CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", nullptr,
                                WS_CHILD | WS_VISIBLE | LBS_NOINTEGRALHEIGHT, 0, 0, 10, 10,
                                host.main, nullptr, instance, nullptr);
    SendMessageW(host.list, LB_ADDSTRING, 0,
                 reinterpret_cast<LPARAM>(L"総務部 山田 <yamada@example.jp>  共有フォルダの場所"));
    host.header = CreateTextWindow(host.main, 201, ES_READONLY, kMenuKindMailList,
                                   L"件名: 共有フォルダの場所  \\\\fs01\\share");
    host.view =
        CreateTextWindow(host.main, 202, ES_MULTILINE | ES_READONLY | WS_VSCROLL | ES_AUTOVSCROLL,
                         kMenuKindMessageView, mailText);
    for (HWND pane : {host.tree, host.list}) {
        SendMessageW(pane, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
                     0);
    }
    LayoutMain(host.main);
    HWND* windows = State().windows;
    windows[0] = host.main;
    windows[1] = host.tree;
    windows[2] = host.list;
    windows[3] = host.view;
    return host.main;
}

HWND MessageView() { return TheHost().view; }
HWND MailList() { return TheHost().list; }
void SetMessageText(const wchar_t* text) { SetWindowTextW(TheHost().view, text); }
void SetCopyMode(CopyMode mode) { TheHost().copyMode = mode; }
void SetTextClass(TextClass textClass) { TheHost().textClass = textClass; }
void SetSelectionSaid(bool said) { TheHost().selectionSaid = said; }
int CopyCommandsAnswered() { return TheHost().copyCommands; }
void SetQuitOnDestroy(bool quit) { TheHost().quitOnDestroy = quit; }
void SetMessageObserver(MessageObserver observer) { TheHost().observer = observer; }
const PluginExports& Plugin() { return TheHost().plugin; }

bool LoadPlugin(const wchar_t* path) {
    PluginExports plugin;
    plugin.module = LoadLibraryW(path);
    if (plugin.module == nullptr) return false;
    using StartFunction = int(WINAPI*)();
    plugin.OnStart = Export<StartFunction>(plugin.module, "CVC_OnStart");
    plugin.OnExit = Export<StartFunction>(plugin.module, "CVC_OnExit");
    plugin.OnMenuInit = Export<int(WINAPI*)(HWND, HMENU, int)>(plugin.module, "CVC_OnMenuInit");
    plugin.OnOpenCompose = Export<int(WINAPI*)(HWND, LPARAM)>(plugin.module, "CVC_OnOpenCompose");
    plugin.OnPlugInSetup = Export<int(WINAPI*)(HWND)>(plugin.module, "CVC_OnPlugInSetup");
    plugin.OnPlugInInfo = Export<int(WINAPI*)(void*)>(plugin.module, "CVC_OnPlugInInfo");
    if (!plugin.OnStart || !plugin.OnExit || !plugin.OnMenuInit || !plugin.OnOpenCompose ||
        !plugin.OnPlugInSetup || !plugin.OnPlugInInfo) {
        FreeLibrary(plugin.module);
        return false;
    }
    TheHost().plugin = plugin;
    plugin.OnStart();
    if (TheHost().main != nullptr) {
        plugin.OnMenuInit(TheHost().main, GetMenu(TheHost().main), kMenuKindBar);
        DrawMenuBar(TheHost().main);
    }
    return true;
}

void UnloadPlugin() {
    PluginExports& plugin = TheHost().plugin;
    if (plugin.module == nullptr) return;
    plugin.OnExit();
    FreeLibrary(plugin.module);
    plugin = PluginExports();
}

HWND OpenComposeWindow(const wchar_t* body) {
    Host& host = TheHost();
    HWND compose = CreateWindowExW(0, kComposeClass, L"メールの作成", WS_OVERLAPPEDWINDOW, 80, 80,
                                   640, 420, nullptr, nullptr, host.instance, nullptr);
    if (compose == nullptr) return nullptr;
    CreateTextWindow(compose, 101, 0, kMenuKindComposeSubject, L"件名: 資料の場所");
    HWND panel = CreateWindowExW(0, kPanelClass, nullptr, WS_CHILD | WS_VISIBLE, 0, 24, 10, 10,
                                 compose, reinterpret_cast<HMENU>(102), host.instance, nullptr);
    CreateTextWindow(panel, kComposingEditorId, ES_MULTILINE | WS_VSCROLL | ES_AUTOVSCROLL,
                     kMenuKindComposeEditor, body);
    RECT client;
    GetClientRect(compose, &client);
    SendMessageW(compose, WM_SIZE, 0, MAKELPARAM(client.right, client.bottom));
    if (host.plugin.OnOpenCompose) host.plugin.OnOpenCompose(compose, 0);
    ShowWindow(compose, SW_SHOW);
    return compose;
}

HWND ComposeEditor(HWND composeWindow) {
    return GetDlgItem(GetDlgItem(composeWindow, 102), kComposingEditorId);
}

HMENU PrepareContextMenu(HWND textWindow, int kind) {
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, kIdCopy, L"コピー(&C)");
    AppendMenuW(menu, MF_STRING, kIdSelectAll, L"すべて選択(&A)");
    if (TheHost().plugin.OnMenuInit) TheHost().plugin.OnMenuInit(textWindow, menu, kind);
    return menu;
}

bool RunPluginCommand(int id, HWND window) {
    const RegisteredCommand* command = FindCommand(id);
    if (command == nullptr || command->callback == nullptr) return false;
    command->callback(window, 0);
    return true;
}

bool WriteLinePositions(HWND textWindow, const wchar_t* path) {
    HANDLE file =
        CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const int lines = static_cast<int>(SendMessageW(textWindow, EM_GETLINECOUNT, 0, 0));
    for (int line = 0; line < lines; ++line) {
        const LRESULT index = SendMessageW(textWindow, EM_LINEINDEX, line, 0);
        const LRESULT position = SendMessageW(textWindow, EM_POSFROMCHAR, index, 0);
        POINT point = {static_cast<short>(LOWORD(position)) + 4,
                       static_cast<short>(HIWORD(position)) + 6};
        ClientToScreen(textWindow, &point);
        char row[64];
        const int size = wsprintfA(row, "%d %ld %ld\n", line, point.x, point.y);
        DWORD written = 0;
        WriteFile(file, row, static_cast<DWORD>(size), &written, nullptr);
    }
    CloseHandle(file);
    return true;
}

void ShowPluginInfo(HWND owner) {
    char record[512];
    FillMemory(record, sizeof(record), 0);
    if (TheHost().plugin.OnPlugInInfo) TheHost().plugin.OnPlugInInfo(record);
    // The record's texts are Shift_JIS whatever the system's code page.
    auto field = [&](int offset) {
        wchar_t wide[256] = {};
        MultiByteToWideChar(932, 0, record + offset, -1, wide, 255);
        return std::wstring(wide);
    };
    const std::wstring text = L"名前: " + field(0) + L"\n作者: " + field(80) + L"\n版: " +
                              field(160) + L"\n\n" + field(240);
    MessageBoxW(owner, text.c_str(), L"プラグインの情報", MB_OK | MB_ICONINFORMATION);
}

}  // namespace standin

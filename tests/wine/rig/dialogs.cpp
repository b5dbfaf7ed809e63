#include "rig/dialogs.h"

#include <shellapi.h>

#include <cstring>
#include <map>

#include "rig/rig.h"
#include "standin/host_state.h"
#include "standin/standin_host.h"

namespace rig {

// ---- Dialog templates ----------------------------------------------------------------------

namespace {

class TemplateReader {
public:
    TemplateReader(const void* data, std::size_t size)
        : base_(static_cast<const BYTE*>(data)), size_(size) {}

    template <typename T>
    T Get() {
        T value{};
        if (position_ + sizeof(T) > size_) {
            ok_ = false;
            position_ = size_;
            return value;
        }
        std::memcpy(&value, base_ + position_, sizeof(T));
        position_ += sizeof(T);
        return value;
    }

    std::wstring String() {
        std::wstring text;
        for (WORD unit = Get<WORD>(); ok_ && unit != 0; unit = Get<WORD>()) {
            text.push_back(static_cast<wchar_t>(unit));
        }
        return text;
    }

    // sz_Or_Ord: 0 for nothing, 0xFFFF and a number, or a NUL-terminated string.
    void StringOrOrdinal(std::wstring* text, int* ordinal) {
        const WORD first = Get<WORD>();
        if (!ok_ || first == 0) return;
        if (first == 0xFFFF) {
            *ordinal = Get<WORD>();
            return;
        }
        text->push_back(static_cast<wchar_t>(first));
        *text += String();
    }

    void Skip(std::size_t bytes) {
        if (position_ + bytes > size_) ok_ = false;
        position_ = position_ + bytes > size_ ? size_ : position_ + bytes;
    }
    void AlignToDword() { position_ = (position_ + 3) & ~static_cast<std::size_t>(3); }
    bool ok() const { return ok_; }

private:
    const BYTE* base_;
    std::size_t size_;
    std::size_t position_ = 0;
    bool ok_ = true;
};

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text) {
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    }
    return text;
}

std::wstring PredefinedClass(int ordinal) {
    switch (ordinal) {
        case 0x80:
            return L"button";
        case 0x81:
            return L"edit";
        case 0x82:
            return L"static";
        case 0x83:
            return L"listbox";
        case 0x84:
            return L"scrollbar";
        case 0x85:
            return L"combobox";
    }
    return L"#" + std::to_wstring(ordinal);
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR context) {
    reinterpret_cast<std::vector<WORD>*>(context)->push_back(language);
    return TRUE;
}

}  // namespace

bool ParseDialogTemplate(const void* data, std::size_t size, DialogTemplate* out) {
    TemplateReader reader(data, size);
    DialogTemplate result;
    result.version = reader.Get<WORD>();
    result.signature = reader.Get<WORD>();
    if (result.version != 1 || result.signature != 0xFFFF) return false;
    result.helpId = reader.Get<DWORD>();
    result.exStyle = reader.Get<DWORD>();
    result.style = reader.Get<DWORD>();
    const WORD count = reader.Get<WORD>();
    result.x = reader.Get<short>();
    result.y = reader.Get<short>();
    result.cx = reader.Get<short>();
    result.cy = reader.Get<short>();
    int ordinal = -1;
    reader.StringOrOrdinal(&result.menu, &ordinal);
    if (ordinal != -1) result.menu = L"#" + std::to_wstring(ordinal);
    ordinal = -1;
    reader.StringOrOrdinal(&result.className, &ordinal);
    if (ordinal != -1) result.className = L"#" + std::to_wstring(ordinal);
    result.title = reader.String();
    if (result.style & (DS_SETFONT | DS_FIXEDSYS)) {
        result.pointSize = reader.Get<WORD>();
        result.weight = reader.Get<WORD>();
        result.italic = reader.Get<BYTE>();
        result.charset = reader.Get<BYTE>();
        result.typeface = reader.String();
    }
    for (WORD i = 0; i < count && reader.ok(); ++i) {
        reader.AlignToDword();
        DialogItem item;
        item.helpId = reader.Get<DWORD>();
        item.exStyle = reader.Get<DWORD>();
        item.style = reader.Get<DWORD>();
        item.x = reader.Get<short>();
        item.y = reader.Get<short>();
        item.cx = reader.Get<short>();
        item.cy = reader.Get<short>();
        item.id = reader.Get<DWORD>();
        int classOrdinal = -1;
        reader.StringOrOrdinal(&item.className, &classOrdinal);
        item.className = classOrdinal != -1 ? PredefinedClass(classOrdinal) : Lower(item.className);
        reader.StringOrOrdinal(&item.text, &item.textOrdinal);
        item.extraCount = reader.Get<WORD>();
        reader.Skip(item.extraCount);
        result.items.push_back(item);
    }
    if (!reader.ok()) return false;
    *out = result;
    return true;
}

bool LoadDialogTemplate(HMODULE module, int id, WORD language, DialogTemplate* out) {
    HRSRC resource = FindResourceExW(module, reinterpret_cast<LPCWSTR>(RT_DIALOG),
                                     MAKEINTRESOURCEW(id), language);
    if (resource == nullptr) return false;
    HGLOBAL loaded = LoadResource(module, resource);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (data == nullptr) return false;
    return ParseDialogTemplate(data, SizeofResource(module, resource), out);
}

std::vector<WORD> DialogLanguages(HMODULE module, int id) {
    std::vector<WORD> languages;
    EnumResourceLanguagesW(module, reinterpret_cast<LPCWSTR>(RT_DIALOG), MAKEINTRESOURCEW(id),
                           &CollectLanguage, reinterpret_cast<LONG_PTR>(&languages));
    return languages;
}

// ---- Recorders -----------------------------------------------------------------------------

namespace {

struct ObserverState {
    CallLog log;
    PlayedVersion version;
    bool showMessageBoxes = false;
    bool refuseProgressWindow = false;
    bool nullDialogParameter = false;
    void* originalMessageBoxW = nullptr;
    void* originalMessageBoxA = nullptr;
    void* originalDialogBoxParamA = nullptr;
    void* originalCreateDialogParamA = nullptr;
    void* originalShowWindow = nullptr;
    void* originalSendMessageA = nullptr;
    void* originalSetTimer = nullptr;
    void* originalKillTimer = nullptr;
    void* originalRegSetValueExW = nullptr;
    void* originalGetVersionExW = nullptr;
};

ObserverState* Observed = nullptr;

std::wstring WideOrEmpty(const wchar_t* text) { return text ? std::wstring(text) : std::wstring(); }

BOOL WINAPI RecordShellExecuteExW(SHELLEXECUTEINFOW* info) {
    ShellLaunch launch;
    launch.cbSize = info->cbSize;
    launch.fMask = info->fMask;
    launch.hwnd = info->hwnd;
    launch.verbSet = info->lpVerb != nullptr;
    launch.fileSet = info->lpFile != nullptr;
    launch.parametersSet = info->lpParameters != nullptr;
    launch.directorySet = info->lpDirectory != nullptr;
    launch.verb = WideOrEmpty(info->lpVerb);
    launch.file = WideOrEmpty(info->lpFile);
    launch.parameters = WideOrEmpty(info->lpParameters);
    launch.nShow = info->nShow;
    launch.otherFieldsZero = info->hInstApp == nullptr && info->lpIDList == nullptr &&
                             info->lpClass == nullptr && info->hkeyClass == nullptr &&
                             info->dwHotKey == 0 && info->hIcon == nullptr &&
                             info->hProcess == nullptr;
    HWND progress = Observed->log.lastProgressWindow;
    launch.progressVisible = progress != nullptr && IsWindow(progress) && IsWindowVisible(progress);
    Observed->log.launches.push_back(launch);
    Observed->log.sequence.push_back("ShellExecuteExW");
    info->hInstApp = reinterpret_cast<HINSTANCE>(42);  // what a successful launch reports
    return TRUE;
}

int WINAPI RecordMessageBoxW(HWND owner, const wchar_t* text, const wchar_t* caption, UINT flags) {
    MessageBoxCall call;
    call.owner = owner;
    call.text = WideOrEmpty(text);
    call.caption = WideOrEmpty(caption);
    call.flags = flags;
    Observed->log.messageBoxes.push_back(call);
    Observed->log.sequence.push_back("MessageBoxW");
    if (!Observed->showMessageBoxes) return IDOK;
    return AsFunction<int(WINAPI*)(HWND, const wchar_t*, const wchar_t*, UINT)>(
        Observed->originalMessageBoxW)(owner, text, caption, flags);
}

int WINAPI RecordMessageBoxA(HWND owner, const char* text, const char* caption, UINT flags) {
    MessageBoxCall call;
    call.ansi = true;
    call.owner = owner;
    call.textBytes = text ? text : "";
    call.captionBytes = caption ? caption : "";
    call.flags = flags;
    Observed->log.messageBoxes.push_back(call);
    Observed->log.sequence.push_back("MessageBoxA");
    if (!Observed->showMessageBoxes) return IDOK;
    return AsFunction<int(WINAPI*)(HWND, const char*, const char*, UINT)>(
        Observed->originalMessageBoxA)(owner, text, caption, flags);
}

constexpr UINT_PTR kConfirmTemplate = 102;
constexpr UINT_PTR kProgressTemplate = 103;

// The plug-in's dialog procedures run behind one of the rig's, which notes every message that
// one answers with other than FALSE. The procedures are kept outside the observer: a dialog
// can outlive it.
std::map<HWND, DLGPROC> g_dialogProcedures;
DLGPROC g_nextDialogProcedure = nullptr;

INT_PTR CALLBACK WatchedDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto found = g_dialogProcedures.find(dialog);
    if (found == g_dialogProcedures.end()) {
        found = g_dialogProcedures.emplace(dialog, g_nextDialogProcedure).first;
    }
    const DLGPROC procedure = found->second;
    if (message == WM_NCDESTROY) g_dialogProcedures.erase(found);
    if (procedure == nullptr) return FALSE;
    const INT_PTR answer = procedure(dialog, message, wParam, lParam);
    if (answer != FALSE && Observed != nullptr) Observed->log.dialogProcAnswers.push_back(message);
    return answer;
}

INT_PTR WINAPI RecordDialogBoxParamA(HINSTANCE instance, const char* name, HWND owner,
                                     DLGPROC procedure, LPARAM parameter) {
    DialogBoxCall call;
    call.instance = instance;
    call.templateId = reinterpret_cast<UINT_PTR>(name);
    call.owner = owner;
    call.parameter = parameter;
    if (call.templateId == kConfirmTemplate && parameter != 0) {
        call.parameterText = reinterpret_cast<const wchar_t*>(parameter);
    }
    // A nested open adds entries while this one runs: keep the index, not a reference.
    const std::size_t index = Observed->log.dialogBoxes.size();
    Observed->log.dialogBoxes.push_back(call);
    Observed->log.sequence.push_back("DialogBoxParamA");
    if (Observed->nullDialogParameter) parameter = 0;
    g_nextDialogProcedure = procedure;
    const INT_PTR result =
        AsFunction<INT_PTR(WINAPI*)(HINSTANCE, const char*, HWND, DLGPROC, LPARAM)>(
            Observed->originalDialogBoxParamA)(instance, name, owner, &WatchedDialogProc,
                                               parameter);
    Observed->log.dialogBoxes[index].result = result;
    return result;
}

HWND WINAPI RecordCreateDialogParamA(HINSTANCE instance, const char* name, HWND owner,
                                     DLGPROC procedure, LPARAM parameter) {
    const bool refused =
        Observed->refuseProgressWindow && reinterpret_cast<UINT_PTR>(name) == kProgressTemplate;
    g_nextDialogProcedure = procedure;
    HWND window = refused
                      ? nullptr
                      : AsFunction<HWND(WINAPI*)(HINSTANCE, const char*, HWND, DLGPROC, LPARAM)>(
                            Observed->originalCreateDialogParamA)(instance, name, owner,
                                                                  &WatchedDialogProc, parameter);
    CreateDialogCall call;
    call.instance = instance;
    call.templateId = reinterpret_cast<UINT_PTR>(name);
    call.owner = owner;
    call.parameter = parameter;
    call.result = window;
    Observed->log.createdDialogs.push_back(call);
    Observed->log.sequence.push_back("CreateDialogParamA");
    if (call.templateId == kProgressTemplate) Observed->log.lastProgressWindow = window;
    return window;
}

BOOL WINAPI RecordShowWindow(HWND window, int command) {
    Observed->log.shown.emplace_back(window, command);
    Observed->log.sequence.push_back("ShowWindow");
    return AsFunction<BOOL(WINAPI*)(HWND, int)>(Observed->originalShowWindow)(window, command);
}

LRESULT WINAPI RecordSendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Observed->log.sent.push_back({window, message, wParam, lParam});
    return AsFunction<LRESULT(WINAPI*)(HWND, UINT, WPARAM, LPARAM)>(Observed->originalSendMessageA)(
        window, message, wParam, lParam);
}

UINT_PTR WINAPI RecordSetTimer(HWND window, UINT_PTR id, UINT period, TIMERPROC callback) {
    Observed->log.timers.push_back({true, window, id, period, callback != nullptr});
    return AsFunction<UINT_PTR(WINAPI*)(HWND, UINT_PTR, UINT, TIMERPROC)>(
        Observed->originalSetTimer)(window, id, period, callback);
}

BOOL WINAPI RecordKillTimer(HWND window, UINT_PTR id) {
    Observed->log.timers.push_back({false, window, id, 0, false});
    return AsFunction<BOOL(WINAPI*)(HWND, UINT_PTR)>(Observed->originalKillTimer)(window, id);
}

LONG WINAPI RecordRegSetValueExW(HKEY key, const wchar_t* name, DWORD reserved, DWORD type,
                                 const BYTE* data, DWORD size) {
    RegistryWrite write{WideOrEmpty(name), type, size, 0};
    if (data != nullptr) std::memcpy(&write.value, data, size < 4 ? size : 4);
    Observed->log.registryWrites.push_back(write);
    Observed->log.sequence.push_back("RegSetValueExW");
    return AsFunction<LONG(WINAPI*)(HKEY, const wchar_t*, DWORD, DWORD, const BYTE*, DWORD)>(
        Observed->originalRegSetValueExW)(key, name, reserved, type, data, size);
}

BOOL WINAPI PlayGetVersionExW(OSVERSIONINFOW* info) {
    Observed->log.versionQuerySizes.push_back(info->dwOSVersionInfoSize);
    const PlayedVersion& version = Observed->version;
    if (version.real) {
        return AsFunction<BOOL(WINAPI*)(OSVERSIONINFOW*)>(Observed->originalGetVersionExW)(info);
    }
    if (version.fail) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    info->dwMajorVersion = version.major;
    info->dwMinorVersion = version.minor;
    info->dwBuildNumber = 2195;
    info->dwPlatformId = VER_PLATFORM_WIN32_NT;
    return TRUE;
}

}  // namespace

PluginObserver::PluginObserver(HMODULE plugin, bool showMessageBoxes) {
    Observed = new ObserverState();
    Observed->showMessageBoxes = showMessageBoxes;
    struct Patch {
        const char* dll;
        const char* function;
        void* stub;
        void** original;
    } const patches[] = {
        {"shell32.dll", "ShellExecuteExW", AsAddress(&RecordShellExecuteExW), nullptr},
        {"user32.dll", "MessageBoxW", AsAddress(&RecordMessageBoxW),
         &Observed->originalMessageBoxW},
        {"user32.dll", "MessageBoxA", AsAddress(&RecordMessageBoxA),
         &Observed->originalMessageBoxA},
        {"user32.dll", "DialogBoxParamA", AsAddress(&RecordDialogBoxParamA),
         &Observed->originalDialogBoxParamA},
        {"user32.dll", "CreateDialogParamA", AsAddress(&RecordCreateDialogParamA),
         &Observed->originalCreateDialogParamA},
        {"user32.dll", "ShowWindow", AsAddress(&RecordShowWindow), &Observed->originalShowWindow},
        {"user32.dll", "SendMessageA", AsAddress(&RecordSendMessageA),
         &Observed->originalSendMessageA},
        {"user32.dll", "SetTimer", AsAddress(&RecordSetTimer), &Observed->originalSetTimer},
        {"user32.dll", "KillTimer", AsAddress(&RecordKillTimer), &Observed->originalKillTimer},
        {"advapi32.dll", "RegSetValueExW", AsAddress(&RecordRegSetValueExW),
         &Observed->originalRegSetValueExW},
        {"kernel32.dll", "GetVersionExW", AsAddress(&PlayGetVersionExW),
         &Observed->originalGetVersionExW},
    };
    for (const Patch& patch : patches) {
        patches_.push_back(
            std::make_unique<ScopedImportPatch>(plugin, patch.dll, patch.function, patch.stub));
        if (patch.original != nullptr) *patch.original = patches_.back()->original();
    }
}

PluginObserver::~PluginObserver() {
    patches_.clear();
    delete Observed;
    Observed = nullptr;
}

CallLog& PluginObserver::log() { return Observed->log; }
void PluginObserver::PlayVersion(const PlayedVersion& version) { Observed->version = version; }
void PluginObserver::Clear() { Observed->log = CallLog(); }
void PluginObserver::RefuseProgressWindow(bool refuse) { Observed->refuseProgressWindow = refuse; }
void PluginObserver::NullDialogParameter(bool null) { Observed->nullDialogParameter = null; }
const CallLog* PluginObserver::CurrentLog() { return Observed ? &Observed->log : nullptr; }

bool PluginObserver::complete() const {
    for (const auto& patch : patches_) {
        if (!patch->active()) return false;
    }
    return true;
}

// ---- Host session --------------------------------------------------------------------------

HostSession::HostSession(const wchar_t* mailText, standin::TextClass textClass) {
    standin::SetTextClass(textClass);
    main_ = standin::CreateHostWindows(GetModuleHandleW(nullptr), mailText);
    loaded_ = main_ != nullptr && standin::LoadPlugin(PluginPath().c_str());
}

HostSession::~HostSession() {
    observer_.reset();
    for (HWND window : composeWindows_) {
        if (IsWindow(window)) DestroyWindow(window);
    }
    // The host's window unloads the plug-in when it goes, after its owned windows (the
    // progress window among them), and posts a quit message that would end a later modal loop.
    if (main_ != nullptr) {
        DestroyWindow(main_);
    } else {
        standin::UnloadPlugin();
    }
    MSG message;
    while (PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

HMODULE HostSession::module() const { return standin::Plugin().module; }
HWND HostSession::view() const { return standin::MessageView(); }

PluginObserver& HostSession::Observe(bool showMessageBoxes) {
    observer_.reset();
    observer_ = std::make_unique<PluginObserver>(module(), showMessageBoxes);
    return *observer_;
}

void HostSession::SelectInView(const std::wstring& text) {
    standin::SetMessageText(text.c_str());
    SendMessageW(view(), EM_SETSEL, 0, -1);
}

void HostSession::PressShiftO(HWND window) { SendShiftO(window); }

bool HostSession::OpenThroughContextMenu() {
    const std::size_t before = standin::State().commands.size();
    HMENU menu = standin::PrepareContextMenu(view(), standin::kMenuKindMessageView);
    int command = -1;
    const auto& commands = standin::State().commands;
    for (std::size_t i = before; i < commands.size(); ++i) {
        if (commands[i].menuKind == standin::kMenuKindMessageView) command = commands[i].id;
    }
    const bool offered = command != -1 && GetMenuItemID(menu, 0) == static_cast<UINT>(command);
    DestroyMenu(menu);
    return offered && standin::RunPluginCommand(command, view());
}

HWND HostSession::OpenCompose(const wchar_t* body) {
    HWND window = standin::OpenComposeWindow(body);
    if (window != nullptr) composeWindows_.push_back(window);
    return window;
}

HostSession::HostCommand HostSession::SetupCommand() const {
    // The last tools-menu command, registered when this session loaded the plug-in.
    const auto& commands = standin::State().commands;
    for (auto entry = commands.rbegin(); entry != commands.rend(); ++entry) {
        if (entry->menuKind == standin::kMenuKindBar) return entry->callback;
    }
    return nullptr;
}

// ---- Driving dialogs -----------------------------------------------------------------------

DialogKind ClassifyDialog(HWND dialog) {
    if (GetDlgItem(dialog, 1011) != nullptr && GetDlgItem(dialog, 1001) != nullptr) {
        return DialogKind::kConfirm;
    }
    if (GetDlgItem(dialog, 1014) != nullptr) return DialogKind::kProgress;
    if (GetDlgItem(dialog, 1017) != nullptr) return DialogKind::kSetup;
    if (GetDlgItem(dialog, 0xFFFF) != nullptr) return DialogKind::kMessageBox;
    return DialogKind::kUnknown;
}

void Click(HWND dialog, int control) { SendMessageW(GetDlgItem(dialog, control), BM_CLICK, 0, 0); }

void PressKey(HWND dialog, UINT virtualKey) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    HWND target = dialog;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info) &&
        info.hwndFocus != nullptr && IsChild(dialog, info.hwndFocus)) {
        target = info.hwndFocus;
    }
    PostMessageW(target, WM_KEYDOWN, virtualKey, 1);
    PostMessageW(target, WM_KEYUP, virtualKey, static_cast<LPARAM>(0xC0000001u));
}

void CloseBox(HWND dialog) { PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }

bool WaitGone(HWND window, DWORD milliseconds) {
    const DWORD start = GetTickCount();
    while (IsWindow(window)) {
        if (GetTickCount() - start > milliseconds) return false;
        Sleep(10);
    }
    return true;
}

std::wstring ControlText(HWND dialog, int control) {
    HWND item = GetDlgItem(dialog, control);
    return item ? WindowText(item) : std::wstring();
}

std::wstring ProgramPath(const std::wstring& program) {
    wchar_t folder[MAX_PATH] = {};
    if (program == L"cmd.exe") {
        GetSystemDirectoryW(folder, MAX_PATH);
    } else {
        GetSystemWindowsDirectoryW(folder, MAX_PATH);
    }
    const std::wstring path = folder;
    return path + (path.empty() || path.back() != L'\\' ? L"\\" : L"") + program;
}

}  // namespace rig

// Opens one of the plug-in's windows inside a stand-in host session and keeps it up until it
// is closed, so that scripts/render-pictures.sh can photograph it:
//   cvt_render_pictures.exe confirm|outside|progress|setup|invalid-path
// The plug-in runs unchanged; only its shell launch is intercepted, so nothing is opened.
// Exits 0 when the window was shown and closed again, 1 when it did not appear.
#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "rig/dialogs.h"
#include "rig/rig.h"
#include "standin/standin_host.h"

namespace {

// A path with Japanese in it, so the picture shows that the path line renders them.
constexpr wchar_t kServerPath[] = L"\\\\fs01\\share\\reports\\2024年度 営業報告";
constexpr wchar_t kForbiddenPath[] = L"\\\\fs01\\share\\a*b";
// A server outside the organisation, asked about although the question is switched off.
constexpr wchar_t kOutsidePath[] = L"\\\\files.example.com\\share\\請求書.pdf";

void WriteFirstStartSettings() {
    rig::CreateSettingsKey();
    rig::WriteDword(L"TrivaneConfirm", 1);
    rig::WriteDword(L"TrivaneTripleClick", 1);
    rig::WriteDword(L"TrivaneFile", 1);
    rig::WriteDword(L"TrivanePreserve", 0);
}

// The progress window is modeless: keep dispatching until it has gone.
void PumpWhileWindow(HWND window) {
    while (IsWindow(window)) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

bool Show(const wchar_t* which) {
    rig::HostSession session;
    if (!session.ok()) return false;
    // A visible, active owner, as in the host: the windows then open active too.
    ShowWindow(session.main(), SW_SHOW);
    rig::PluginObserver& observer = session.Observe(/*showMessageBoxes=*/true);
    const rig::CallLog& log = observer.log();
    if (std::wcscmp(which, L"confirm") == 0) {
        session.SelectInView(kServerPath);
        session.PressShiftO(session.view());
        return log.dialogBoxes.size() == 1 && log.dialogBoxes[0].result > 0;
    }
    if (std::wcscmp(which, L"outside") == 0) {
        rig::WriteDword(L"TrivaneConfirm", 0);
        session.SelectInView(kOutsidePath);
        session.PressShiftO(session.view());
        return log.dialogBoxes.size() == 1 && log.dialogBoxes[0].result > 0;
    }
    if (std::wcscmp(which, L"progress") == 0) {
        rig::WriteDword(L"TrivaneConfirm", 0);
        session.SelectInView(kServerPath);
        session.PressShiftO(session.view());
        rig::WriteDword(L"TrivaneConfirm", 1);
        PumpWhileWindow(log.lastProgressWindow);
        return log.lastProgressWindow != nullptr && log.launches.size() == 1;
    }
    if (std::wcscmp(which, L"setup") == 0) {
        rig::HostSession::HostCommand setup = session.SetupCommand();
        return setup != nullptr && setup(session.main(), 0) > 0;
    }
    if (std::wcscmp(which, L"invalid-path") == 0) {
        session.SelectInView(kForbiddenPath);
        session.PressShiftO(session.view());
        return log.messageBoxes.size() == 1 && log.launches.empty();
    }
    return false;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fputs("usage: cvt_render_pictures confirm|outside|progress|setup|invalid-path\n",
                   stderr);
        return 2;
    }
    standin::RegisterHostClasses(GetModuleHandleW(nullptr));
    WriteFirstStartSettings();
    const bool shown = Show(argv[1]);
    std::printf("%ls: %s\n", argv[1], shown ? "shown and closed" : "did not appear");
    return shown ? 0 : 1;
}

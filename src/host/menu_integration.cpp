#include "host/menu_integration.h"

#include <cstring>
#include <cwchar>
#include <memory>
#include <new>

#include "capture/selected_text.h"
#include "capture/selection_capture.h"
#include "common/texts_cp932.h"
#include "common/utf16_text.h"
#include "host/host_api.h"
#include "host/menu_caption.h"
#include "open/open_command.h"
#include "settings/setup_dialog.h"

namespace cvt {

namespace {

constexpr int kMenuBar = 0;
constexpr int kToolsMenuPosition = 4;
// Past the end of any pop-up, so insertions land at its end.
constexpr UINT kAppendPosition = 255;

void AddSetupItem(HMENU menuBar) {
    const int command = HostRegisterCommand()(kSetupCommandDescription932, kMenuBar, &SetupCommand);
    HMENU tools = GetSubMenu(menuBar, kToolsMenuPosition);
    InsertMenuA(tools, kAppendPosition, MF_BYPOSITION | MF_SEPARATOR, 0, "");
    InsertMenuA(tools, kAppendPosition, MF_BYPOSITION | MF_STRING, static_cast<UINT_PTR>(command),
                kSetupMenuItem932);
}

// Captures the window's selection and, when it holds a path, offers to open it at the top of
// the menu; the caption shows the path as the mail writes it, without asking the server. Picking
// the item runs the open command on this capture's SelectedText.
void AddOpenItem(HWND window, HMENU menu, int kind) {
    if (CaptureSelection(window) & 0x80000000u) return;
    if (SelectedText == nullptr) return;
    // The caption is read from a copy: the reading rewrites its text, and the command must
    // read the selection as it was to find the same path.
    const std::size_t length = std::wcslen(SelectedText);
    std::unique_ptr<char16_t[]> copy(new (std::nothrow) char16_t[length + 1]);
    if (!copy) return;
    std::memcpy(copy.get(), SelectedText, (length + 1) * sizeof(char16_t));
    char16_t* path = LocateMenuPath(copy.get());
    if (path == nullptr) return;
    const int command = HostRegisterCommand()(kOpenCommandDescription932, kind, &OpenPathCommand);
    char16_t caption[kMenuCaptionCapacity];
    BuildMenuCaption(path, static_cast<std::uint32_t>(kind), caption);
    InsertMenuW(menu, 0, MF_BYPOSITION | MF_STRING, static_cast<UINT_PTR>(command),
                AsWide(caption));
}

}  // namespace

int OnMenuInit(HWND window, HMENU menu, int kind) {
    if (kind == kMenuBar) {
        AddSetupItem(menu);
    } else if (MenuKindTakesOpenItem(static_cast<std::uint32_t>(kind))) {
        AddOpenItem(window, menu, kind);
    }
    return 0;
}

}  // namespace cvt

#include "host/menu_integration.h"

#include "host/host_api.h"
#include "host/host_texts.h"
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

}  // namespace

int OnMenuInit(HWND, HMENU menu, int kind) {
    if (kind == kMenuBar) AddSetupItem(menu);
    return 0;
}

}  // namespace cvt

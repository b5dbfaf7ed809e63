#include "capture/subclass.h"

#include <map>

#include "host/guarded.h"

namespace cvt {

namespace {

// Window handle (ordered as an unsigned number) to the procedure it had before.
std::map<UINT_PTR, WNDPROC> SubclassMap;

WNDPROC AsWndProc(LONG value) { return reinterpret_cast<WNDPROC>(static_cast<LONG_PTR>(value)); }

LONG AsLong(WNDPROC procedure) {
    return static_cast<LONG>(reinterpret_cast<LONG_PTR>(procedure));
}

LRESULT PassOn(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto entry = SubclassMap.find(reinterpret_cast<UINT_PTR>(window));
    if (entry == SubclassMap.end() || entry->second == nullptr) return 0;
    return CallWindowProcA(entry->second, window, message, wParam, lParam);
}

}  // namespace

void InstallSubclass(HWND window) {
    if (window == nullptr) return;
    WNDPROC current = AsWndProc(GetWindowLongA(window, GWL_WNDPROC));
    if (current == &SubclassProc) return;
    // The entry is written first, so SubclassProc always finds its window.
    SubclassMap[reinterpret_cast<UINT_PTR>(window)] = current;
    SetWindowLongA(window, GWL_WNDPROC, AsLong(&SubclassProc));
}

LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return Guarded<LRESULT>(0, [&] { return PassOn(window, message, wParam, lParam); });
}

}  // namespace cvt

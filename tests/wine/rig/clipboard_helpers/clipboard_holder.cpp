// Another program that holds the clipboard open on request, for as long as it is told.
//   cvt_clipboard_holder.exe TAG
// Named objects TAG.ready, TAG.hold, TAG.held, TAG.release, TAG.released, TAG.quit (events)
// and TAG.ms (two DWORDs: how long to hold, and 1 while the hold succeeded) are created by the test
// before it starts this.
#include <windows.h>

#include <string>

namespace {

HANDLE OpenNamed(const std::string& tag, const char* suffix) {
    return OpenEventA(EVENT_MODIFY_STATE | SYNCHRONIZE, FALSE, (tag + suffix).c_str());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const std::string tag = argv[1];
    HANDLE ready = OpenNamed(tag, ".ready");
    HANDLE hold = OpenNamed(tag, ".hold");
    HANDLE held = OpenNamed(tag, ".held");
    HANDLE release = OpenNamed(tag, ".release");
    HANDLE released = OpenNamed(tag, ".released");
    HANDLE quit = OpenNamed(tag, ".quit");
    HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, (tag + ".ms").c_str());
    if (!ready || !hold || !held || !release || !released || !quit || !mapping) return 3;
    auto* shared = static_cast<volatile DWORD*>(
        MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 2 * sizeof(DWORD)));
    HWND window = CreateWindowExA(0, "STATIC", "holder", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  nullptr, nullptr);
    if (shared == nullptr || window == nullptr) return 4;
    SetEvent(ready);
    HANDLE waits[2] = {hold, quit};
    while (WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0) {
        bool opened = false;
        for (int attempt = 0; attempt < 200 && !opened; ++attempt) {
            opened = OpenClipboard(window) != FALSE;
            if (!opened) Sleep(5);
        }
        shared[1] = opened ? 1 : 0;
        SetEvent(held);
        WaitForSingleObject(release, shared[0]);
        if (opened) CloseClipboard();
        SetEvent(released);
    }
    DestroyWindow(window);
    return 0;
}

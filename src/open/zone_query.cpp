#include "open/zone_query.h"

#include <windows.h>
#include <urlmon.h>

#include "common/proc_address.h"
#include "common/win_handles.h"
#include "open/system_programs.h"

namespace cvt {

namespace {

struct ComReleaseTraits {
    static void Close(IInternetSecurityManager* manager) { manager->Release(); }
};
using SecurityManager = UniqueHandle<IInternetSecurityManager*, ComReleaseTraits>;

using CreateSecurityManagerFunction = HRESULT(WINAPI*)(IServiceProvider*,
                                                       IInternetSecurityManager**, DWORD);
using CoInitializeExFunction = HRESULT(WINAPI*)(void*, DWORD);
using CoUninitializeFunction = void(WINAPI*)();

// A system DLL by its full path, never by a search that could find a planted copy.
LoadedLibrary LoadSystemLibrary(const wchar_t* name) {
    wchar_t path[kProgramPathCapacity];
    if (!ProgramPath(ProgramFolder::kSystem, name, path)) return LoadedLibrary();
    return LoadedLibrary(LoadLibraryW(path));
}

// COM on the host's thread for the length of one question. The host may or may not have
// initialised it: a single-threaded apartment is entered (the thread runs the host's window
// loop) and left again only when this call entered it; a thread already in the
// multi-threaded apartment (RPC_E_CHANGED_MODE) is used as it is.
class ComForThisCall {
public:
    explicit ComForThisCall(HMODULE ole32) {
        auto initialize = ProcAddress<CoInitializeExFunction>(ole32, "CoInitializeEx");
        uninitialize_ = ProcAddress<CoUninitializeFunction>(ole32, "CoUninitialize");
        if (initialize == nullptr || uninitialize_ == nullptr) return;
        const HRESULT result = initialize(nullptr, COINIT_APARTMENTTHREADED);
        entered_ = SUCCEEDED(result);  // S_OK, or S_FALSE when it already was
        usable_ = entered_ || result == RPC_E_CHANGED_MODE;
    }
    ~ComForThisCall() {
        if (entered_) uninitialize_();
    }
    ComForThisCall(const ComForThisCall&) = delete;
    ComForThisCall& operator=(const ComForThisCall&) = delete;
    bool usable() const { return usable_; }

private:
    CoUninitializeFunction uninitialize_ = nullptr;
    bool entered_ = false;
    bool usable_ = false;
};

}  // namespace

bool ZoneSaysInside(const wchar_t* url) {
    LoadedLibrary ole32 = LoadSystemLibrary(L"ole32.dll");
    if (!ole32) return false;
    LoadedLibrary urlmon = LoadSystemLibrary(L"urlmon.dll");
    if (!urlmon) return false;
    auto create =
        ProcAddress<CreateSecurityManagerFunction>(urlmon.get(), "CoInternetCreateSecurityManager");
    if (create == nullptr) return false;
    const ComForThisCall com(ole32.get());
    if (!com.usable()) return false;
    DWORD zone = URLZONE_UNTRUSTED;
    {
        IInternetSecurityManager* created = nullptr;
        if (FAILED(create(nullptr, &created, 0)) || created == nullptr) return false;
        const SecurityManager manager(created);
        // The file itself is not read for a mark of the web: that would connect to the server.
        if (FAILED(manager.get()->MapUrlToZone(url, &zone, MUTZ_NOSAVEDFILECHECK))) return false;
    }
    // Trusted sites often list outside services; only the intranet zone gets the logon anyway.
    return zone == URLZONE_INTRANET;
}

}  // namespace cvt

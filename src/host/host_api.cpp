#include "host/host_api.h"

#include "common/proc_address.h"

namespace cvt {

HostApiTable HostApi = {};

namespace {

constexpr std::size_t kGetStatusLookup = 20;
constexpr std::size_t kSetSourceLookup = 24;
constexpr std::size_t kSetStatusLookup = 54;
constexpr std::size_t kGetSizeLookup = 57;

// Version from which the host must also offer CVA_SetStatus.
constexpr const char kSetStatusVersion[] = "2.00.06";

template <typename Function>
Function EntryAs(std::size_t lookupIndex) {
    // Through void* so that the data-to-function cast is explicit and warning-free.
    void* address = HostApi.entries[HostApiSlot(lookupIndex)];
    Function function;
    static_assert(sizeof(function) == sizeof(address), "flat 32-bit addresses");
    __builtin_memcpy(&function, &address, sizeof(address));
    return function;
}

}  // namespace

std::size_t HostApiSlot(std::size_t lookupIndex) {
    if (lookupIndex <= kGetStatusLookup) return lookupIndex;
    if (lookupIndex == kSetStatusLookup) return kGetStatusLookup + 1;
    if (lookupIndex <= kSetSourceLookup) return lookupIndex + 1;
    if (lookupIndex == kGetSizeLookup) return kSetSourceLookup + 2;
    if (lookupIndex < kSetStatusLookup) return lookupIndex + 2;
    return lookupIndex + 1;  // CVA_NextUnread and CVA_ProcessMail close the table
}

int BindHostApi() {
    if (HostApi.hostModule != nullptr) return 1;

    HMODULE host = GetModuleHandleA(nullptr);
    HostApi.hostModule = host;
    if (host == nullptr) return 0;

    for (std::size_t i = 0; i < kRequiredHostFunctionCount; ++i) {
        void* address = ProcAddress<void*>(host, kHostFunctionNames[i]);
        HostApi.entries[HostApiSlot(i)] = address;
        if (address == nullptr) {
            HostApi.hostModule = nullptr;
            return 0;
        }
    }
    for (std::size_t i = kRequiredHostFunctionCount; i < kHostFunctionCount; ++i) {
        HostApi.entries[HostApiSlot(i)] = ProcAddress<void*>(host, kHostFunctionNames[i]);
    }

    // Hosts before 2.00.06 have no CVA_SetStatus; later ones must offer it. The comparison
    // is the system's ANSI one, as the host's versions have always been compared.
    const char* version = HostGetVersion()();
    if (version != nullptr && lstrlenA(version) <= 7 && lstrcmpA(version, kSetStatusVersion) < 0) {
        return 1;
    }
    if (HostApi.entries[HostApiSlot(kSetStatusLookup)] != nullptr) return 1;
    HostApi.hostModule = nullptr;
    return 0;
}

GetVersionFunction HostGetVersion() { return EntryAs<GetVersionFunction>(0); }
GetWindowHandlesFunction HostGetWindowHandles() { return EntryAs<GetWindowHandlesFunction>(2); }
RegisterCommandFunction HostRegisterCommand() { return EntryAs<RegisterCommandFunction>(3); }

}  // namespace cvt

// Observing what the plug-in calls: the import address table of the loaded DLL is patched so
// that one imported function goes to a recording stub instead. The DLL needs no test seam.
#pragma once

#include <windows.h>

namespace rig {

// Replaces the slot through which module calls importedDll!function. Returns the original
// address, or null when the module does not import that function.
void* PatchImport(HMODULE module, const char* importedDll, const char* function, void* replacement);

// Patches on construction and puts the original back on destruction.
class ScopedImportPatch {
public:
    ScopedImportPatch(HMODULE module, const char* importedDll, const char* function,
                      void* replacement);
    ~ScopedImportPatch();
    ScopedImportPatch(const ScopedImportPatch&) = delete;
    ScopedImportPatch& operator=(const ScopedImportPatch&) = delete;
    void* original() const { return original_; }
    bool active() const { return original_ != nullptr; }

private:
    HMODULE module_;
    const char* dll_;
    const char* function_;
    void* original_;
};

template <typename Function>
void* AsAddress(Function function) {
    void* address;
    static_assert(sizeof(address) == sizeof(function), "flat addresses");
    __builtin_memcpy(&address, &function, sizeof(address));
    return address;
}

template <typename Function>
Function AsFunction(void* address) {
    Function function;
    static_assert(sizeof(address) == sizeof(function), "flat addresses");
    __builtin_memcpy(&function, &address, sizeof(address));
    return function;
}

}  // namespace rig

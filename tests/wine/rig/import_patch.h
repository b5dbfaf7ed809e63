// Observing what the plug-in calls: the import address table of the loaded DLL is patched so
// that one imported function goes to a recording stub instead. The DLL needs no test seam.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace rig {

// One slot of a module's import address table.
struct ImportSlot {
    std::string dll;       // as the import table names it, e.g. "USER32.dll"
    std::string function;  // empty for an import by ordinal
    WORD ordinal = 0;      // for an import by ordinal
    void** slot = nullptr;
};

// Every import of the module, in import-table order (all DLLs, all names).
std::vector<ImportSlot> ListImports(HMODULE module);

// Writes address into the slot and returns what it held.
void* WriteSlot(void** slot, void* address);

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
void* AsAddress(Function function);
template <typename Function>
Function AsFunction(void* address);

using PatchList = std::vector<std::unique_ptr<ScopedImportPatch>>;

// Adds a patch of dll!name to replacement and stores the address it replaced in *original.
template <typename Function>
void AddPatch(PatchList& patches, HMODULE module, const char* dll, const char* name,
              Function replacement, Function* original) {
    patches.push_back(
        std::make_unique<ScopedImportPatch>(module, dll, name, AsAddress(replacement)));
    *original = AsFunction<Function>(patches.back()->original());
}

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

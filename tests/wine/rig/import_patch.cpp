#include "rig/import_patch.h"

namespace rig {

std::vector<ImportSlot> ListImports(HMODULE module) {
    std::vector<ImportSlot> imports;
    auto* base = reinterpret_cast<BYTE*>(module);
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0) return imports;
    for (auto* descriptor =
             reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
         descriptor->Name != 0; ++descriptor) {
        const char* dll = reinterpret_cast<char*>(base + descriptor->Name);
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(
            base + (descriptor->OriginalFirstThunk ? descriptor->OriginalFirstThunk
                                                   : descriptor->FirstThunk));
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + descriptor->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            ImportSlot import;
            import.dll = dll;
            import.slot = reinterpret_cast<void**>(&slots->u1.Function);
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) {
                import.ordinal = static_cast<WORD>(IMAGE_ORDINAL(names->u1.Ordinal));
            } else {
                auto* byName =
                    reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
                import.function = reinterpret_cast<char*>(byName->Name);
            }
            imports.push_back(import);
        }
    }
    return imports;
}

void* WriteSlot(void** slot, void* address) {
    DWORD oldProtection = 0;
    VirtualProtect(slot, sizeof(*slot), PAGE_READWRITE, &oldProtection);
    void* previous = *slot;
    *slot = address;
    VirtualProtect(slot, sizeof(*slot), oldProtection, &oldProtection);
    return previous;
}

void* PatchImport(HMODULE module, const char* importedDll, const char* function,
                  void* replacement) {
    for (const ImportSlot& import : ListImports(module)) {
        if (!import.function.empty() && import.function == function &&
            lstrcmpiA(import.dll.c_str(), importedDll) == 0) {
            return WriteSlot(import.slot, replacement);
        }
    }
    return nullptr;
}

ScopedImportPatch::ScopedImportPatch(HMODULE module, const char* importedDll, const char* function,
                                     void* replacement)
    : module_(module),
      dll_(importedDll),
      function_(function),
      original_(PatchImport(module, importedDll, function, replacement)) {}

ScopedImportPatch::~ScopedImportPatch() {
    if (original_ != nullptr) PatchImport(module_, dll_, function_, original_);
}

}  // namespace rig

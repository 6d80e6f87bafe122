#include "tests/wine/support/ImportHook.h"

#include <cstring>
#include <map>
#include <mutex>

namespace {

// The import address table slot of dll!function in a loaded module.
FARPROC* FindImportSlot(HMODULE module, const char* dll, const char* function) {
  auto* base = reinterpret_cast<BYTE*>(module);
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  auto* desc = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
  if (!dir.VirtualAddress) return nullptr;
  for (; desc->Name; ++desc) {
    if (lstrcmpiA(reinterpret_cast<char*>(base + desc->Name), dll) != 0) continue;
    if (!desc->OriginalFirstThunk) continue;  // no names left to find the function by
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->OriginalFirstThunk);
    auto* slots = reinterpret_cast<FARPROC*>(base + desc->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<char*>(byName->Name), function) == 0) return slots;
    }
  }
  return nullptr;
}

std::mutex lookupsLock;
std::map<std::string, int> lookups;
FARPROC(WINAPI* realGetProcAddress)(HMODULE, LPCSTR) = nullptr;

FARPROC WINAPI CountingGetProcAddress(HMODULE module, LPCSTR name) {
  if (HIWORD(reinterpret_cast<UINT_PTR>(name))) {
    std::lock_guard<std::mutex> guard(lookupsLock);
    ++lookups[name];
  }
  return realGetProcAddress(module, name);
}

}  // namespace

FARPROC ReplaceImport(HMODULE module, const char* dll, const char* function, FARPROC replacement) {
  if (!module) return nullptr;
  FARPROC* slot = FindImportSlot(module, dll, function);
  if (!slot) return nullptr;
  DWORD old = 0;
  if (!VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old)) return nullptr;
  FARPROC previous = *slot;
  *slot = replacement;
  VirtualProtect(slot, sizeof *slot, old, &old);
  return previous;
}

FARPROC ReplaceImport(const char* dll, const char* function, FARPROC replacement) {
  return ReplaceImport(GetModuleHandleA(nullptr), dll, function, replacement);
}

GetProcAddressCounter::GetProcAddressCounter() : installed_(false) {
  {
    std::lock_guard<std::mutex> guard(lookupsLock);
    lookups.clear();
  }
  FARPROC previous = ReplaceImport("KERNEL32.dll", "GetProcAddress",
                                   CodeCast<FARPROC>(CountingGetProcAddress));
  if (!previous) return;
  realGetProcAddress = CodeCast<FARPROC(WINAPI*)(HMODULE, LPCSTR)>(previous);
  installed_ = true;
}

GetProcAddressCounter::~GetProcAddressCounter() {
  if (installed_) ReplaceImport("KERNEL32.dll", "GetProcAddress", CodeCast<FARPROC>(realGetProcAddress));
}

int GetProcAddressCounter::LookupsOf(const std::string& name) const {
  std::lock_guard<std::mutex> guard(lookupsLock);
  auto found = lookups.find(name);
  return found == lookups.end() ? 0 : found->second;
}

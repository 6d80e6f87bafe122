#include "tests/wine/support/ImportHook.h"

#include <windows.h>

#include <cstring>
#include <map>
#include <mutex>

namespace {

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

// The import address table slot of kernel32's GetProcAddress in this executable.
FARPROC* FindImportSlot() {
  auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  auto* desc = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
  for (; desc->Name; ++desc) {
    if (lstrcmpiA(reinterpret_cast<char*>(base + desc->Name), "KERNEL32.dll") != 0) continue;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->OriginalFirstThunk);
    auto* slots = reinterpret_cast<FARPROC*>(base + desc->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<char*>(byName->Name), "GetProcAddress") == 0) return slots;
    }
  }
  return nullptr;
}

bool Patch(FARPROC* slot, FARPROC value) {
  DWORD old = 0;
  if (!VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old)) return false;
  *slot = value;
  VirtualProtect(slot, sizeof *slot, old, &old);
  return true;
}

}  // namespace

GetProcAddressCounter::GetProcAddressCounter() : installed_(false) {
  FARPROC* slot = FindImportSlot();
  if (!slot) return;
  {
    std::lock_guard<std::mutex> guard(lookupsLock);
    lookups.clear();
  }
  realGetProcAddress = reinterpret_cast<FARPROC(WINAPI*)(HMODULE, LPCSTR)>(
      reinterpret_cast<void (*)()>(*slot));
  installed_ = Patch(slot, reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(CountingGetProcAddress)));
}

GetProcAddressCounter::~GetProcAddressCounter() {
  if (installed_)
    Patch(FindImportSlot(), reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(realGetProcAddress)));
}

int GetProcAddressCounter::LookupsOf(const std::string& name) const {
  std::lock_guard<std::mutex> guard(lookupsLock);
  auto found = lookups.find(name);
  return found == lookups.end() ? 0 : found->second;
}

// What the module does when the process loads and unloads it: get the fingerprint library ready
// beside the module, fix the language, and release the library at the end. Nothing here may stop
// the module from loading; without the library, password logon works as usual.
#include "gina/ModuleLifetime.h"

#include <cstring>
#include <new>

#include "accounts/Registry.h"
#include "fingerprint/FingerprintLibrary.h"
#include "gina/GinaState.h"
#include "resources/Language.h"

namespace {

const char kCurrentVersionKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
const char kWinlogonSubkey[] = "Winlogon";
const char kFingerprintLibraryFile[] = "papyl.dll";

// A path without a backslash stays as it is.
void CutAtLastBackslash(char* path) {
  char* last = std::strrchr(path, '\\');
  if (last) *last = '\0';
}

FingerprintLibrary* LoadFingerprintLibrary() {
  auto* library = new (std::nothrow) FingerprintLibrary;
  if (!library) return nullptr;
  if (!library->SetFileName(kFingerprintLibraryFile) || !library->Load(0)) {
    delete library;
    return nullptr;
  }
  return library;
}

// The library is loaded by its bare name, so the module's own folder (where Winlogon loaded it
// from) becomes the current directory first.
void PrepareFingerprintLibrary() {
  char* modulePath = nullptr;
  if (ReadStringValue(kCurrentVersionKey, kWinlogonSubkey, "GinaDLL", &modulePath) != 0) return;
  CutAtLastBackslash(modulePath);
  if (SetCurrentDirectoryA(modulePath)) GinaState.library = LoadFingerprintLibrary();
  delete[] modulePath;
}

}  // namespace

void AttachModule(HINSTANCE instance) {
  PrepareFingerprintLibrary();
  GinaState.moduleInstance = instance;
  SelectThreadLocale();
  SelectMessageLanguage();
}

void DetachModule() {
  FingerprintLibrary* library = GinaState.library;
  if (!library) return;
  library->PxCapFinalize();
  library->PxFinalize();
  library->Unload();
  delete library;
  GinaState.library = nullptr;
}

// What the module does when the process loads and unloads it: get the fingerprint library ready
// beside the module, fix the language, and release the library at the end. Nothing here may stop
// the module from loading; without the library, password logon works as usual.
#include "gina/ModuleLifetime.h"

#include "accounts/PathFolder.h"
#include "accounts/Registry.h"
#include "accounts/WinlogonKey.h"
#include "fingerprint/CaptureState.h"
#include "resources/Language.h"
#include "resources/ModuleResources.h"

namespace {

// The library is loaded by its bare name, so the module's own folder (where Winlogon loaded it
// from) becomes the current directory first.
void PrepareLibraryBesideModule() {
  char* modulePath = nullptr;
  if (ReadStringValue(kWinlogonParentKey, kWinlogonKeyName, kGinaDllValue, &modulePath) != 0)
    return;
  // A path without a backslash stays as it is.
  size_t folder = FolderLength(modulePath);
  if (folder) modulePath[folder] = '\0';
  if (SetCurrentDirectoryA(modulePath)) PrepareFingerprintLibrary();
  delete[] modulePath;
}

}  // namespace

void AttachModule(HINSTANCE instance) {
  PrepareLibraryBesideModule();
  moduleInstance = instance;
  SelectThreadLocale();
  SelectMessageLanguage();
}

void DetachModule(bool processEnding) {
  // When the process is ending, the library has already been detached and its threads are gone:
  // calling into it could crash or hang the ending process, and the system frees everything.
  if (!processEnding) ReleaseFingerprintLibrary();
}

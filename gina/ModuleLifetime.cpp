// What the module does when the process loads and unloads it: get the fingerprint library ready
// beside the module, fix the language, and release the library at the end. Nothing here may stop
// the module from loading; without the library, password logon works as usual.
#include "gina/ModuleLifetime.h"

#include <cstring>

#include "accounts/Registry.h"
#include "fingerprint/CaptureState.h"
#include "resources/Language.h"
#include "resources/ModuleResources.h"

namespace {

const char kCurrentVersionKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
const char kWinlogonSubkey[] = "Winlogon";

// Cuts a module path down to its folder. A path without a backslash stays as it is. A folder at
// the root keeps its backslash: "C:" alone would name drive C's current folder, not its root.
void CutAtLastBackslash(char* path) {
  char* last = std::strrchr(path, '\\');
  if (!last) return;
  bool atRoot = last == path || (last == path + 2 && path[1] == ':');
  last[atRoot ? 1 : 0] = '\0';
}

// The library is loaded by its bare name, so the module's own folder (where Winlogon loaded it
// from) becomes the current directory first.
void PrepareLibraryBesideModule() {
  char* modulePath = nullptr;
  if (ReadStringValue(kCurrentVersionKey, kWinlogonSubkey, "GinaDLL", &modulePath) != 0) return;
  CutAtLastBackslash(modulePath);
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

// The DLL entry point: the module prepares itself when Winlogon loads it and releases the
// fingerprint library when it is unloaded. Loading never fails because of either.
#include <windows.h>

#include "gina/ModuleLifetime.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) AttachModule(instance);
  if (reason == DLL_PROCESS_DETACH) DetachModule(reserved != nullptr);
  return TRUE;
}

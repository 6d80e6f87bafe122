// GoogleTest copies every failure message to OutputDebugStringA. Under the emulated 32-bit Wine
// the debug exception that call raises takes the whole test process down, so a failing run would
// stop at its first failure; the suite keeps its messages on the console only.
#include <windows.h>

#include "tests/wine/support/ImportHook.h"

namespace {

VOID WINAPI QuietOutputDebugString(LPCSTR) {}

[[maybe_unused]] const FARPROC quietened = ReplaceImport(
    "KERNEL32.dll", "OutputDebugStringA",
    reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(QuietOutputDebugString)));

}  // namespace

// A binary with one import that Windows 2000 lacks: the import check must refuse it.
#include <windows.h>

extern "C" __declspec(dllexport) ULONGLONG CanaryUptime() { return GetTickCount64(); }

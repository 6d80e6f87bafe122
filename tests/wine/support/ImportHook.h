// Redirecting imports: the test executable's own (the module code linked into it calls Windows
// through them) or those of a loaded module such as VoDUVO.dll, so a test can watch or quieten
// those calls.
#pragma once

#include <windows.h>

#include <string>

// Between a function pointer of one type and another (FARPROC and the real signature), through
// the generic function pointer type so that the compiler does not warn.
template <class To, class From>
To CodeCast(From from) {
  return reinterpret_cast<To>(reinterpret_cast<void (*)()>(from));
}

// Points the executable's import of dll!function at replacement; returns what it pointed at
// before, or null when the executable does not import that function.
FARPROC ReplaceImport(const char* dll, const char* function, FARPROC replacement);
// The same in the import table of module (null: nothing is replaced).
FARPROC ReplaceImport(HMODULE module, const char* dll, const char* function, FARPROC replacement);

// Counts the executable's GetProcAddress lookups by name while an instance lives.
class GetProcAddressCounter {
 public:
  GetProcAddressCounter();
  ~GetProcAddressCounter();
  GetProcAddressCounter(const GetProcAddressCounter&) = delete;
  GetProcAddressCounter& operator=(const GetProcAddressCounter&) = delete;

  bool Installed() const { return installed_; }
  int LookupsOf(const std::string& name) const;

 private:
  bool installed_;
};

// Redirecting the test executable's own imports. The module code linked into the executable
// calls Windows through the same import table, so a test can watch or quieten those calls.
#pragma once

#include <windows.h>

#include <string>

// Points the executable's import of dll!function at replacement; returns what it pointed at
// before, or null when the executable does not import that function.
FARPROC ReplaceImport(const char* dll, const char* function, FARPROC replacement);

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

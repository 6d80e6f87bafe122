// Counts the test executable's own GetProcAddress lookups by name, by redirecting its import of
// GetProcAddress while an instance lives. The module code linked into the executable looks up the
// fingerprint library's entry points through that import.
#pragma once

#include <string>

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

// Winlogon's GinaDLL value, which tells the module where it was loaded from. The suite runs with
// the value removed (the module then has no fingerprint library) unless a test sets it.
#pragma once

#include <string>

bool ReadGinaDll(std::string* value);
bool SetGinaDll(const std::string& value);
void RemoveGinaDll();

// Sets (or, with no value, removes) GinaDLL for one scope and puts the previous state back after.
class ScopedGinaDll {
 public:
  ScopedGinaDll();
  explicit ScopedGinaDll(const std::string& value);
  ~ScopedGinaDll();
  ScopedGinaDll(const ScopedGinaDll&) = delete;
  ScopedGinaDll& operator=(const ScopedGinaDll&) = delete;

 private:
  bool hadValue_;
  std::string oldValue_;
};

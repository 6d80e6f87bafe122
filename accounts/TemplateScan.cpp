#include "accounts/TemplateScan.h"

#include <new>

#include "accounts/Registry.h"
#include "accounts/StoreFormat.h"

namespace {

bool Grow(TemplateScratch* scratch, DWORD size) {
  if (size <= scratch->capacity && scratch->data) return true;
  BYTE* grown = new (std::nothrow) BYTE[size ? size : 1];
  if (!grown) return false;
  delete[] scratch->data;
  scratch->data = grown;
  scratch->capacity = size ? size : 1;
  return true;
}

// One query when the value fits what the buffer already holds; a second after growing it.
bool ReadValue(HKEY key, const char* name, TemplateScratch* scratch) {
  DWORD size = scratch->capacity;
  LONG result = RegQueryValueExA(key, name, nullptr, nullptr, scratch->data, &size);
  if (result == ERROR_MORE_DATA || (result == ERROR_SUCCESS && !scratch->data)) {
    if (!Grow(scratch, size)) return false;
    size = scratch->capacity;
    result = RegQueryValueExA(key, name, nullptr, nullptr, scratch->data, &size);
  }
  return result == ERROR_SUCCESS;
}

}  // namespace

int ReadBothTemplates(const char* userName, TemplateScratch* first, TemplateScratch* second,
                      const char** unreadable) {
  char* path = JoinKeyPath(kStorePath, userName);
  if (!path) return StoreNoValue;
  HKEY key = nullptr;
  LONG opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE, &key);
  delete[] path;
  if (opened != ERROR_SUCCESS) return StoreNoValue;
  const char* failed = !ReadValue(key, kTemplate1Value, first)    ? kTemplate1Value
                       : !ReadValue(key, kTemplate2Value, second) ? kTemplate2Value
                                                                  : nullptr;
  RegCloseKey(key);
  if (failed && unreadable) *unreadable = failed;
  return failed ? StoreUnreadable : StoreOk;
}

void ReleaseScratch(TemplateScratch* scratch) {
  delete[] scratch->data;
  *scratch = TemplateScratch{nullptr, 0};
}

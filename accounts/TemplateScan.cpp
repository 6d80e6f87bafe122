#include "accounts/TemplateScan.h"

#include <cstring>
#include <new>

#include "accounts/Registry.h"
#include "accounts/StoreFormat.h"

namespace {

bool Grow(TemplateScratch* scratch, DWORD size) {
  if (size <= scratch->capacity && scratch->data) return true;
  DWORD capacity = size > kTemplateRoom ? size : kTemplateRoom;
  BYTE* grown = new (std::nothrow) BYTE[capacity]();
  if (!grown) return false;
  delete[] scratch->data;
  scratch->data = grown;
  scratch->capacity = capacity;
  scratch->used = 0;
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
  if (result != ERROR_SUCCESS) return false;
  // Nothing of the previous account's template may follow a shorter value.
  if (scratch->used > size) memset(scratch->data + size, 0, scratch->used - size);
  scratch->used = size;
  return true;
}

}  // namespace

int ReadBothTemplates(const char* userName, TemplateScratch* first, TemplateScratch* second,
                      const char** unreadable) {
  char* path = JoinKeyPath(kStorePath, userName);
  if (!path) return StoreNoAccount;
  HKEY key = nullptr;
  LONG opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE, &key);
  delete[] path;
  if (opened != ERROR_SUCCESS) return StoreNoAccount;
  const char* failed = !ReadValue(key, kTemplate1Value, first)    ? kTemplate1Value
                       : !ReadValue(key, kTemplate2Value, second) ? kTemplate2Value
                                                                  : nullptr;
  RegCloseKey(key);
  if (failed && unreadable) *unreadable = failed;
  return failed ? StoreUnreadable : StoreOk;
}

void ReleaseScratch(TemplateScratch* scratch) {
  delete[] scratch->data;
  *scratch = TemplateScratch{nullptr, 0, 0};
}

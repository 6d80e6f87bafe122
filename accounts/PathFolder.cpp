#include "accounts/PathFolder.h"

#include <cstring>

size_t FolderLength(const char* path) {
  const char* last = path ? std::strrchr(path, '\\') : nullptr;
  if (!last) return 0;
  size_t length = static_cast<size_t>(last - path);
  bool atRoot = length == 0 || (length == 2 && path[1] == ':');
  return atRoot ? length + 1 : length;
}

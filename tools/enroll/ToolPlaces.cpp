// Where the tool's files are.
#include "tools/enroll/ToolPlaces.h"

#include <windows.h>

#include "accounts/PathFolder.h"

std::string ToolFolder(const ToolStreams& io) {
  if (io.toolFolder) return io.toolFolder;
  char path[MAX_PATH + 1] = {};
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  // A path that filled the buffer may have been cut short (and left unterminated).
  if (length == 0 || length >= MAX_PATH) return std::string();
  return FolderOf(path);
}

std::string FolderOf(const std::string& path) {
  return path.substr(0, FolderLength(path.c_str()));
}

std::string JoinPath(const std::string& folder, const char* name) {
  if (!folder.empty() && folder.back() == '\\') return folder + name;
  return folder + "\\" + name;
}

bool FileIsThere(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFullFilePath(const std::string& path) {
  size_t last = path.find_last_of('\\');
  if (path.find('/') != std::string::npos || last == std::string::npos || last + 1 == path.size()) {
    return false;
  }
  char drive = path[0];
  bool letter = (drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z');
  if (path.size() > 3 && letter && path[1] == ':' && path[2] == '\\') return true;
  if (path.compare(0, 2, "\\\\") != 0) return false;
  size_t serverEnd = path.find('\\', 2);
  size_t shareEnd = serverEnd == std::string::npos ? serverEnd : path.find('\\', serverEnd + 1);
  return serverEnd > 2 && shareEnd != std::string::npos && shareEnd > serverEnd + 1;
}

std::string FullPathOf(const std::string& path) {
  char full[MAX_PATH] = {};
  char* fileName = nullptr;
  DWORD length = GetFullPathNameA(path.c_str(), MAX_PATH, full, &fileName);
  return length == 0 || length >= MAX_PATH ? std::string() : std::string(full, length);
}

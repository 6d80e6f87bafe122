// The folder of a module path, as the module and the tool find the fingerprint library by it.
#include <gtest/gtest.h>

#include <string>

#include "accounts/PathFolder.h"

namespace {

TEST(FolderLength, KeepsTheBackslashOnlyAtARoot) {
  const struct {
    const char* path;
    const char* folder;
  } rows[] = {
      {"C:\\Program Files\\VoDUVO\\VoDUVO.dll", "C:\\Program Files\\VoDUVO"},
      {"C:\\VoDUVO.dll", "C:\\"},
      {"\\\\server\\share\\VoDUVO.dll", "\\\\server\\share"},
      {"\\VoDUVO.dll", "\\"},
      {"C:\\x\\", "C:\\x"},
      {"VoDUVO.dll", ""},
      {"", ""},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(std::string(row.path, FolderLength(row.path)), row.folder) << row.path;
  }
  EXPECT_EQ(FolderLength(nullptr), 0u);
}

}  // namespace

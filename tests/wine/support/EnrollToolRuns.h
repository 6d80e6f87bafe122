// The enrolment tool's commands run inside the test process on files of their own, and what
// they stored read back with the module's store operations.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// A new, empty file in the temporary folder; its name starts with prefix.
std::string TempName(const char* prefix);
// The whole of a file; empty when it cannot be read.
std::string FileContents(const std::string& path);

// A file in the temporary folder holding contents, removed with the object.
class TempFile {
 public:
  explicit TempFile(const std::string& contents = "");
  ~TempFile() { DeleteFileA(path_.c_str()); }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  const std::string& Path() const { return path_; }
  std::string Contents() const { return FileContents(path_); }

 private:
  std::string path_;
};

struct ToolRun {
  int exit;
  std::string out;
  std::string err;
};

// Runs the command of args in this process. The password comes from input, or is typed at
// console when one is given; toolFolder stands for the tool's own folder (empty: the test's).
ToolRun RunTool(std::vector<std::string> args, const std::string& input,
                const std::string& toolFolder = std::string(), HANDLE console = nullptr);

// A stored template's bytes, or "(unreadable)".
std::string StoredTemplate(const char* user, int number);
// The stored password, decrypted, or "(unreadable)".
std::string StoredPassword(const char* user);

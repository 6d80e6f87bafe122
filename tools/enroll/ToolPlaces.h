// Where the tool finds the files that ship with it: the module VoDUVO.dll and the fingerprint
// library papyl.dll sit in the tool's own folder.
#pragma once

#include <string>

#include "fingerprint/FingerprintLibrary.h"
#include "tools/enroll/EnrollTool.h"

constexpr char kModuleFile[] = "VoDUVO.dll";

// io.toolFolder when given, otherwise the folder of the running program; empty when it cannot
// be found. No trailing backslash but at a drive's root ("C:\").
std::string ToolFolder(const ToolStreams& io);

// The path up to its last backslash (kept at a root, "C:\"); empty without one.
std::string FolderOf(const std::string& path);

// folder, one backslash, name (no second backslash after a root such as "C:\").
std::string JoinPath(const std::string& folder, const char* name);

// Whether path names an existing file (not a folder).
bool FileIsThere(const std::string& path);

// Whether path names a file by a full path, as Winlogon's GinaDLL must for the module to find
// its folder: "X:\folder\file" or "\\server\share\file", backslashes only, a file name at the
// end.
bool IsFullFilePath(const std::string& path);

// path made full against the current folder; empty when that fails or is too long.
std::string FullPathOf(const std::string& path);

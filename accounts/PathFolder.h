// The folder of a file path, as the module and the tool take it from the path that GinaDLL
// holds: the module's folder, where the fingerprint library must be.
#pragma once

#include <cstddef>

// How many leading characters of path name its folder: everything before the last backslash,
// and that backslash too at a root ("C:\", "\"), since "C:" alone would name drive C's current
// folder. 0 when path has no backslash or is null.
size_t FolderLength(const char* path);

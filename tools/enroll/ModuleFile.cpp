// The module's file as Winlogon will meet it at boot: the drive it lies on, as the system reports
// it, and its headers and export table, read from a read-only mapping of the file (loading it,
// even without resolving its imports, could run its code).
#include "tools/enroll/ModuleFile.h"

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

#include "tools/enroll/ToolMessages.h"
#include "tools/enroll/ToolPlaces.h"

namespace {

#ifdef _WIN64
constexpr WORD kToolMachine = IMAGE_FILE_MACHINE_AMD64;
#else
constexpr WORD kToolMachine = IMAGE_FILE_MACHINE_I386;
#endif

// The entry points of GINA interface 1.0: every Winlogon resolves them all.
const char* const kGinaEntryPoints[] = {
    "WlxNegotiate", "WlxInitialize", "WlxDisplaySASNotice", "WlxLoggedOutSAS",
    "WlxActivateUserShell", "WlxLoggedOnSAS", "WlxDisplayLockedNotice", "WlxIsLockOk",
    "WlxWkstaLockedSAS", "WlxIsLogoffOk", "WlxLogoff", "WlxShutdown"};

const char kNotAModule[] = "is not a Windows module";

const char* MachineName(WORD machine) {
  switch (machine) {
    case IMAGE_FILE_MACHINE_I386: return "x86";
    case IMAGE_FILE_MACHINE_AMD64: return "x64";
    case IMAGE_FILE_MACHINE_IA64: return "Itanium";
  }
  return "another processor";
}

const char* DriveKind(UINT type) {
  switch (type) {
    case DRIVE_REMOVABLE: return "a removable drive";
    case DRIVE_REMOTE: return "a network drive";
    case DRIVE_CDROM: return "a CD-ROM drive";
    case DRIVE_RAMDISK: return "a RAM disk";
    case DRIVE_NO_ROOT_DIR: return "a drive that is not there";
  }
  return "a drive of unknown kind";
}

// Where the module lies, when Winlogon would not find it there at boot; empty otherwise.
std::string DriveProblem(const std::string& path) {
  if (path.compare(0, 2, "\\\\") == 0) return "is on a network path, not on a local fixed drive";
  std::string drive = path.substr(0, 2);
  // A drive made with subst stands for a folder in this logon session only, and reports the
  // kind of drive that folder is on.
  char target[1024] = {};
  if (QueryDosDeviceA(drive.c_str(), target, sizeof target - 1) &&
      strncmp(target, "\\??\\", 4) == 0) {
    return "is on drive " + drive + ", which subst made of " + (target + 4) +
           " for this logon session only, not a local fixed drive";
  }
  UINT type = GetDriveTypeA((drive + "\\").c_str());
  if (type == DRIVE_FIXED) return std::string();
  return "is on drive " + drive + ", " + DriveKind(type) + ", not a local fixed drive";
}

// A file mapped for reading, unmapped with the object. An empty file maps to no bytes.
class MappedFile {
 public:
  explicit MappedFile(const std::string& path) {
    file_ = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                        nullptr);
    if (file_ == INVALID_HANDLE_VALUE) {
      error_ = GetLastError();
      return;
    }
    DWORD high = 0;
    DWORD size = GetFileSize(file_, &high);
    // Nothing to map in an empty file; a module is never 4 GiB.
    if (size == 0 || high != 0) return;
    mapping_ = CreateFileMappingA(file_, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (mapping_) view_ = MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, 0);
    if (view_) size_ = size;
    if (!view_) error_ = GetLastError();
  }
  ~MappedFile() {
    if (view_) UnmapViewOfFile(view_);
    if (mapping_) CloseHandle(mapping_);
    if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
  }
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  const BYTE* Bytes() const { return static_cast<const BYTE*>(view_); }
  size_t Size() const { return size_; }
  DWORD Error() const { return error_; }

 private:
  HANDLE file_ = INVALID_HANDLE_VALUE;
  HANDLE mapping_ = nullptr;
  void* view_ = nullptr;
  size_t size_ = 0;
  DWORD error_ = ERROR_SUCCESS;
};

// The file's bytes and where its section table lies in them.
struct Image {
  const BYTE* bytes;
  size_t size;
  size_t sectionTable;
  WORD sectionCount;
};

// Copies a header from offset; false when the file ends before it does.
template <typename Header>
bool ReadAt(const Image& image, size_t offset, Header& header) {
  if (offset > image.size || sizeof header > image.size - offset) return false;
  memcpy(&header, image.bytes + offset, sizeof header);
  return true;
}

// Where the image's relative address rva lies in the file, and how many bytes of its section
// the file holds from there on; 0 when the file holds none.
size_t StoredAt(const Image& image, DWORD rva, const BYTE** at) {
  for (WORD i = 0; i < image.sectionCount; ++i) {
    IMAGE_SECTION_HEADER section;
    if (!ReadAt(image, image.sectionTable + i * sizeof section, section)) return 0;
    if (rva < section.VirtualAddress || rva - section.VirtualAddress >= section.SizeOfRawData) {
      continue;
    }
    DWORD into = rva - section.VirtualAddress;
    size_t offset = static_cast<size_t>(section.PointerToRawData) + into;
    if (offset >= image.size) return 0;
    *at = image.bytes + offset;
    return std::min(static_cast<size_t>(section.SizeOfRawData - into), image.size - offset);
  }
  return 0;
}

// The names in the export table; false when the table cannot be read.
bool ExportedNames(const Image& image, const IMAGE_DATA_DIRECTORY& exports,
                   std::vector<std::string>& names) {
  if (exports.VirtualAddress == 0) return true;
  const BYTE* at = nullptr;
  IMAGE_EXPORT_DIRECTORY directory;
  if (StoredAt(image, exports.VirtualAddress, &at) < sizeof directory) return false;
  memcpy(&directory, at, sizeof directory);
  const BYTE* nameTable = nullptr;
  size_t room = StoredAt(image, directory.AddressOfNames, &nameTable);
  if (directory.NumberOfNames > room / sizeof(DWORD)) return false;
  for (DWORD i = 0; i < directory.NumberOfNames; ++i) {
    DWORD nameRva = 0;
    memcpy(&nameRva, nameTable + i * sizeof nameRva, sizeof nameRva);
    const BYTE* name = nullptr;
    size_t length = StoredAt(image, nameRva, &name);
    if (length == 0 || !memchr(name, 0, length)) return false;
    names.emplace_back(reinterpret_cast<const char*>(name));
  }
  return true;
}

std::string MissingEntryPoints(const std::vector<std::string>& names) {
  std::string missing;
  size_t count = 0;
  for (const char* entryPoint : kGinaEntryPoints) {
    if (std::find(names.begin(), names.end(), entryPoint) != names.end()) continue;
    missing += (missing.empty() ? "" : ", ") + std::string(entryPoint);
    ++count;
  }
  if (count == 0) return std::string();
  if (count == sizeof kGinaEntryPoints / sizeof kGinaEntryPoints[0]) {
    return "exports none of the GINA entry points (WlxNegotiate and the others): it is not a GINA";
  }
  return std::string("lacks the GINA entry point") + (count > 1 ? "s " : " ") + missing;
}

// Why the file is not a GINA for this processor, read from its headers and export table.
std::string ImageProblem(const MappedFile& file) {
  Image image{file.Bytes(), file.Size(), 0, 0};
  IMAGE_DOS_HEADER dos;
  if (!ReadAt(image, 0, dos) || dos.e_magic != IMAGE_DOS_SIGNATURE) return kNotAModule;
  size_t ntOffset = static_cast<DWORD>(dos.e_lfanew);
  DWORD signature = 0;
  IMAGE_FILE_HEADER header;
  if (!ReadAt(image, ntOffset, signature) || signature != IMAGE_NT_SIGNATURE ||
      !ReadAt(image, ntOffset + sizeof signature, header)) {
    return kNotAModule;
  }
  if (!(header.Characteristics & IMAGE_FILE_DLL)) return "is a program, not a DLL";
  if (header.Machine != kToolMachine) {
    return std::string("is a DLL for ") + MachineName(header.Machine) + ", not for " +
           MachineName(kToolMachine) + " like this tool";
  }
  // This build's own kind of optional header (PE32 or PE32+), as the machine matched.
  IMAGE_NT_HEADERS nt;
  if (!ReadAt(image, ntOffset, nt) || nt.OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR_MAGIC) {
    return kNotAModule;
  }
  image.sectionTable = ntOffset + offsetof(IMAGE_NT_HEADERS, OptionalHeader) +
                       header.SizeOfOptionalHeader;
  image.sectionCount = header.NumberOfSections;
  std::vector<std::string> names;
  if (nt.OptionalHeader.NumberOfRvaAndSizes > IMAGE_DIRECTORY_ENTRY_EXPORT &&
      !ExportedNames(image, nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT],
                     names)) {
    return "has an export table that cannot be read";
  }
  return MissingEntryPoints(names);
}

}  // namespace

std::string ModuleLoadProblem(const std::string& fullPath) {
  std::string problem = DriveProblem(fullPath);
  if (!problem.empty()) return problem;
  if (!FileIsThere(fullPath)) return "is not there";
  MappedFile file(fullPath);
  if (file.Error() != ERROR_SUCCESS) {
    return "cannot be read: " + SystemReason(static_cast<LONG>(file.Error()));
  }
  return ImageProblem(file);
}

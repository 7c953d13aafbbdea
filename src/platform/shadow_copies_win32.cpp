#include "platform/shadow_copies.h"

#include <windows.h>
#include <shlobj.h>
#include <knownfolders.h>

#include "platform/wide_path.h"

namespace {

// Only a folder on a drive ("C:\...") has shadow copies: VirtualStore names
// them by the folder's path without its drive.
std::wstring WideShadowCopyFolder() {
  const DWORD size = GetCurrentDirectoryW(0, nullptr);
  std::wstring current(size, L'\0');
  const DWORD length = size == 0 ? 0 : GetCurrentDirectoryW(size, &current[0]);
  if (length == 0 || length >= size) return L"";
  current.resize(length);
  if (current.size() < 2 || current[1] != L':') return L"";
  PWSTR local = nullptr;
  if (FAILED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &local))) return L"";
  std::wstring folder = std::wstring(local) + L"\\VirtualStore" + current.substr(2);
  CoTaskMemFree(local);
  while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
  return folder;
}

}  // namespace

std::string ShadowCopyFolder() { return NarrowPath(WideShadowCopyFolder()); }

std::vector<std::string> FilesWithShadowCopies(const std::vector<std::string>& files) {
  const std::wstring folder = WideShadowCopyFolder();
  std::vector<std::string> found;
  if (folder.empty()) return found;
  // Most game folders have no shadow folder at all: one lookup answers for
  // every file.  Any other failure than "not found" looks at each file.
  if (GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return found;
  }
  for (std::string file : files) {
    for (char& c : file) c = c == '/' ? '\\' : c;
    const DWORD attributes = GetFileAttributesW((folder + L"\\" + WidePath(file)).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) found.push_back(file);
  }
  return found;
}

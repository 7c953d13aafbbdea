#include "platform/wide_path.h"

#include <windows.h>

std::wstring WidePath(const std::string& path) {
  const int size = MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, nullptr, 0);
  std::wstring wide(size > 0 ? size : 1, L'\0');
  if (size > 0) MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, &wide[0], size);
  wide.resize(wide.size() - 1);
  return wide;
}

std::string NarrowPath(const std::wstring& path) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, path.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string narrow(size > 0 ? size : 1, '\0');
  if (size > 0) WideCharToMultiByte(CP_UTF8, 0, path.c_str(), -1, &narrow[0], size, nullptr, nullptr);
  narrow.resize(narrow.size() - 1);
  return narrow;
}

// The floor of an install of the Windows program: in a game folder, what no
// install can do without.  Each of the 213 files that an install rewrites
// (the three archives, the country list, the results script, the 206 country
// databases, and countries 34 and 41 a second time) is moved aside to its
// backup and written anew from it through user space; then all are flushed,
// the backups are deleted, the editor is started and "pause" is run, both through
// system() as the program does.  The folder is as before afterwards.
#include <windows.h>

#include <cstdlib>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

namespace {

std::vector<char> buffer(1 << 20);

int Fail(const char* what) {
  std::cerr << "install-floor: " << what << '\n';
  return 1;
}

// Moves `file` to `backup` and writes it anew from there; returns the new
// file, still open, or INVALID_HANDLE_VALUE.
HANDLE Rewrite(const std::wstring& file, const std::wstring& backup) {
  if (!MoveFileExW(file.c_str(), backup.c_str(), 0)) return INVALID_HANDLE_VALUE;
  const HANDLE in = CreateFileW(backup.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
  // Shared so that countries 34 and 41 can be moved aside and read again.
  HANDLE out = CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW, 0,
                           nullptr);
  DWORD got = 0, written = 0;
  bool ok = in != INVALID_HANDLE_VALUE && out != INVALID_HANDLE_VALUE;
  while (ok && ReadFile(in, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) && got > 0)
    ok = WriteFile(out, buffer.data(), got, &written, nullptr) && written == got;
  CloseHandle(in);
  if (!ok) CloseHandle(out);
  return ok ? out : INVALID_HANDLE_VALUE;
}

}  // namespace

int main() {
  std::vector<std::pair<std::wstring, std::wstring>> files = {
      {L"art_01.big", L"art_01.bak"}, {L"art_02.big", L"art_02.bak"}, {L"art_03.big", L"art_03.bak"},
      {L"database\\countries.sav", L"database\\bak\\countries.sav"}, {L"script\\Results.txt", L"script\\Results.bak"},
      {L"database\\country34.sav", L"database\\bak\\country34.sav"},
      {L"database\\country41.sav", L"database\\bak\\country41.sav"}};
  for (int n = 1; n <= 206; ++n) {
    const std::wstring name = L"country" + std::to_wstring(n);
    const std::wstring backup = name + (n == 34 || n == 41 ? L"_tmp.sav" : L".sav");
    files.push_back({L"database\\" + name + L".sav", L"database\\bak\\" + backup});
  }
  if (!CreateDirectoryW(L"database\\bak", nullptr)) return Fail("database\\bak could not be made");
  std::vector<HANDLE> written;
  for (const auto& [file, backup] : files) {
    written.push_back(Rewrite(file, backup));
    if (written.back() == INVALID_HANDLE_VALUE) return Fail("a file could not be rewritten");
  }
  // All flushed once all are written, as the program does: the file system
  // then writes them in few commits.
  for (HANDLE file : written) {
    if (!FlushFileBuffers(file)) return Fail("a file could not be flushed");
    CloseHandle(file);
  }
  for (const auto& entry : files) DeleteFileW(entry.second.c_str());
  if (!RemoveDirectoryW(L"database\\bak")) return Fail("database\\bak could not be removed");
  std::system("\"editor.exe -master\"");
  std::system("pause");
  return 0;
}

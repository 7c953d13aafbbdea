#include "platform/program_start.h"

#include <windows.h>

#include <cstdio>
#include <iostream>

#include "installer/messages.h"
#include "platform/system_errors.h"
#include "platform/wide_path.h"

namespace {

int Complain(const std::string& text) {
  std::cerr << text << '\n' << std::flush;
  return 1;
}

// Starts `application` with `commandLine` in `directory` (nullptr: ours),
// with our standard handles, and waits until it ends.  Returns true with
// its exit status in `status`; false, with GetLastError() at the reason,
// when it could not be started.
bool StartAndWait(const std::wstring& application, std::wstring commandLine, const wchar_t* directory, DWORD* status) {
  // Whatever was written so far must be on screen before the program writes.
  std::cout.flush();
  std::fflush(stdout);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(application.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, directory, &startup,
                      &process)) {
    return false;
  }
  CloseHandle(process.hThread);
  WaitForSingleObject(process.hProcess, INFINITE);
  GetExitCodeProcess(process.hProcess, status);
  CloseHandle(process.hProcess);
  return true;
}

// `word` as one argument of a command line (the programs started here take
// plain words; one with a blank is quoted).
std::wstring Argument(const std::string& word) {
  const std::wstring wide = WidePath(word);
  return wide.find_first_of(L" \t") == std::wstring::npos && !wide.empty() ? wide : L"\"" + wide + L"\"";
}

// The interpreter's line for why a program could not be started.
std::string Reason(DWORD error) {
  const std::string text = SystemErrorText(error);
  return text.empty() ? "The system cannot execute the specified program." : text;
}

std::wstring FullPath(const std::wstring& path) {
  const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  std::wstring full(size, L'\0');
  const DWORD length = size == 0 ? 0 : GetFullPathNameW(path.c_str(), size, &full[0], nullptr);
  if (length == 0 || length >= size) return path;
  full.resize(length);
  return full;
}

std::wstring SystemFolder() {
  wchar_t folder[MAX_PATH];
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  return length > 0 && length < MAX_PATH ? std::wstring(folder, length) : L"C:\\Windows\\System32";
}

}  // namespace

int RunProgramFromCurrentDirectory(const std::string& name, const std::vector<std::string>& arguments) {
  return RunProgramInFolder(".", name, arguments);
}

// The program file is named by its full path, so that no other folder is
// searched; argv[0] is its plain name, quoted.
int RunProgramInFolder(const std::string& folder, const std::string& name, const std::vector<std::string>& arguments) {
  const std::wstring application = FullPath(WidePath(folder + "\\" + name));
  std::wstring commandLine = L"\"" + WidePath(name) + L"\"";
  for (const std::string& argument : arguments) commandLine += L" " + Argument(argument);
  const std::wstring directory = FullPath(WidePath(folder));
  DWORD status = 0;
  if (StartAndWait(application, commandLine, directory.c_str(), &status)) return static_cast<int>(status);
  const DWORD error = GetLastError();
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
    return Complain(NotRecognizedText(name));
  }
  return Complain(Reason(error));
}

bool EnterFolderOfThisProgram(std::string& folder) {
  std::wstring path(MAX_PATH, L'\0');
  DWORD length;
  while ((length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()))) >= path.size())
    path.resize(path.size() * 2);
  path.resize(length);
  const std::size_t separator = path.find_last_of(L"\\/");
  std::wstring wide = separator == std::wstring::npos ? L"." : path.substr(0, separator);
  if (wide.empty() || wide.back() == L':') wide += L'\\';
  folder = NarrowPath(wide);
  return SetCurrentDirectoryW(wide.c_str()) != 0;
}

int RunCommandInterpreter(const std::string& commandLine, bool inSystemFolder) {
  const std::wstring system = SystemFolder();
  DWORD status = 1;
  if (!StartAndWait(system + L"\\cmd.exe", L"cmd /d /c " + WidePath(commandLine), inSystemFolder ? system.c_str() : nullptr,
                    &status)) {
    return Complain(InterpreterNotStarted(Reason(GetLastError())));
  }
  return static_cast<int>(status);
}

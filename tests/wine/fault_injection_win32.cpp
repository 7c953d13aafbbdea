// Deterministic fault injection in the Windows build under test: linked into
// vandoril-patch-faults.exe only (never into vandoril-patch.exe), it points
// the executable's own import table entries for the file functions of
// msvcrt.dll and KERNEL32.dll at counting wrappers before main() runs.  The
// variables and their meaning are those of the Linux library
// (../fault_injection/fault_injection.cpp): VANDORIL_FAULT=stop:N, fail:N or
// hold:N:PATH, VANDORIL_FAULT_COUNT=PATH, VANDORIL_FAULT_TRACE=PATH.
//
// A stop ends the process with TerminateProcess and status 137 (no exit
// handlers, no flush: as a kill).  A failing call is not carried out (a
// close is, then reports failure) and fails with EIO and ERROR_IO_DEVICE.
// Counted, once per call: the opens, renames, deletions, attribute changes
// and making and removing of folders of a path, and the reads, writes,
// flushes, truncations and closes of a descriptor above 2 or of a handle of
// a disk file.  A counted operation on a path outside the game folder
// (absolute, or with a ".." component) ends the process with status 86 after
// one line on standard error.
#include <direct.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

enum Mode { kPassThrough, kStop, kFail, kHold };
Mode mode;
unsigned long target, counted;
std::string holdPath, countPath;
FILE* trace;
bool busy;  // the library's own file operations pass through uncounted

std::string Text(const char* path) { return path; }
std::string Text(const wchar_t* path) {
  char text[4096] = "";
  WideCharToMultiByte(CP_UTF8, 0, path, -1, text, sizeof text, nullptr, nullptr);
  return text;
}

bool IsOutside(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return path[0] == '/' || (path.size() > 1 && path[1] == ':') || ("/" + path + "/").find("/../") != std::string::npos;
}

void Hold() {
  busy = true;
  if (FILE* held = fopen((holdPath + ".held").c_str(), "w")) fclose(held);
  for (int waited = 0; GetFileAttributesA(holdPath.c_str()) == INVALID_FILE_ATTRIBUTES && waited < 3000; ++waited) {
    Sleep(10);
  }
  busy = false;
}

// Counts one operation when `counts` (and the library is not busy), traces it
// as `what`, and applies the fault to it; `call` carries it out.
template <typename Result, typename Call>
Result Operation(bool counts, const char* function, const std::string& what, Result failed, bool release, Call call) {
  if (!counts || busy) return call();
  const unsigned long number = ++counted;
  if (trace != nullptr) fprintf(trace, "%lu %s %s\n", number, function, what.c_str());
  if (number == target && mode == kHold) Hold();
  if (number == target && mode == kFail) {
    if (release) call();
    errno = EIO;
    SetLastError(ERROR_IO_DEVICE);
    return failed;
  }
  const Result result = call();
  if (number == target && mode == kStop) TerminateProcess(GetCurrentProcess(), 137);
  return result;
}

template <typename Char, typename Result, typename Call>
Result OnPath(const char* function, const Char* path, const Char* to, Result failed, Call call) {
  if (path == nullptr || busy) return call();
  std::string what = Text(path);
  for (const std::string& named : {what, to == nullptr ? std::string() : Text(to)}) {
    if (named.empty() || !IsOutside(named)) continue;
    busy = true;
    fprintf(stderr, "vandoril_fault_injection: outside the game folder: %s\n", named.c_str());
    TerminateProcess(GetCurrentProcess(), 86);
  }
  if (to != nullptr) what += " " + Text(to);
  return Operation(true, function, what, failed, false, call);
}

template <typename Result, typename Call>
Result OnFd(const char* function, int fd, Result failed, bool release, Call call) {
  return Operation(fd > 2, function, "fd " + std::to_string(fd), failed, release, call);
}

template <typename Result, typename Call>
Result OnHandle(const char* function, HANDLE handle, Result failed, bool release, Call call) {
  return Operation(GetFileType(handle) == FILE_TYPE_DISK, function,
                   "fd " + std::to_string(reinterpret_cast<std::uintptr_t>(handle)), failed, release, call);
}

// The wrappers of the file functions that the program imports (see
// x86_64-w64-mingw32-objdump -p), each with the real function's pointer.
#define HOOK(Result, name, params, args, on, ...) \
  decltype(&::name) real_##name;                  \
  Result WINAPI Hook_##name params { return on(#name, __VA_ARGS__, [&] { return real_##name args; }); }
#define PATH(Result, name, failed, params, args, path, to) \
  HOOK(Result, name, params, args, OnPath, path, decltype(path)(to), static_cast<Result>(failed))

PATH(FILE*, fopen, nullptr, (const char* p, const char* m), (p, m), p, nullptr)
PATH(FILE*, _wfopen, nullptr, (const wchar_t* p, const wchar_t* m), (p, m), p, nullptr)
PATH(int, _wopen, -1, (const wchar_t* p, int f, int m), (p, f, m), p, nullptr)
PATH(int, rename, -1, (const char* a, const char* b), (a, b), a, b)
PATH(int, _wmkdir, -1, (const wchar_t* p), (p), p, nullptr)
PATH(int, _wchmod, -1, (const wchar_t* p, int m), (p, m), p, nullptr)
PATH(HANDLE, CreateFileW, INVALID_HANDLE_VALUE,
     (LPCWSTR p, DWORD a, DWORD s, LPSECURITY_ATTRIBUTES sa, DWORD c, DWORD f, HANDLE t), (p, a, s, sa, c, f, t), p, nullptr)
PATH(BOOL, MoveFileExW, FALSE, (LPCWSTR a, LPCWSTR b, DWORD f), (a, b, f), a, b)
PATH(BOOL, CreateHardLinkW, FALSE, (LPCWSTR a, LPCWSTR b, LPSECURITY_ATTRIBUTES sa), (a, b, sa), a, b)
PATH(BOOL, DeleteFileW, FALSE, (LPCWSTR p), (p), p, nullptr)
PATH(BOOL, RemoveDirectoryW, FALSE, (LPCWSTR p), (p), p, nullptr)
PATH(BOOL, CreateDirectoryW, FALSE, (LPCWSTR p, LPSECURITY_ATTRIBUTES sa), (p, sa), p, nullptr)
PATH(BOOL, SetFileAttributesW, FALSE, (LPCWSTR p, DWORD a), (p, a), p, nullptr)
HOOK(int, _read, (int fd, void* b, unsigned n), (fd, b, n), OnFd, fd, -1, false)
HOOK(int, _write, (int fd, const void* b, unsigned n), (fd, b, n), OnFd, fd, -1, false)
HOOK(BOOL, FlushFileBuffers, (HANDLE h), (h), OnHandle, h, FALSE, false)
HOOK(BOOL, SetEndOfFile, (HANDLE h), (h), OnHandle, h, FALSE, false)
// A failing close is carried out, then reported as failed.
HOOK(int, fclose, (FILE * s), (s), OnFd, _fileno(s), EOF, true)
HOOK(int, _close, (int fd), (fd), OnFd, fd, -1, true)
HOOK(BOOL, CloseHandle, (HANDLE h), (h), OnHandle, h, FALSE, true)

struct Hook { const char* name; void* wrapper; void** real; };
#define ENTRY(name) {#name, reinterpret_cast<void*>(&Hook_##name), reinterpret_cast<void**>(&real_##name)}
const Hook kHooks[] = {
    ENTRY(fopen),       ENTRY(_wfopen),          ENTRY(_wopen),           ENTRY(rename),           ENTRY(_wmkdir),
    ENTRY(_wchmod),     ENTRY(CreateFileW),      ENTRY(MoveFileExW),      ENTRY(CreateHardLinkW),  ENTRY(DeleteFileW),
    ENTRY(_read),       ENTRY(RemoveDirectoryW), ENTRY(CreateDirectoryW), ENTRY(SetFileAttributesW), ENTRY(_write),
    ENTRY(fclose),      ENTRY(FlushFileBuffers), ENTRY(SetEndOfFile),     ENTRY(_close),           ENTRY(CloseHandle)};

// Points every import of the executable that a wrapper stands for at it.
void PatchImports() {
  auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
  const auto* headers = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const DWORD imports = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
  for (auto* dll = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports); dll->Name != 0; ++dll) {
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->OriginalFirstThunk);
    auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slot) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const char* name = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name;
      for (const Hook& hook : kHooks) {
        if (strcmp(name, hook.name) != 0) continue;
        *hook.real = reinterpret_cast<void*>(slot->u1.Function);
        DWORD protection;
        VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, PAGE_READWRITE, &protection);
        slot->u1.Function = reinterpret_cast<ULONG_PTR>(hook.wrapper);
        VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, protection, &protection);
      }
    }
  }
}

[[noreturn]] void Die(const char* message, const char* detail) {
  fprintf(stderr, "vandoril_fault_injection: %s%s\n", message, detail);
  TerminateProcess(GetCurrentProcess(), 2);
  abort();
}

void WriteCount() {
  busy = true;
  FILE* file = fopen(countPath.c_str(), "w");
  if (file == nullptr || fprintf(file, "%lu\n", counted) < 0 || fclose(file) != 0) Die("cannot write ", countPath.c_str());
}

[[maybe_unused]] const bool kInstalled = [] {
  const char* fault = getenv("VANDORIL_FAULT");
  if (fault != nullptr && *fault != '\0') {
    char* end = nullptr;
    target = strtoul(fault + 5, &end, 10);
    const std::string kind(fault, std::min<std::size_t>(strlen(fault), 5));
    mode = kind == "stop:" ? kStop : kind == "fail:" ? kFail : kind == "hold:" ? kHold : kPassThrough;
    if (mode == kHold && *end == ':') holdPath = end + 1;
    if (mode == kPassThrough || target == 0 || (mode == kHold ? holdPath.empty() : *end != '\0')) {
      Die("bad VANDORIL_FAULT=", fault);
    }
  }
  if (const char* count = getenv("VANDORIL_FAULT_COUNT"); count != nullptr && *count != '\0') {
    countPath = count;
    atexit(WriteCount);
  }
  if (const char* path = getenv("VANDORIL_FAULT_TRACE"); path != nullptr && *path != '\0') {
    if ((trace = fopen(path, "a")) == nullptr) Die("cannot open VANDORIL_FAULT_TRACE=", path);
    setvbuf(trace, nullptr, _IONBF, 0);  // every line on disk before a stop
  }
  PatchImports();
  return true;
}();

}  // namespace

// Fault injection in vandoril-patch-faults.exe (never vandoril-patch.exe), with the variables, trace and path check
// of ../fault_injection/fault_injection.cpp: before main() it points the executable's imports of the file functions
// below at counting wrappers.  Counted: each call on a path (lookups and listings too), a descriptor above 2 or a
// disk file's handle.  A stop
// is TerminateProcess with status 137; a failing call (not carried out, but a close is) sets EIO and
// ERROR_IO_DEVICE.
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "../fault_injection/fault_plan.h"

namespace {

FaultPlan plan;
unsigned long counted;
FILE* trace;
bool busy;  // the library's own file operations pass through uncounted

[[noreturn]] void End(int status, const char* message, const std::string& detail) {
  busy = true;
  fprintf(stderr, "vandoril_fault_injection: %s%s\n", message, detail.c_str());
  TerminateProcess(GetCurrentProcess(), status);
  abort();
}

std::string Text(const char* path) { return path != nullptr ? path : ""; }
std::string Text(const wchar_t* path) {
  char text[4096] = "";
  if (path != nullptr) WideCharToMultiByte(CP_UTF8, 0, path, -1, text, sizeof text, nullptr, nullptr);
  return text;
}

// What a call is about, as traced, and whether it counts.
struct About { bool counts; std::string what; };
template <typename Char>
About Path(const Char* path, const Char* to = nullptr) {
  if (path == nullptr || busy) return {false, ""};
  for (std::string named : {Text(path), Text(to)}) {
    for (char& c : named) c = c == '\\' ? '/' : c;
    if (named[0] == '/' || named.find(':') == 1 || ("/" + named + "/").find("/../") != std::string::npos) {
      End(86, "outside the game folder: ", named);
    }
  }
  return {true, Text(path) + (to == nullptr ? "" : " " + Text(to))};
}
// A lookup: one outside the game folder (the shadow copies' folder, the system folder) changes nothing there and
// passes uncounted.
About Lookup(const wchar_t* path) {
  const std::string named = Text(path);
  return named[0] == '/' || named[0] == '\\' || named.find(':') == 1 ? About{false, ""} : Path(path);
}
About Fd(int fd) { return {fd > 2, "fd " + std::to_string(fd)}; }
About Handle(HANDLE h) { return {GetFileType(h) == FILE_TYPE_DISK, "fd " + std::to_string(reinterpret_cast<std::uintptr_t>(h))}; }

// One call of `function`: counted, traced and faulted as the environment says; `call` carries it out, even when it
// fails if it `releases` a descriptor.
template <typename Result, typename Call>
Result Operation(const About& about, const char* function, Result failed, bool releases, Call call) {
  if (!about.counts || busy) return call();
  const unsigned long number = ++counted;
  if (trace != nullptr) fprintf(trace, "%lu %s %s\n", number, function, about.what.c_str());
  if (Hits(plan, kHold, number)) {
    busy = true;
    if (FILE* held = fopen((std::string(plan.holdPath) + ".held").c_str(), "w")) fclose(held);
    for (int waited = 0; GetFileAttributesA(plan.holdPath) == INVALID_FILE_ATTRIBUTES && waited < 3000; ++waited) Sleep(10);
    busy = false;
  }
  if (Hits(plan, kFail, number)) {
    if (releases) call();
    errno = EIO;
    SetLastError(ERROR_IO_DEVICE);
    return failed;
  }
  const Result result = call();
  if (Hits(plan, kStop, number)) TerminateProcess(GetCurrentProcess(), 137);
  return result;
}

// The file functions that the program imports (x86_64-w64-mingw32-objdump -p): result, name, failure, parameters,
// arguments, what it is about, releases.
#define HOOKS(X)                                                                                                  \
  X(FILE*, fopen, nullptr, (const char* p, const char* m), (p, m), Path(p), false)                               \
  X(FILE*, _wfopen, nullptr, (const wchar_t* p, const wchar_t* m), (p, m), Path(p), false)                       \
  X(int, _wopen, -1, (const wchar_t* p, int f, int m), (p, f, m), Path(p), false)                                \
  X(int, rename, -1, (const char* a, const char* b), (a, b), Path(a, b), false)                                  \
  X(int, _wmkdir, -1, (const wchar_t* p), (p), Path(p), false)                                                   \
  X(int, _wchmod, -1, (const wchar_t* p, int m), (p, m), Path(p), false)                                         \
  X(HANDLE, CreateFileW, INVALID_HANDLE_VALUE, (LPCWSTR p, DWORD a, DWORD s, LPSECURITY_ATTRIBUTES sa, DWORD c,  \
    DWORD f, HANDLE t), (p, a, s, sa, c, f, t), Path(p), false)                                                  \
  X(BOOL, MoveFileExW, FALSE, (LPCWSTR a, LPCWSTR b, DWORD f), (a, b, f), Path(a, b), false)                     \
  X(BOOL, CreateHardLinkW, FALSE, (LPCWSTR a, LPCWSTR b, LPSECURITY_ATTRIBUTES sa), (a, b, sa), Path(a, b), false) \
  X(BOOL, DeleteFileW, FALSE, (LPCWSTR p), (p), Path(p), false)                                                  \
  X(BOOL, RemoveDirectoryW, FALSE, (LPCWSTR p), (p), Path(p), false)                                             \
  X(BOOL, CreateDirectoryW, FALSE, (LPCWSTR p, LPSECURITY_ATTRIBUTES sa), (p, sa), Path(p), false)               \
  X(BOOL, SetFileAttributesW, FALSE, (LPCWSTR p, DWORD a), (p, a), Path(p), false)                               \
  X(DWORD, GetFileAttributesW, INVALID_FILE_ATTRIBUTES, (LPCWSTR p), (p), Lookup(p), false)                        \
  X(BOOL, GetFileAttributesExW, FALSE, (LPCWSTR p, GET_FILEEX_INFO_LEVELS l, LPVOID d), (p, l, d), Lookup(p), false) \
  X(HANDLE, FindFirstFileW, INVALID_HANDLE_VALUE, (LPCWSTR p, LPWIN32_FIND_DATAW d), (p, d), Lookup(p), false)     \
  X(int, _read, -1, (int fd, void* b, unsigned n), (fd, b, n), Fd(fd), false)                                    \
  X(int, _write, -1, (int fd, const void* b, unsigned n), (fd, b, n), Fd(fd), false)                             \
  X(BOOL, FlushFileBuffers, FALSE, (HANDLE h), (h), Handle(h), false)                                            \
  X(BOOL, ReadFile, FALSE, (HANDLE h, LPVOID b, DWORD n, LPDWORD r, LPOVERLAPPED o), (h, b, n, r, o), Handle(h), false) \
  X(BOOL, WriteFile, FALSE, (HANDLE h, LPCVOID b, DWORD n, LPDWORD w, LPOVERLAPPED o), (h, b, n, w, o), Handle(h), false) \
  X(BOOL, SetEndOfFile, FALSE, (HANDLE h), (h), Handle(h), false)                                                \
  X(int, fclose, EOF, (FILE * s), (s), Fd(_fileno(s)), true)                                                     \
  X(int, _close, -1, (int fd), (fd), Fd(fd), true)                                                               \
  X(BOOL, CloseHandle, FALSE, (HANDLE h), (h), Handle(h), true)
#define WRAPPER(Result, name, failed, params, args, about, releases) \
  decltype(&::name) real_##name;                                      \
  Result WINAPI Hook_##name params {                                  \
    return Operation(about, #name, static_cast<Result>(failed), releases, [&] { return real_##name args; }); }
HOOKS(WRAPPER)
#define ENTRY(Result, name, ...) {#name, reinterpret_cast<void*>(&Hook_##name), reinterpret_cast<void**>(&real_##name)},
const struct { const char* name; void* wrapper; void** real; } kHooks[] = {HOOKS(ENTRY)};

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
      for (const auto& hook : kHooks) {
        if (strcmp(reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name, hook.name) != 0) continue;
        *hook.real = reinterpret_cast<void*>(slot->u1.Function);
        DWORD protection;
        VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, PAGE_READWRITE, &protection);
        slot->u1.Function = reinterpret_cast<ULONG_PTR>(hook.wrapper);
        VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, protection, &protection);
      }
    }
  }
}

[[maybe_unused]] const bool kInstalled = [] {
  if (const char* fault = getenv("VANDORIL_FAULT"); fault != nullptr && *fault != '\0') {
    if (!ParseFaults(fault, plan)) End(2, "bad VANDORIL_FAULT=", fault);
  }
  if (const char* path = getenv("VANDORIL_FAULT_TRACE"); path != nullptr && *path != '\0') {
    if ((trace = fopen(path, "a")) == nullptr) End(2, "cannot open VANDORIL_FAULT_TRACE=", path);
    setvbuf(trace, nullptr, _IONBF, 0);  // every line on disk before a stop
  }
  PatchImports();
  return true;
}();

}  // namespace

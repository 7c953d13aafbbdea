// Deterministic fault injection for tests.  Preloaded into the program under
// test (LD_PRELOAD), it counts the program's file operations and, as the
// environment says, stops the process after one of them, makes one fail, or
// holds the process before one:
//
//   VANDORIL_FAULT=stop:N        after the N-th operation has completed, the
//                                process kills itself with SIGKILL (no exit
//                                handlers, no flush: as a kill or power cut)
//   VANDORIL_FAULT=fail:N        the N-th operation is not carried out and
//                                fails with EIO (a close is carried out, since
//                                Linux always releases the descriptor)
//   VANDORIL_FAULT=hold:N:PATH   before the N-th operation, creates the empty
//                                file PATH.held, then waits until PATH exists
//                                (polling every 10 ms, at most 3000 times)
//   VANDORIL_FAULT_TRACE=PATH    appends one line per operation to PATH:
//                                its number, the function, and its path (both
//                                for a rename or link) or "fd" and its fd
//
// N counts from 1.  Counted, once per call whether it succeeds or not: the
// calls of the table at the end, of a descriptor above 2 (a pipe's too) or of
// a path not under /dev, /proc or /sys.  Not counted: anything that only looks
// (stat, access, directory listings), and what libc does through its internal
// entry points (fopen's own open, fclose's own close, opendir, the loading of
// libraries).
//
// The program never touches anything outside its game folder: a counted
// operation on a path that is absolute (outside /dev, /proc and /sys) or has a
// ".." component, either path of a rename or link, is not carried out; the
// process writes "vandoril_fault_injection: outside the game folder: PATH" to
// standard error and ends at once with status 86.  This holds from the
// library's load on: neither libc nor the sanitizers' runtime makes such a
// call before main, nor anywhere else in the program's runs.
//
// Only the process that loads the library first is affected: the variables
// are removed from its environment, so programs it starts, and a forked child
// that has not yet started one, run undisturbed; they belong in the
// environment of the program itself, not of a wrapper.  A program built with
// AddressSanitizer also needs ASAN_OPTIONS=verify_asan_link_order=0, since this
// library comes before the sanitizer's runtime.  The programs tested are
// single-threaded, so plain variables do.
#undef _FORTIFY_SOURCE  // the fortified inline wrappers would clash with these definitions

#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <time.h>
#include <unistd.h>

#include <initializer_list>
#include <type_traits>

namespace {

enum Mode { kPassThrough, kStop, kFail, kHold };

// Zero-initialised: the first intercepted call may come before this library's
// constructor.  The paths stay where exec put the environment.
bool initialized;
pid_t owner;
Mode mode;
unsigned long target;
unsigned long counted;
const char* holdPath;
int traceFd = -1;

void Say(const char* message, const char* detail) {
  for (const char* part : {"vandoril_fault_injection: ", message, detail, "\n"})
    if (write(STDERR_FILENO, part, strlen(part)) < 0) break;
}

[[noreturn]] void Die(const char* message, const char* detail) {
  Say(message, detail);
  abort();
}

// The next definition of `name` after this library, looked up on first use:
// libc's, or that of a sanitizer runtime that calls libc's in turn.
#define REAL(name)                                                                          \
  ([] {                                                                                     \
    static decltype(&name) real;                                                            \
    if (real == nullptr) real = reinterpret_cast<decltype(&name)>(dlsym(RTLD_NEXT, #name)); \
    if (real == nullptr) Die("no next definition of ", #name);                              \
    return real;                                                                            \
  }())

void ParseFault(const char* text) {
  const char* const names[] = {"stop:", "fail:", "hold:"};  // in the order of Mode
  for (int i = 0; i < 3; ++i)
    if (strncmp(text, names[i], 5) == 0) mode = static_cast<Mode>(kStop + i);
  if (mode == kPassThrough) Die("unknown VANDORIL_FAULT=", text);
  char* end = nullptr;
  errno = 0;
  target = (text[5] >= '0' && text[5] <= '9') ? strtoul(text + 5, &end, 10) : 0;
  if (target == 0 || errno != 0) Die("bad number in VANDORIL_FAULT=", text);
  if (mode == kHold ? *end != ':' || end[1] == '\0' : *end != '\0') Die("bad VANDORIL_FAULT=", text);
  holdPath = end + 1;
}

// The value of the variable `name`, or null when it is unset or empty;
// removes the variable from the environment.
const char* Take(const char* name) {
  const char* value = getenv(name);
  unsetenv(name);
  return value != nullptr && *value != '\0' ? value : nullptr;
}

void Initialize() {
  if (initialized) return;
  initialized = true;
  owner = getpid();
  if (const char* fault = Take("VANDORIL_FAULT")) ParseFault(fault);
  if (const char* trace = Take("VANDORIL_FAULT_TRACE")) {
    traceFd = REAL(open)(trace, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (traceFd < 0) Die("cannot open VANDORIL_FAULT_TRACE=", trace);
  }
}

__attribute__((constructor)) void OnLoad() { Initialize(); }

bool IsSystemPath(const char* path) {
  for (const char* prefix : {"/dev", "/proc", "/sys"}) {
    const size_t length = strlen(prefix);
    if (strncmp(path, prefix, length) == 0 && (path[length] == '\0' || path[length] == '/')) return true;
  }
  return false;
}

bool LeavesTheFolder(const char* path) {
  if (path == nullptr) return false;
  if (path[0] == '/' && !IsSystemPath(path)) return true;
  for (const char* part = path;; ++part) {
    if (strncmp(part, "..", 2) == 0 && (part[2] == '\0' || part[2] == '/')) return true;
    part = strchr(part, '/');
    if (part == nullptr) return false;
  }
}

void Trace(unsigned long number, const char* function, const char* path, const char* to, int fd) {
  char line[8400];
  const int length = path == nullptr ? snprintf(line, sizeof line, "%lu %s fd %d\n", number, function, fd)
                     : to == nullptr ? snprintf(line, sizeof line, "%lu %s %s\n", number, function, path)
                                     : snprintf(line, sizeof line, "%lu %s %s %s\n", number, function, path, to);
  if (length > 0) REAL(write)(traceFd, line, length < int{sizeof line} ? length : sizeof line - 1);
}

void WaitForHoldFile() {
  char held[4200];
  snprintf(held, sizeof held, "%s.held", holdPath);
  const int fd = REAL(open)(held, O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd >= 0) REAL(close)(fd);
  const struct timespec tenMilliseconds = {0, 10 * 1000 * 1000};
  for (int polls = 0; polls < 3000 && access(holdPath, F_OK) != 0; ++polls) nanosleep(&tenMilliseconds, nullptr);
}

// One call of `function` about `path` (and `to`) or else the descriptor `fd`,
// which `call` carries out; one that `releases` a descriptor also when it fails.
template <typename Result, typename Call>
Result Operation(const char* function, const char* path, const char* to, int fd, bool releases, Call call) {
  Initialize();
  const bool counts = path != nullptr ? !IsSystemPath(path) : fd > 2;
  if (!counts || getpid() != owner) return call();
  const unsigned long number = ++counted;
  if (traceFd >= 0) Trace(number, function, path, to, fd);
  for (const char* checked : {path, to}) {
    if (!LeavesTheFolder(checked)) continue;
    Say("outside the game folder: ", checked);
    _exit(86);
  }
  if (number == target) {
    if (mode == kHold) WaitForHoldFile();
    if (mode == kFail) {
      if (releases) call();
      errno = EIO;
      if constexpr (std::is_pointer<Result>::value) return nullptr;
      else return -1;
    }
  }
  const Result result = call();
  if (number == target && mode == kStop) kill(getpid(), SIGKILL);
  return result;
}

}  // namespace

// What a call is about, and how it fails.
#define PATH(path) path, nullptr, -1, false
#define PATHS(from, to) from, to, -1, false
#define FD(fd) nullptr, nullptr, fd, false
#define RELEASE(fd) nullptr, nullptr, fd, true

// `throws` is what libc declares the function to throw (its __THROW or nothing).
#define INTERCEPT(Result, name, parameters, arguments, throws, about) \
  Result name parameters throws { return Operation<Result>(#name, about, [&] { return REAL(name) arguments; }); }

// An open, whose mode argument is there only when the file may be created.
#define INTERCEPT_OPEN(name, parameters, arguments)                       \
  int name parameters {                                                   \
    mode_t mode = 0;                                                      \
    if ((flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE) {     \
      va_list rest;                                                       \
      va_start(rest, flags);                                              \
      mode = va_arg(rest, mode_t);                                        \
      va_end(rest);                                                       \
    }                                                                     \
    return Operation<int>(#name, PATH(path), [&] { return REAL(name) arguments; }); \
  }

extern "C" {
INTERCEPT_OPEN(open, (const char* path, int flags, ...), (path, flags, mode))
INTERCEPT_OPEN(open64, (const char* path, int flags, ...), (path, flags, mode))
INTERCEPT_OPEN(openat, (int dir, const char* path, int flags, ...), (dir, path, flags, mode))
INTERCEPT_OPEN(openat64, (int dir, const char* path, int flags, ...), (dir, path, flags, mode))
INTERCEPT(int, creat, (const char* path, mode_t mode), (path, mode), , PATH(path))
INTERCEPT(int, creat64, (const char* path, mode_t mode), (path, mode), , PATH(path))
INTERCEPT(FILE*, fopen, (const char* path, const char* how), (path, how), , PATH(path))
INTERCEPT(FILE*, fopen64, (const char* path, const char* how), (path, how), , PATH(path))
INTERCEPT(FILE*, freopen, (const char* path, const char* how, FILE* s), (path, how, s), , PATH(path))
INTERCEPT(FILE*, freopen64, (const char* path, const char* how, FILE* s), (path, how, s), , PATH(path))

INTERCEPT(ssize_t, read, (int fd, void* b, size_t n), (fd, b, n), , FD(fd))
INTERCEPT(ssize_t, pread, (int fd, void* b, size_t n, off_t at), (fd, b, n, at), , FD(fd))
INTERCEPT(ssize_t, pread64, (int fd, void* b, size_t n, off64_t at), (fd, b, n, at), , FD(fd))
INTERCEPT(ssize_t, readv, (int fd, const struct iovec* parts, int count), (fd, parts, count), , FD(fd))
INTERCEPT(ssize_t, write, (int fd, const void* b, size_t n), (fd, b, n), , FD(fd))
INTERCEPT(ssize_t, pwrite, (int fd, const void* b, size_t n, off_t at), (fd, b, n, at), , FD(fd))
INTERCEPT(ssize_t, pwrite64, (int fd, const void* b, size_t n, off64_t at), (fd, b, n, at), , FD(fd))
INTERCEPT(ssize_t, writev, (int fd, const struct iovec* parts, int count), (fd, parts, count), , FD(fd))

INTERCEPT(int, close, (int fd), (fd), , RELEASE(fd))
INTERCEPT(int, fclose, (FILE* stream), (stream), , RELEASE(fileno(stream)))
INTERCEPT(int, fsync, (int fd), (fd), , FD(fd))
INTERCEPT(int, fdatasync, (int fd), (fd), , FD(fd))
INTERCEPT(int, syncfs, (int fd), (fd), __THROW, FD(fd))
INTERCEPT(int, sync_file_range, (int fd, off64_t at, off64_t n, unsigned int flags), (fd, at, n, flags), , FD(fd))
INTERCEPT(int, ftruncate, (int fd, off_t length), (fd, length), __THROW, FD(fd))
INTERCEPT(int, ftruncate64, (int fd, off64_t length), (fd, length), __THROW, FD(fd))
INTERCEPT(int, fchmod, (int fd, mode_t mode), (fd, mode), __THROW, FD(fd))
INTERCEPT(int, flock, (int fd, int operation), (fd, operation), __THROW, FD(fd))

INTERCEPT(int, rename, (const char* from, const char* to), (from, to), __THROW, PATHS(from, to))
INTERCEPT(int, renameat, (int d1, const char* a, int d2, const char* b), (d1, a, d2, b), __THROW, PATHS(a, b))
INTERCEPT(int, renameat2, (int d1, const char* a, int d2, const char* b, unsigned f), (d1, a, d2, b, f), __THROW,
          PATHS(a, b))
INTERCEPT(int, link, (const char* from, const char* to), (from, to), __THROW, PATHS(from, to))
INTERCEPT(int, linkat, (int d1, const char* a, int d2, const char* b, int f), (d1, a, d2, b, f), __THROW, PATHS(a, b))
INTERCEPT(int, unlink, (const char* path), (path), __THROW, PATH(path))
INTERCEPT(int, unlinkat, (int dir, const char* path, int flags), (dir, path, flags), __THROW, PATH(path))
INTERCEPT(int, remove, (const char* path), (path), __THROW, PATH(path))
INTERCEPT(int, mkdir, (const char* path, mode_t mode), (path, mode), __THROW, PATH(path))
INTERCEPT(int, mkdirat, (int dir, const char* path, mode_t mode), (dir, path, mode), __THROW, PATH(path))
INTERCEPT(int, rmdir, (const char* path), (path), __THROW, PATH(path))
INTERCEPT(int, chmod, (const char* path, mode_t mode), (path, mode), __THROW, PATH(path))
INTERCEPT(int, fchmodat, (int dir, const char* path, mode_t mode, int f), (dir, path, mode, f), __THROW, PATH(path))
}  // extern "C"

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
//                                Linux always releases the descriptor, and
//                                then reports EIO)
//   VANDORIL_FAULT=hold:N:PATH   before the N-th operation, creates the empty
//                                file PATH.held, then waits until PATH exists
//                                (polling every 10 ms, for at most 30 s)
//   VANDORIL_FAULT_COUNT=PATH    at exit, writes the number of operations
//                                counted, in decimal and a line end, to PATH
//   VANDORIL_FAULT_TRACE=PATH    appends one line per operation to PATH:
//                                its number, the function, and its path (both
//                                for a rename or link) or "fd" and its fd
//
// N counts from 1.  Counted, once per call whether it succeeds or not: the
// reads, writes, closes, syncs, truncations, locks and permission changes of a
// descriptor above 2 (a pipe's too), and the opens, renames, links, unlinks, permission
// changes and making and removing of folders of a path, except paths under
// /dev, /proc and /sys.  Not counted: anything that only looks (stat, access,
// directory listings), and what libc does through its internal entry points
// (fopen's own open, fclose's own close, opendir).
//
// Only the process that loads the library first is affected: the variables
// are removed from its environment, so programs it starts run undisturbed, and
// a forked child that has not yet started a program is never counted.  So the
// variables and LD_PRELOAD belong in the environment of the program itself,
// not of a shell or other wrapper that starts it: the wrapper would take them.
// A program built with AddressSanitizer also needs
// ASAN_OPTIONS=verify_asan_link_order=0, since this library comes before the
// sanitizer's runtime.  The programs tested are single-threaded, so plain
// variables do.
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

#include <algorithm>

namespace {

enum Mode { kPassThrough, kStop, kFail, kHold };

// Fixed-size, zero-initialised state: no constructor has to run before the
// first intercepted call, which may come before this library's constructor.
bool initialized;
pid_t owner;
Mode mode;
unsigned long target;
unsigned long counted;
char holdPath[4096];
char countPath[4096];
int traceFd = -1;

[[noreturn]] void Die(const char* message, const char* detail) {
  const char* parts[] = {"vandoril_fault_injection: ", message, detail, "\n"};
  for (const char* part : parts) {
    if (write(STDERR_FILENO, part, strlen(part)) < 0) break;
  }
  abort();
}

// The next definition of `name` after this library: libc's, or that of a
// sanitizer runtime that intercepts it and calls libc's in turn.
void* Resolve(const char* name) {
  void* function = dlsym(RTLD_NEXT, name);
  if (function == nullptr) Die("no next definition of ", name);
  return function;
}

// The real `name`, looked up on first use.
#define REAL(name)                                                                 \
  ([] {                                                                            \
    static decltype(&name) real;                                                   \
    if (real == nullptr) real = reinterpret_cast<decltype(&name)>(Resolve(#name)); \
    return real;                                                                   \
  }())

// Copies `text` into `buffer`; dies when it does not fit.
void CopyPath(char (&buffer)[4096], const char* text, const char* variable) {
  if (strlen(text) >= sizeof buffer) Die("path too long in ", variable);
  strcpy(buffer, text);
}

// Reads the decimal N >= 1 that follows the mode's "xxxx:" in `fault`; `end`
// is left after it.
unsigned long ParseNumber(const char* fault, const char** end) {
  const char* text = fault + 5;
  char* after = nullptr;
  errno = 0;
  const unsigned long value = (*text >= '0' && *text <= '9') ? strtoul(text, &after, 10) : 0;
  if (value == 0 || errno != 0) Die("bad number in VANDORIL_FAULT=", fault);
  *end = after;
  return value;
}

void ParseFault(const char* text) {
  const char* end = nullptr;
  if (strncmp(text, "stop:", 5) == 0) {
    mode = kStop;
    target = ParseNumber(text, &end);
  } else if (strncmp(text, "fail:", 5) == 0) {
    mode = kFail;
    target = ParseNumber(text, &end);
  } else if (strncmp(text, "hold:", 5) == 0) {
    mode = kHold;
    target = ParseNumber(text, &end);
    if (*end != ':' || end[1] == '\0') Die("hold needs a path: VANDORIL_FAULT=", text);
    CopyPath(holdPath, end + 1, "VANDORIL_FAULT");
    return;
  } else {
    Die("unknown VANDORIL_FAULT=", text);
  }
  if (*end != '\0') Die("bad VANDORIL_FAULT=", text);
}

void Initialize() {
  if (initialized) return;
  initialized = true;
  owner = getpid();
  const char* fault = getenv("VANDORIL_FAULT");
  if (fault != nullptr && *fault != '\0') ParseFault(fault);
  const char* count = getenv("VANDORIL_FAULT_COUNT");
  if (count != nullptr && *count != '\0') CopyPath(countPath, count, "VANDORIL_FAULT_COUNT");
  const char* trace = getenv("VANDORIL_FAULT_TRACE");
  if (trace != nullptr && *trace != '\0') {
    traceFd = REAL(open)(trace, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (traceFd < 0) Die("cannot open VANDORIL_FAULT_TRACE=", trace);
  }
  unsetenv("VANDORIL_FAULT");
  unsetenv("VANDORIL_FAULT_COUNT");
  unsetenv("VANDORIL_FAULT_TRACE");
}

__attribute__((constructor)) void OnLoad() { Initialize(); }

__attribute__((destructor)) void OnUnload() {
  if (countPath[0] == '\0' || getpid() != owner) return;
  char text[32];
  const int length = snprintf(text, sizeof text, "%lu\n", counted);
  const int fd = REAL(open)(countPath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0 || REAL(write)(fd, text, static_cast<size_t>(length)) != length) {
    Die("cannot write VANDORIL_FAULT_COUNT=", countPath);
  }
  REAL(close)(fd);
}

// Paths whose operations are not counted: devices, the console, kernel interfaces.
bool IsSystemPath(const char* path) {
  for (const char* prefix : {"/dev", "/proc", "/sys"}) {
    const size_t length = strlen(prefix);
    if (strncmp(path, prefix, length) == 0 && (path[length] == '\0' || path[length] == '/')) return true;
  }
  return false;
}

void Trace(unsigned long number, const char* function, const char* path, const char* to, int fd) {
  char line[8400];
  const int length = path == nullptr ? snprintf(line, sizeof line, "%lu %s fd %d\n", number, function, fd)
                     : to == nullptr ? snprintf(line, sizeof line, "%lu %s %s\n", number, function, path)
                                     : snprintf(line, sizeof line, "%lu %s %s %s\n", number, function, path, to);
  if (length > 0) REAL(write)(traceFd, line, std::min(static_cast<size_t>(length), sizeof line - 1));
}

void WaitForHoldFile() {
  char held[4096 + 8];
  snprintf(held, sizeof held, "%s.held", holdPath);
  const int fd = REAL(open)(held, O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd >= 0) REAL(close)(fd);
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  const time_t deadline = now.tv_sec + 30;
  const struct timespec tenMilliseconds = {0, 10 * 1000 * 1000};
  while (access(holdPath, F_OK) != 0 && clock_gettime(CLOCK_MONOTONIC, &now) == 0 && now.tv_sec < deadline) {
    nanosleep(&tenMilliseconds, nullptr);
  }
}

// How a failing operation fails.
enum Failure {
  kSkip,     // not carried out
  kRelease,  // carried out (it releases a descriptor), then reported as failed
};

// Counts one operation when `counts` and applies the fault to it.  `call`
// carries the operation out; `failed` is what the function returns on failure.
// `path`, `to` and `fd` are only traced.
template <typename Result, typename Call>
Result Operation(bool counts, const char* function, const char* path, const char* to, int fd, Result failed,
                 Failure failure, Call call) {
  Initialize();
  if (!counts || getpid() != owner) return call();
  const unsigned long number = ++counted;
  if (traceFd >= 0) Trace(number, function, path, to, fd);
  if (number == target) {
    if (mode == kHold) WaitForHoldFile();
    if (mode == kFail) {
      if (failure == kRelease) call();
      errno = EIO;
      return failed;
    }
  }
  const Result result = call();
  if (number == target && mode == kStop) kill(getpid(), SIGKILL);
  return result;
}

template <typename Result, typename Call>
Result PathOperation(const char* function, const char* path, Result failed, Call call, const char* to = nullptr) {
  return Operation(path != nullptr && !IsSystemPath(path), function, path, to, -1, failed, kSkip, call);
}

template <typename Result, typename Call>
Result FdOperation(const char* function, int fd, Result failed, Call call, Failure failure = kSkip) {
  return Operation(fd > 2, function, nullptr, nullptr, fd, failed, failure, call);
}

// The mode argument of an open: present only when the file may be created.
#define OPEN_MODE(flags)                                                \
  mode_t mode = 0;                                                      \
  if (((flags) & O_CREAT) != 0 || ((flags) & O_TMPFILE) == O_TMPFILE) { \
    va_list arguments;                                                  \
    va_start(arguments, flags);                                         \
    mode = va_arg(arguments, mode_t);                                   \
    va_end(arguments);                                                  \
  }

}  // namespace

extern "C" {

// Opening.

int open(const char* path, int flags, ...) {
  OPEN_MODE(flags);
  return PathOperation("open", path, -1, [&] { return REAL(open)(path, flags, mode); });
}

int open64(const char* path, int flags, ...) {
  OPEN_MODE(flags);
  return PathOperation("open64", path, -1, [&] { return REAL(open64)(path, flags, mode); });
}

int openat(int dirfd, const char* path, int flags, ...) {
  OPEN_MODE(flags);
  return PathOperation("openat", path, -1, [&] { return REAL(openat)(dirfd, path, flags, mode); });
}

int openat64(int dirfd, const char* path, int flags, ...) {
  OPEN_MODE(flags);
  return PathOperation("openat64", path, -1, [&] { return REAL(openat64)(dirfd, path, flags, mode); });
}

int creat(const char* path, mode_t mode) {
  return PathOperation("creat", path, -1, [&] { return REAL(creat)(path, mode); });
}

int creat64(const char* path, mode_t mode) {
  return PathOperation("creat64", path, -1, [&] { return REAL(creat64)(path, mode); });
}

FILE* fopen(const char* path, const char* how) {
  return PathOperation("fopen", path, static_cast<FILE*>(nullptr), [&] { return REAL(fopen)(path, how); });
}

FILE* fopen64(const char* path, const char* how) {
  return PathOperation("fopen64", path, static_cast<FILE*>(nullptr), [&] { return REAL(fopen64)(path, how); });
}

FILE* freopen(const char* path, const char* how, FILE* stream) {
  return PathOperation("freopen", path, static_cast<FILE*>(nullptr),
                       [&] { return REAL(freopen)(path, how, stream); });
}

FILE* freopen64(const char* path, const char* how, FILE* stream) {
  return PathOperation("freopen64", path, static_cast<FILE*>(nullptr),
                       [&] { return REAL(freopen64)(path, how, stream); });
}

// Reading and writing.

ssize_t read(int fd, void* buffer, size_t size) {
  return FdOperation("read", fd, ssize_t{-1}, [&] { return REAL(read)(fd, buffer, size); });
}

ssize_t pread(int fd, void* buffer, size_t size, off_t offset) {
  return FdOperation("pread", fd, ssize_t{-1}, [&] { return REAL(pread)(fd, buffer, size, offset); });
}

ssize_t pread64(int fd, void* buffer, size_t size, off64_t offset) {
  return FdOperation("pread64", fd, ssize_t{-1}, [&] { return REAL(pread64)(fd, buffer, size, offset); });
}

ssize_t readv(int fd, const struct iovec* parts, int count) {
  return FdOperation("readv", fd, ssize_t{-1}, [&] { return REAL(readv)(fd, parts, count); });
}

ssize_t write(int fd, const void* buffer, size_t size) {
  return FdOperation("write", fd, ssize_t{-1}, [&] { return REAL(write)(fd, buffer, size); });
}

ssize_t pwrite(int fd, const void* buffer, size_t size, off_t offset) {
  return FdOperation("pwrite", fd, ssize_t{-1}, [&] { return REAL(pwrite)(fd, buffer, size, offset); });
}

ssize_t pwrite64(int fd, const void* buffer, size_t size, off64_t offset) {
  return FdOperation("pwrite64", fd, ssize_t{-1}, [&] { return REAL(pwrite64)(fd, buffer, size, offset); });
}

ssize_t writev(int fd, const struct iovec* parts, int count) {
  return FdOperation("writev", fd, ssize_t{-1}, [&] { return REAL(writev)(fd, parts, count); });
}

// Closing, syncing and changing open files.

int close(int fd) {
  return FdOperation("close", fd, -1, [&] { return REAL(close)(fd); }, kRelease);
}

int fclose(FILE* stream) {
  return FdOperation("fclose", fileno(stream), EOF, [&] { return REAL(fclose)(stream); }, kRelease);
}

int fsync(int fd) {
  return FdOperation("fsync", fd, -1, [&] { return REAL(fsync)(fd); });
}

int fdatasync(int fd) {
  return FdOperation("fdatasync", fd, -1, [&] { return REAL(fdatasync)(fd); });
}

int syncfs(int fd) __THROW {
  return FdOperation("syncfs", fd, -1, [&] { return REAL(syncfs)(fd); });
}

int sync_file_range(int fd, off64_t offset, off64_t size, unsigned int flags) {
  return FdOperation("sync_file_range", fd, -1, [&] { return REAL(sync_file_range)(fd, offset, size, flags); });
}

int ftruncate(int fd, off_t length) __THROW {
  return FdOperation("ftruncate", fd, -1, [&] { return REAL(ftruncate)(fd, length); });
}

int ftruncate64(int fd, off64_t length) __THROW {
  return FdOperation("ftruncate64", fd, -1, [&] { return REAL(ftruncate64)(fd, length); });
}

int fchmod(int fd, mode_t mode) __THROW {
  return FdOperation("fchmod", fd, -1, [&] { return REAL(fchmod)(fd, mode); });
}

int flock(int fd, int operation) __THROW {
  return FdOperation("flock", fd, -1, [&] { return REAL(flock)(fd, operation); });
}

// Changing names and folders.

int rename(const char* from, const char* to) __THROW {
  return PathOperation("rename", from, -1, [&] { return REAL(rename)(from, to); }, to);
}

int renameat(int fromDir, const char* from, int toDir, const char* to) __THROW {
  return PathOperation("renameat", from, -1, [&] { return REAL(renameat)(fromDir, from, toDir, to); }, to);
}

int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned int flags) __THROW {
  return PathOperation(
      "renameat2", from, -1, [&] { return REAL(renameat2)(fromDir, from, toDir, to, flags); }, to);
}

int link(const char* from, const char* to) __THROW {
  return PathOperation("link", from, -1, [&] { return REAL(link)(from, to); }, to);
}

int linkat(int fromDir, const char* from, int toDir, const char* to, int flags) __THROW {
  return PathOperation("linkat", from, -1, [&] { return REAL(linkat)(fromDir, from, toDir, to, flags); }, to);
}

int unlink(const char* path) __THROW {
  return PathOperation("unlink", path, -1, [&] { return REAL(unlink)(path); });
}

int unlinkat(int dir, const char* path, int flags) __THROW {
  return PathOperation("unlinkat", path, -1, [&] { return REAL(unlinkat)(dir, path, flags); });
}

int remove(const char* path) __THROW {
  return PathOperation("remove", path, -1, [&] { return REAL(remove)(path); });
}

int mkdir(const char* path, mode_t mode) __THROW {
  return PathOperation("mkdir", path, -1, [&] { return REAL(mkdir)(path, mode); });
}

int mkdirat(int dir, const char* path, mode_t mode) __THROW {
  return PathOperation("mkdirat", path, -1, [&] { return REAL(mkdirat)(dir, path, mode); });
}

int rmdir(const char* path) __THROW {
  return PathOperation("rmdir", path, -1, [&] { return REAL(rmdir)(path); });
}

int chmod(const char* path, mode_t mode) __THROW {
  return PathOperation("chmod", path, -1, [&] { return REAL(chmod)(path, mode); });
}

int fchmodat(int dir, const char* path, mode_t mode, int flags) __THROW {
  return PathOperation("fchmodat", path, -1, [&] { return REAL(fchmodat)(dir, path, mode, flags); });
}

}  // extern "C"

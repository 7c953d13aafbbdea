// Deterministic fault injection, preloaded (LD_PRELOAD) into the program under test.  It counts the program's file
// operations and, as the environment says:
//
//   VANDORIL_FAULT=...          the faults of fault_plan.h: a stop is SIGKILL right after the operation (no exit
//                               handlers, no flush), a failure EIO (a close is carried out: Linux always releases),
//                               a hold polls every 10 ms, 30 s at most
//   VANDORIL_FAULT_NO_RENAMEAT2=1  renameat2 fails with EINVAL, not carried out, as where the file system lacks it
//   VANDORIL_FAULT_TRACE=PATH   appends "N function path [path]" or "N function fd FD" per operation to PATH
//   VANDORIL_FAULT_TRACE_DATA=1 writes each line after the call instead, with what a crash model needs: the flags
//                               (fopen's as open's), mode, renameat2's or unlinkat's flags, or length, in C notation;
//                               " = RESULT" (an open's descriptor); after an open or mkdir that worked, " mode M" of
//                               what stands there then; after a write, " at OFFSET", and the RESULT bytes written
//                               follow the line, then a line end.  Every line is in the order the calls returned.
//
// N counts from 1.  Counted, once per call: the calls of the table at the end (every file function that the program
// and the C++ library import: nm -D, lookups and listings included) on a descriptor above 2 or a path outside /dev,
// /proc and /sys.  libc's internal calls, and lookups of absolute paths (which change nothing), are not counted.
//
// A counted path that is absolute or has a ".." component is not carried out: the process says
// "vandoril_fault_injection: outside the game folder: PATH" and ends with status 86.  Only the first process is
// affected: the variables leave its environment, so what it starts runs undisturbed.  With AddressSanitizer,
// ASAN_OPTIONS=verify_asan_link_order=0 is needed.
#undef _FORTIFY_SOURCE  // the fortified inline wrappers would clash with these definitions

#include <dirent.h>
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

#include "fault_plan.h"
#include <type_traits>

namespace {

// Zero-initialised: the first intercepted call may come before this library's constructor.  The paths stay where
// exec put the environment.
bool initialized;
pid_t owner;
FaultPlan plan;
unsigned long counted;
int traceFd = -1;
bool traceData;
bool noRenameat2;

void Say(const char* message, const char* detail) {
  for (const char* part : {"vandoril_fault_injection: ", message, detail, "\n"})
    if (write(STDERR_FILENO, part, strlen(part)) < 0) break;
}

[[noreturn]] void Die(const char* message, const char* detail) {
  Say(message, detail);
  abort();
}

// The next definition of `name` after this library, looked up on first use: libc's, or that of a sanitizer runtime
// that calls libc's in turn.
#define REAL(name)                                                                          \
  ([] {                                                                                     \
    static decltype(&name) real;                                                            \
    if (real == nullptr) real = reinterpret_cast<decltype(&name)>(dlsym(RTLD_NEXT, #name)); \
    if (real == nullptr) Die("no next definition of ", #name);                              \
    return real;                                                                            \
  }())

// The value of the variable `name`, or null when it is unset or empty; removes the variable from the environment.
const char* Take(const char* name) {
  const char* value = getenv(name);
  unsetenv(name);
  return value != nullptr && *value != '\0' ? value : nullptr;
}

void Initialize() {
  if (initialized) return;
  initialized = true;
  owner = getpid();
  if (const char* fault = Take("VANDORIL_FAULT"); fault != nullptr && !ParseFaults(fault, plan)) {
    Die("bad VANDORIL_FAULT=", fault);
  }
  if (const char* trace = Take("VANDORIL_FAULT_TRACE")) {
    traceFd = REAL(open)(trace, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (traceFd < 0) Die("cannot open VANDORIL_FAULT_TRACE=", trace);
  }
  traceData = Take("VANDORIL_FAULT_TRACE_DATA") != nullptr;
  noRenameat2 = Take("VANDORIL_FAULT_NO_RENAMEAT2") != nullptr;
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

// What the data trace adds to a call's line: a number in `format`, the mode of the file that an open or a mkdir
// leaves, the offset and the bytes of a write.
enum DetailKind { kNoDetail, kOctal, kDecimal, kOpens, kMakesFolder, kWrites };
struct Detail {
  DetailKind kind = kNoDetail;
  long number = 0;
  const struct iovec* parts = nullptr;
  int count = 0;
};

// The flags of open() that fopen() uses for the mode `how`.
long FlagsOf(const char* how) {
  const long access = strchr(how, '+') != nullptr ? O_RDWR : how[0] == 'r' ? O_RDONLY : O_WRONLY;
  const long creation = how[0] == 'w' ? O_CREAT | O_TRUNC : how[0] == 'a' ? O_CREAT | O_APPEND : 0;
  return access | creation | (strchr(how, 'x') != nullptr ? O_EXCL : 0);
}

void Trace(unsigned long number, const char* function, const char* path, const char* to, int fd,
           const Detail* detail = nullptr, long result = 0) {
  char line[8400];
  int length = path == nullptr ? snprintf(line, sizeof line, "%lu %s fd %d", number, function, fd)
               : to == nullptr ? snprintf(line, sizeof line, "%lu %s %s", number, function, path)
                               : snprintf(line, sizeof line, "%lu %s %s %s", number, function, path, to);
  const auto add = [&](const char* format, long value) {
    if (length > 0 && length < int{sizeof line}) length += snprintf(line + length, sizeof line - length, format, value);
  };
  struct stat status;
  if (detail != nullptr) {
    if (detail->kind == kDecimal) add(" %ld", detail->number);
    if (detail->kind != kDecimal && detail->kind != kNoDetail && detail->kind != kWrites) add(" %#lo", detail->number);
    add(" = %ld", result);
    const bool opened = detail->kind == kOpens && result >= 0 && fstat(static_cast<int>(result), &status) == 0;
    if (opened || (detail->kind == kMakesFolder && result == 0 && REAL(stat)(path, &status) == 0)) {
      add(" mode %#lo", status.st_mode & 07777);
    }
    if (detail->kind == kWrites && result > 0) add(" at %ld", lseek(fd, 0, SEEK_CUR) - result);
  }
  add("\n", 0);
  if (length > 0) REAL(write)(traceFd, line, length < int{sizeof line} ? length : sizeof line - 1);
  if (detail == nullptr || detail->kind != kWrites || result <= 0) return;
  for (int i = 0; i < detail->count && result > 0; ++i) {  // the bytes written, as far as the result says
    const size_t part = detail->parts[i].iov_len < size_t(result) ? detail->parts[i].iov_len : size_t(result);
    REAL(write)(traceFd, detail->parts[i].iov_base, part);
    result -= static_cast<long>(part);
  }
  REAL(write)(traceFd, "\n", 1);
}

// The path that a lookup of `path` is counted as: none for an absolute path, which it leaves uncounted.
const char* Looked(const char* path) { return path != nullptr && path[0] == '/' ? "/dev" : path; }

// A call's result for the data trace: a stream's descriptor, or the number.
long Value(FILE* stream) { return stream != nullptr ? fileno(stream) : -1; }
long Value(DIR* listing) { return listing != nullptr ? dirfd(listing) : -1; }
long Value(long result) { return result; }

void WaitForHoldFile() {
  char held[4200];
  snprintf(held, sizeof held, "%s.held", plan.holdPath);
  const int fd = REAL(open)(held, O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd >= 0) REAL(close)(fd);
  const struct timespec tenMilliseconds = {0, 10 * 1000 * 1000};
  for (int polls = 0; polls < 3000 && REAL(access)(plan.holdPath, F_OK) != 0; ++polls) nanosleep(&tenMilliseconds, nullptr);
}

// One call of `function` about `path` (and `to`) or else the descriptor `fd`, which `call` carries out; one that
// `releases` a descriptor also when it fails.  `detail` goes to the data trace.
template <typename Result, typename Call>
Result Operation(const char* function, const char* path, const char* to, int fd, bool releases, Call call,
                 const Detail& detail = {}) {
  Initialize();
  const bool counts = path != nullptr ? !IsSystemPath(path) : fd > 2;
  if (!counts || getpid() != owner) return call();
  const unsigned long number = ++counted;
  if (traceFd >= 0 && !traceData) Trace(number, function, path, to, fd);
  for (const char* checked : {path, to}) {
    if (!LeavesTheFolder(checked)) continue;
    Say("outside the game folder: ", checked);
    _exit(86);
  }
  if (Hits(plan, kHold, number)) WaitForHoldFile();
  const bool fails = Hits(plan, kFail, number);
  Result result = fails && !releases ? Result{} : call();
  const int error = fails ? EIO : errno;
  if constexpr (std::is_pointer<Result>::value) result = fails ? nullptr : result;
  else result = fails ? -1 : result;
  if (traceFd >= 0 && traceData) Trace(number, function, path, to, fd, &detail, Value(result));
  if (Hits(plan, kStop, number)) kill(getpid(), SIGKILL);
  errno = error;
  return result;
}

}  // namespace

// What a call is about, and how it fails.
#define PATH(path) path, nullptr, -1, false
#define PATHS(from, to) from, to, -1, false
#define FD(fd) nullptr, nullptr, fd, false
#define RELEASE(fd) nullptr, nullptr, fd, true
#define LOOKUP(path) Looked(path), nullptr, -1, false

// `throws` is what libc declares the function to throw (its __THROW or nothing); `...` the Detail for the data trace.
#define INTERCEPT(Result, name, parameters, arguments, throws, about, ...)                                          \
  Result name parameters throws {                                                                                    \
    return Operation<Result>(#name, about, [&] { return REAL(name) arguments; }, Detail{__VA_ARGS__});               \
  }

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
    return Operation<int>(#name, PATH(path), [&] { return REAL(name) arguments; }, Detail{kOpens, flags}); \
  }

extern "C" {
INTERCEPT_OPEN(open, (const char* path, int flags, ...), (path, flags, mode))
INTERCEPT_OPEN(openat, (int dir, const char* path, int flags, ...), (dir, path, flags, mode))
INTERCEPT(FILE*, fopen, (const char* path, const char* how), (path, how), , PATH(path), kOpens, FlagsOf(how))
INTERCEPT(FILE*, fopen64, (const char* path, const char* how), (path, how), , PATH(path), kOpens, FlagsOf(how))

INTERCEPT(ssize_t, read, (int fd, void* b, size_t n), (fd, b, n), , FD(fd))
ssize_t write(int fd, const void* b, size_t n) {
  const struct iovec part = {const_cast<void*>(b), n};
  return Operation<ssize_t>("write", FD(fd), [&] { return REAL(write)(fd, b, n); }, Detail{kWrites, 0, &part, 1});
}
INTERCEPT(ssize_t, writev, (int fd, const struct iovec* parts, int count), (fd, parts, count), , FD(fd), kWrites, 0,
          parts, count)
INTERCEPT(int, ftruncate, (int fd, off_t length), (fd, length), __THROW, FD(fd), kDecimal, long(length))
INTERCEPT(int, truncate, (const char* path, off_t length), (path, length), __THROW, PATH(path), kDecimal, long(length))

INTERCEPT(int, close, (int fd), (fd), , RELEASE(fd))
INTERCEPT(int, fclose, (FILE* stream), (stream), , RELEASE(fileno(stream)))
INTERCEPT(int, fsync, (int fd), (fd), , FD(fd))
INTERCEPT(int, fdatasync, (int fd), (fd), , FD(fd))
INTERCEPT(int, sync_file_range, (int fd, off64_t at, off64_t n, unsigned int flags), (fd, at, n, flags), , FD(fd))
INTERCEPT(int, fchmod, (int fd, mode_t mode), (fd, mode), __THROW, FD(fd), kOctal, long(mode))
INTERCEPT(int, flock, (int fd, int operation), (fd, operation), __THROW, FD(fd))

INTERCEPT(int, rename, (const char* from, const char* to), (from, to), __THROW, PATHS(from, to))
int renameat2(int d1, const char* a, int d2, const char* b, unsigned f) __THROW {
  return Operation<int>("renameat2", PATHS(a, b), [&] { return noRenameat2 ? (errno = EINVAL, -1) : REAL(renameat2)(d1, a, d2, b, f); },
                        Detail{kOctal, long(f)});
}
INTERCEPT(int, link, (const char* from, const char* to), (from, to), __THROW, PATHS(from, to))
INTERCEPT(int, unlink, (const char* path), (path), __THROW, PATH(path))
INTERCEPT(int, unlinkat, (int dir, const char* path, int flags), (dir, path, flags), __THROW, PATH(path), kOctal,
          long(flags))
INTERCEPT(int, remove, (const char* path), (path), __THROW, PATH(path))
INTERCEPT(int, mkdir, (const char* path, mode_t mode), (path, mode), __THROW, PATH(path), kMakesFolder, long(mode))
INTERCEPT(int, rmdir, (const char* path), (path), __THROW, PATH(path))
INTERCEPT(int, chmod, (const char* path, mode_t mode), (path, mode), __THROW, PATH(path), kOctal, long(mode))

INTERCEPT(int, stat, (const char* path, struct stat* s), (path, s), __THROW, LOOKUP(path))
INTERCEPT(int, lstat, (const char* path, struct stat* s), (path, s), __THROW, LOOKUP(path))
INTERCEPT(int, fstatat, (int dir, const char* path, struct stat* s, int f), (dir, path, s, f), __THROW, LOOKUP(path))
INTERCEPT(int, statx, (int dir, const char* path, int f, unsigned m, struct statx* s), (dir, path, f, m, s), __THROW,
          LOOKUP(path))
INTERCEPT(int, access, (const char* path, int how), (path, how), __THROW, LOOKUP(path))
INTERCEPT(int, faccessat, (int dir, const char* path, int how, int f), (dir, path, how, f), __THROW, LOOKUP(path))
INTERCEPT(DIR*, opendir, (const char* path), (path), , LOOKUP(path))
INTERCEPT(int, fchmodat, (int dir, const char* path, mode_t mode, int f), (dir, path, mode, f), __THROW, PATH(path),
          kOctal, long(mode))
}  // extern "C"

#include "platform/program_start.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>

#include "platform/system_errors.h"

namespace {

int Complain(const std::string& text) {
  std::cerr << text << '\n' << std::flush;
  return 1;
}

// Starts `path` with the argument vector `args` and waits until it ends.
// Returns true, with the exit status in `status`, when the program ran; false,
// with the errno value in `error`, when it could not be started.
bool StartAndWait(const std::string& path, const std::vector<std::string>& args, int* status, int* error) {
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  // The child reports a failed exec through this pipe; a successful exec
  // closes it unwritten.
  int report[2];
  if (pipe(report) != 0) {
    *error = errno;
    return false;
  }
  fcntl(report[0], F_SETFD, FD_CLOEXEC);
  fcntl(report[1], F_SETFD, FD_CLOEXEC);

  // As with system(): an interrupt typed at the console is the program's, and
  // the installer goes on once the program has ended.
  struct sigaction ignore {}, oldInterrupt, oldQuit;
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGINT, &ignore, &oldInterrupt);
  sigaction(SIGQUIT, &ignore, &oldQuit);

  const pid_t pid = fork();
  if (pid == 0) {
    sigaction(SIGINT, &oldInterrupt, nullptr);
    sigaction(SIGQUIT, &oldQuit, nullptr);
    close(report[0]);
    execv(path.c_str(), argv.data());
    const int execError = errno;
    ssize_t written = write(report[1], &execError, sizeof execError);
    (void)written;
    _exit(127);
  }
  const int forkError = errno;
  close(report[1]);

  bool started = false;
  if (pid < 0) {
    *error = forkError;
  } else {
    int execError = 0;
    ssize_t got;
    do got = read(report[0], &execError, sizeof execError);
    while (got < 0 && errno == EINTR);
    int waitStatus = 0;
    while (waitpid(pid, &waitStatus, 0) < 0 && errno == EINTR) {
    }
    if (got == static_cast<ssize_t>(sizeof execError)) {
      *error = execError;
    } else {
      started = true;
      if (WIFEXITED(waitStatus))
        *status = WEXITSTATUS(waitStatus);
      else
        *status = WIFSIGNALED(waitStatus) ? 128 + WTERMSIG(waitStatus) : 1;
    }
  }
  close(report[0]);
  sigaction(SIGINT, &oldInterrupt, nullptr);
  sigaction(SIGQUIT, &oldQuit, nullptr);
  return started;
}

// True when the file begins with "MZ", the mark of a Windows program.
bool IsWindowsProgram(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  char mark[2] = {};
  return in.read(mark, 2) && mark[0] == 'M' && mark[1] == 'Z';
}

// The full name of the executable file `name` in an absolute directory of the
// PATH, or "" when there is none.  Relative entries are skipped: the game
// folder is no place to look for system programs.
std::string FindOnPath(const std::string& name) {
  const char* pathVariable = std::getenv("PATH");
  if (pathVariable == nullptr) return "";
  const std::string directories = pathVariable;
  for (size_t start = 0; start <= directories.size();) {
    size_t end = directories.find(':', start);
    if (end == std::string::npos) end = directories.size();
    const std::string directory = directories.substr(start, end - start);
    if (!directory.empty() && directory[0] == '/') {
      const std::string candidate = directory + "/" + name;
      struct stat st;
      if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(candidate.c_str(), X_OK) == 0)
        return candidate;
    }
    start = end + 1;
  }
  return "";
}

const char kCannotExecute[] = "The system cannot execute the specified program.";

}  // namespace

int RunProgramFromCurrentDirectory(const std::string& name, const std::vector<std::string>& arguments) {
  // Whatever was written so far must be on screen before the program writes.
  std::cout.flush();
  std::fflush(stdout);

  const std::string path = "./" + name;
  std::vector<std::string> args{name};
  args.insert(args.end(), arguments.begin(), arguments.end());
  int status = 0, error = 0;
  if (StartAndWait(path, args, &status, &error)) return status;

  if ((error == ENOEXEC || error == EACCES) && IsWindowsProgram(path)) {
    const std::string wine = FindOnPath("wine");
    if (wine.empty()) return Complain(kCannotExecute);
    std::vector<std::string> wineArgs{"wine", path};
    wineArgs.insert(wineArgs.end(), arguments.begin(), arguments.end());
    if (StartAndWait(wine, wineArgs, &status, &error)) return status;
    return Complain(kCannotExecute);
  }

  struct stat st;
  const bool present = lstat(path.c_str(), &st) == 0;
  if (!present) {
    return Complain(NotRecognizedText(name));
  }
  if (error == EACCES) return Complain("Access is denied.");
  return Complain(kCannotExecute);
}

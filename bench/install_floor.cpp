// install_floor: the floor of an install of the native program, in the
// current game folder: what no install can do without.  Each of the 213 files
// that an install rewrites (the three archives, the country list, the results
// script, the 206 country databases, and countries 34 and 41 a second time)
// is renamed to its backup and written anew from it through user space with
// the same bytes and the backup's permissions; then every rewritten file is
// flushed, and so are the folders that gained or lost a name; the backups are
// deleted and the deletions flushed; the editor is started and one byte of
// standard input is read, as the program's "pause" does.  The folder is as
// before afterwards.  No journal, no marker, no scan: the bytes are copied.
//
//   cd GAME_FOLDER && install_floor < /dev/null
//
// Used by bench/install_bench.sh; exits 1 with a message when a call fails.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

namespace {

std::vector<char> buffer(1 << 20);

[[noreturn]] void Fail(const std::string& what) {
  std::cerr << "install_floor: " << what << ": " << std::strerror(errno) << '\n';
  std::exit(1);
}

// Flushes the folder `path` (the names it gained or lost).
void SyncFolder(const char* path) {
  const int fd = open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0 || fsync(fd) != 0) Fail(std::string("flush of ") + path);
  close(fd);
}

// Renames `file` to `backup` and writes it anew from there; returns the new
// file, still open, for the flush at the end.
int Rewrite(const std::string& file, const std::string& backup) {
  if (rename(file.c_str(), backup.c_str()) != 0) Fail("rename of " + file);
  const int in = open(backup.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat status;
  if (in < 0 || fstat(in, &status) != 0) Fail("open of " + backup);
  const int out = open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, status.st_mode & 07777);
  if (out < 0) Fail("creation of " + file);
  for (;;) {
    const ssize_t got = read(in, buffer.data(), buffer.size());
    if (got < 0) Fail("read of " + backup);
    if (got == 0) break;
    for (ssize_t done = 0; done < got;) {
      const ssize_t written = write(out, buffer.data() + done, static_cast<size_t>(got - done));
      if (written < 0) Fail("write of " + file);
      done += written;
    }
  }
  close(in);
  return out;
}

}  // namespace

int main() {
  std::vector<std::pair<std::string, std::string>> files = {
      {"art_01.big", "art_01.bak"},
      {"art_02.big", "art_02.bak"},
      {"art_03.big", "art_03.bak"},
      {"database/countries.sav", "database/bak/countries.sav"},
      {"script/Results.txt", "script/Results.bak"},
      {"database/country34.sav", "database/bak/country34.sav"},
      {"database/country41.sav", "database/bak/country41.sav"}};
  for (int n = 1; n <= 206; ++n) {
    const std::string name = "country" + std::to_string(n);
    const std::string backup = name + (n == 34 || n == 41 ? "_tmp.sav" : ".sav");
    files.push_back({"database/" + name + ".sav", "database/bak/" + backup});
  }
  if (mkdir("database/bak", 0777) != 0) Fail("mkdir of database/bak");
  SyncFolder("database");  // database/bak is on disk before a file moves into it

  std::vector<int> written;
  for (const auto& [file, backup] : files) written.push_back(Rewrite(file, backup));
  // All flushed once all are written: the file system then writes them in
  // few commits.
  for (const int fd : written) {
    if (fsync(fd) != 0) Fail("flush of a rewritten file");
    close(fd);
  }
  for (const char* folder : {".", "database", "database/bak", "script"}) SyncFolder(folder);

  for (const auto& entry : files) {
    if (unlink(entry.second.c_str()) != 0) Fail("unlink of " + entry.second);
  }
  if (rmdir("database/bak") != 0) Fail("rmdir of database/bak");
  for (const char* folder : {".", "database", "script"}) SyncFolder(folder);

  // The editor, started the way the program starts it, then "pause".
  const pid_t pid = fork();
  if (pid < 0) Fail("fork");
  if (pid == 0) {
    execl("./editor.exe", "editor.exe", "-master", static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  char byte;
  while (read(STDIN_FILENO, &byte, 1) < 0 && errno == EINTR) {
  }
  return 0;
}

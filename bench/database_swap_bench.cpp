// database_swap_bench: how fast SwapCountryDatabases rewrites the 206 country
// databases, next to a plain copy of the same files.
//
//   database_swap_bench WORKDIR [--database-kib N] [--runs N]
//
// WORKDIR must be new or empty.  The bench writes a sample game folder there
// with make-sample-game (found beside the bench directory), databases of
// about N KiB each (default 2048), then, for each run, times in turn:
//   copy  `cp -r` of the game's database folder
//   step  SwapCountryDatabases in a fresh process whose folder is the game,
//         with "database/bak" made as the country list step makes it
// Each run's backups are deleted afterwards, so successive runs install and
// uninstall in turn; after an even number of runs the databases must be back
// as they were, which the bench checks.  Prints the best time of each and
// their ratio.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "database/country_databases.h"

namespace fs = std::filesystem;

namespace {

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

[[noreturn]] void Fail(const std::string& message) {
  std::cerr << "database_swap_bench: " << message << "\n";
  std::exit(2);
}

void Run(const std::string& command) {
  if (std::system(command.c_str()) != 0) Fail("failed: " + command);
}

// Runs the step in a child process in `game`, its dots sent to /dev/null.
void RunStep(const fs::path& game) {
  std::cout.flush();
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(game.c_str()) != 0 || !std::freopen("/dev/null", "w", stdout)) _exit(3);
    fs::create_directory("database/bak");
    SwapCountryDatabases();
    std::fflush(stdout);
    _exit(0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) Fail("the step failed");
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc < 2) Fail("usage: database_swap_bench WORKDIR [--database-kib N] [--runs N]");
  const fs::path work = fs::absolute(argv[1]);
  std::string databaseKib = "2048";
  int runs = 4;
  for (int i = 2; i + 1 < argc; i += 2) {
    if (std::string(argv[i]) == "--database-kib") databaseKib = argv[i + 1];
    if (std::string(argv[i]) == "--runs") runs = std::max(2, std::atoi(argv[i + 1]) / 2 * 2);
  }
  const fs::path generator = fs::canonical("/proc/self/exe").parent_path().parent_path() / "make-sample-game";
  const fs::path game = work / "game", copy = work / "copy";
  Run("'" + generator.string() + "' '" + game.string() + "' --archive-mib 1 --database-kib " + databaseKib);
  Run("cp -r '" + (game / "database").string() + "' '" + (work / "original").string() + "'");

  std::uintmax_t bytes = 0;
  for (int n = 1; n <= 206; ++n) bytes += fs::file_size(game / "database" / ("country" + std::to_string(n) + ".sav"));

  double bestCopy = 1e9, bestStep = 1e9;
  for (int run = 1; run <= runs; ++run) {
    double start = Now();
    Run("cp -r '" + (game / "database").string() + "' '" + copy.string() + "'");
    const double copyTime = Now() - start;
    fs::remove_all(copy);

    start = Now();
    RunStep(game);
    const double stepTime = Now() - start;
    fs::remove_all(game / "database" / "bak");

    std::cout << "run " << run << ": copy " << copyTime << " s, step " << stepTime << " s\n";
    bestCopy = std::min(bestCopy, copyTime);
    bestStep = std::min(bestStep, stepTime);
  }
  const bool same = std::system(("'" + generator.string() + "' --compare '" + (game / "database").string() + "' '" +
                                 (work / "original").string() + "'")
                                    .c_str()) == 0;

  std::cout << "206 databases, " << bytes / (1024.0 * 1024.0) << " MiB in all, best of " << runs << " runs:\n"
            << "  copy (cp -r)          " << bestCopy << " s\n"
            << "  SwapCountryDatabases  " << bestStep << " s  (" << bestStep / bestCopy << " x the copy)\n"
            << "  after " << runs << " runs the databases are " << (same ? "back as they were" : "NOT as they were")
            << "\n";
  return same ? 0 : 1;
}

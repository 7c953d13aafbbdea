// database_swap_bench: how fast SwapCountryDatabases rewrites the 206 country
// databases, next to a plain copy of the same files.
//
//   database_swap_bench WORKDIR [--database-kib N] [--runs N]
//
// WORKDIR must be new or empty.  The bench writes a sample game folder there
// with make-sample-game (found beside the bench directory), databases of
// about N KiB each (default 2048), then, for each run (default 6), times in
// turn:
//   copy         `cp -r` of the game's database folder
//   stream copy  the 206 databases copied through file streams, 1 MiB at a
//                time: the least that reading and writing every byte costs
//   step         SwapCountryDatabases in a fresh process whose folder is the
//                game, with "database/bak" made as the country list step
//                makes it
// Each run's copies and backups are deleted afterwards, so successive runs
// install and uninstall in turn; after an even number of runs the databases
// must be back as they were, which the bench checks.  Prints the best and the median time
// of each, and their ratio, best to best and as the median of the runs' own
// ratios (which evens out the load of a shared machine).
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

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

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void Run(const std::string& command) {
  if (std::system(command.c_str()) != 0) Fail("failed: " + command);
}

// Copies the databases to `to` through file streams, a chunk at a time: what
// any rewrite that reads and writes every byte costs at least.
void StreamCopy(const fs::path& from, const fs::path& to) {
  fs::create_directory(to);
  static std::vector<char> chunk(1 << 20);
  for (int n = 1; n <= 206; ++n) {
    const std::string name = "country" + std::to_string(n) + ".sav";
    std::ifstream in(from / name, std::ios::binary);
    std::ofstream out(to / name, std::ios::binary | std::ios::trunc);
    while (in.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) || in.gcount() > 0) {
      out.write(chunk.data(), in.gcount());
    }
    if (!out.flush()) Fail("cannot write " + (to / name).string());
  }
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
  int runs = 6;
  for (int i = 2; i + 1 < argc; i += 2) {
    if (std::string(argv[i]) == "--database-kib") databaseKib = argv[i + 1];
    if (std::string(argv[i]) == "--runs") runs = std::max(2, std::atoi(argv[i + 1]) / 2 * 2);
  }
  const fs::path generator = fs::canonical("/proc/self/exe").parent_path().parent_path() / "make-sample-game";
  const fs::path game = work / "game";
  Run("'" + generator.string() + "' '" + game.string() + "' --archive-mib 1 --database-kib " + databaseKib);
  Run("cp -r '" + (game / "database").string() + "' '" + (work / "original").string() + "'");

  std::uintmax_t bytes = 0;
  for (int n = 1; n <= 206; ++n) bytes += fs::file_size(game / "database" / ("country" + std::to_string(n) + ".sav"));

  std::vector<double> copyTimes, streamTimes, stepTimes, ratios;
  const fs::path copy = work / "copy";
  for (int run = 1; run <= runs; ++run) {
    // Each side starts with nothing left to write to the disk from before.
    sync();
    double start = Now();
    Run("cp -r '" + (game / "database").string() + "' '" + copy.string() + "'");
    const double copyTime = Now() - start;
    fs::remove_all(copy);

    sync();
    start = Now();
    StreamCopy(game / "database", copy);
    const double streamTime = Now() - start;
    fs::remove_all(copy);

    sync();
    start = Now();
    RunStep(game);
    const double stepTime = Now() - start;
    fs::remove_all(game / "database" / "bak");

    std::cout << "run " << run << ": copy " << copyTime << " s, stream copy " << streamTime << " s, step " << stepTime
              << " s\n"
              << std::flush;
    copyTimes.push_back(copyTime);
    streamTimes.push_back(streamTime);
    stepTimes.push_back(stepTime);
    ratios.push_back(stepTime / copyTime);
  }
  const bool same = std::system(("'" + generator.string() + "' --compare '" + (game / "database").string() + "' '" +
                                 (work / "original").string() + "'")
                                    .c_str()) == 0;

  const double bestCopy = *std::min_element(copyTimes.begin(), copyTimes.end());
  const double bestStep = *std::min_element(stepTimes.begin(), stepTimes.end());
  std::cout << "206 databases, " << bytes / (1024.0 * 1024.0) << " MiB in all, " << runs << " runs:\n"
            << "  copy (cp -r)          best " << bestCopy << " s, median " << Median(copyTimes) << " s\n"
            << "  stream copy           best " << *std::min_element(streamTimes.begin(), streamTimes.end())
            << " s, median " << Median(streamTimes) << " s\n"
            << "  SwapCountryDatabases  best " << bestStep << " s, median " << Median(stepTimes) << " s\n"
            << "  step / copy           best to best " << bestStep / bestCopy << " x, median of the runs "
            << Median(ratios) << " x\n"
            << "  after " << runs << " runs the databases are " << (same ? "back as they were" : "NOT as they were")
            << "\n";
  return same ? 0 : 1;
}

// art_scan_bench: how fast PatchArt01 rewrites an archive, next to a plain
// copy of the same file and the literal byte-at-a-time scan.
//
//   art_scan_bench ARCHIVE WORKDIR [--runs N] [--no-literal]
//
// ARCHIVE is any file (make one with make-sample-game); WORKDIR is an empty
// scratch directory on the same file system.  Each run times, in turn:
//   copy     `cat ARCHIVE > WORKDIR/copy` (coreutils cat copies inside the
//            kernel with copy_file_range: one memory copy where any program
//            that reads and writes makes two)
//   streams  a copy through std::ifstream/std::ofstream in blocks of the
//            scanner's size: what reading and writing alone cost
//   step     PatchArt01 in a fresh process whose folder holds ARCHIVE (hard
//            linked) as "art_01.big"; its peak resident memory is reported
//   literal  the scan one byte at a time through stdio: fgetc, the look-ahead
//            read in one fread, fseek back after every mismatch (first run)
// and checks that the step and the literal scan wrote the same bytes.  Prints
// the best time of each over the runs and the ratios to the copy.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "archives/art_steps.h"
#include "archives/block_scanner.h"

namespace fs = std::filesystem;

namespace {

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

[[noreturn]] void Fail(const std::string& message) {
  std::cerr << "art_scan_bench: " << message << "\n";
  std::exit(2);
}

// The rules of art_01.big for the literal scan; look-ahead 9 after c, 2 after g.
struct LiteralRule {
  const char* pattern;
  const char* replacement;
};
const LiteralRule kRules[] = {{"country_41", "country_34"}, {"country_34", "country_41"}, {"country41", "country34"},
                              {"country34", "country41"},   {"g41", "g34"},               {"g34", "g41"}};

// Returns the number of dots the literal scan prints.
std::uint64_t LiteralScan(const std::string& from, const std::string& to) {
  std::FILE* in = std::fopen(from.c_str(), "rb");
  std::FILE* out = std::fopen(to.c_str(), "wb");
  if (in == nullptr || out == nullptr) Fail("cannot open " + from + " or " + to);
  std::uint64_t dots = 0;
  std::uint32_t passCounter = 0;
  char candidate[12];
  for (;;) {
    if (++passCounter == 1000000) {
      ++dots;
      passCounter = 0;
    }
    const int byte = std::fgetc(in);
    if (byte == EOF) break;
    if (byte != 'c' && byte != 'g') {
      std::fputc(byte, out);
      continue;
    }
    const long resume = std::ftell(in);
    candidate[0] = static_cast<char>(byte);
    const std::size_t length = 1 + std::fread(candidate + 1, 1, byte == 'c' ? 9 : 2, in);
    bool matched = false;
    for (const LiteralRule& rule : kRules) {
      const std::size_t size = std::strlen(rule.pattern);
      if (size <= length && std::memcmp(candidate, rule.pattern, size) == 0) {
        ++dots;
        std::fputs(rule.replacement, out);
        std::fseek(in, resume + static_cast<long>(size) - 1, SEEK_SET);
        matched = true;
        break;
      }
    }
    if (!matched) {
      std::fputc(byte, out);
      std::fseek(in, resume, SEEK_SET);
    }
  }
  std::fclose(in);
  std::fclose(out);
  return dots;
}

// Runs this program again with `args`, standard output to /dev/null; returns
// the child's peak resident memory in KiB.
long RunChild(const std::vector<std::string>& args) {
  std::fflush(stdout);  // or the child would print what is still buffered
  const pid_t pid = fork();
  if (pid == 0) {
    std::freopen("/dev/null", "w", stdout);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv("/proc/self/exe", argv.data());
    _exit(127);
  }
  int status = 0;
  struct rusage usage;
  if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    Fail("the step's process failed");
  return usage.ru_maxrss;
}

void StreamCopy(const std::string& from, const std::string& to) {
  std::ifstream in(from, std::ios::binary);
  std::ofstream out(to, std::ios::binary | std::ios::trunc);
  std::vector<char> block(kScanBlockSize);
  while (in.read(block.data(), static_cast<std::streamsize>(block.size())) || in.gcount() > 0)
    out.write(block.data(), in.gcount());
  out.close();
  if (!out) Fail("stream copy failed");
}

bool SameBytes(const std::string& a, const std::string& b) {
  std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
  std::vector<char> bx(1 << 20), by(1 << 20);
  for (;;) {
    x.read(bx.data(), static_cast<std::streamsize>(bx.size()));
    y.read(by.data(), static_cast<std::streamsize>(by.size()));
    if (x.gcount() != y.gcount() || std::memcmp(bx.data(), by.data(), static_cast<std::size_t>(x.gcount())) != 0)
      return false;
    if (x.gcount() == 0) return true;
  }
}

std::string Quote(const std::string& path) { return "'" + path + "'"; }

}  // namespace

int main(int argc, char* argv[]) {
  if (argc == 3 && std::strcmp(argv[1], "--run-step") == 0) {
    if (chdir(argv[2]) != 0) return 1;
    PatchArt01();
    return 0;
  }
  if (argc < 3) Fail("usage: art_scan_bench ARCHIVE WORKDIR [--runs N] [--no-literal]");
  const std::string archive = fs::absolute(argv[1]).string();
  const std::string work = fs::absolute(argv[2]).string();
  int runs = 3;
  bool literal = true;
  for (int i = 3; i < argc; ++i) {
    if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
    if (std::strcmp(argv[i], "--no-literal") == 0) literal = false;
  }
  const std::uint64_t size = fs::file_size(archive);
  const std::string stepDir = work + "/step", copy = work + "/copy", literalOut = work + "/literal";

  double bestCopy = 1e30, bestStreams = 1e30, bestStep = 1e30, bestLiteral = 1e30;
  long peakKiB = 0;
  for (int run = 0; run < runs; ++run) {
    fs::remove_all(stepDir);
    fs::remove(copy);
    fs::create_directories(stepDir);
    sync();  // each timing starts without the previous one's writes pending

    double start = Now();
    if (std::system(("cat " + Quote(archive) + " > " + Quote(copy)).c_str()) != 0) Fail("cat failed");
    bestCopy = std::min(bestCopy, Now() - start);
    fs::remove(copy);
    sync();

    start = Now();
    StreamCopy(archive, copy);
    bestStreams = std::min(bestStreams, Now() - start);
    fs::remove(copy);
    sync();

    fs::create_hard_link(archive, stepDir + "/art_01.big");
    start = Now();
    peakKiB = std::max(peakKiB, RunChild({argv[0], "--run-step", stepDir}));
    bestStep = std::min(bestStep, Now() - start);
    sync();

    if (literal && run == 0) {  // slow: once is enough
      start = Now();
      const std::uint64_t dots = LiteralScan(archive, literalOut);
      bestLiteral = Now() - start;
      if (!SameBytes(literalOut, stepDir + "/art_01.big")) Fail("the step and the literal scan differ");
      std::cout << "literal scan: " << dots << " dots; its bytes equal the step's\n";
      fs::remove(literalOut);
    }
  }
  fs::remove_all(stepDir);

  const double mib = static_cast<double>(size) / (1 << 20);
  std::printf("archive: %s, %.0f MiB; best of %d runs\n", archive.c_str(), mib, runs);
  std::printf("copy     (cat > copy):  %7.3f s  %7.0f MiB/s\n", bestCopy, mib / bestCopy);
  std::printf("stream copy:            %7.3f s  %7.0f MiB/s  %.2fx the copy\n", bestStreams, mib / bestStreams,
              bestStreams / bestCopy);
  std::printf("PatchArt01:             %7.3f s  %7.0f MiB/s  %.2fx the copy (target <= 1.5x), %.2fx the stream copy\n",
              bestStep, mib / bestStep, bestStep / bestCopy, bestStep / bestStreams);
  if (literal)
    std::printf("literal byte-at-a-time: %7.3f s  %7.0f MiB/s  %.2fx the copy, %.1fx PatchArt01\n", bestLiteral,
                mib / bestLiteral, bestLiteral / bestCopy, bestLiteral / bestStep);
  std::printf("PatchArt01 peak resident memory: %.1f MiB (target <= 16 MiB)\n", peakKiB / 1024.0);
  return 0;
}

// power-cut-state: writes a disk state that a power cut can leave behind a run of the program (see crash_states.h).
//
//   power-cut-state BEFORE TRACE N lost|kept|SEED OUT
//
// BEFORE is a copy of the game folder before the run, TRACE the run's data trace (VANDORIL_FAULT_TRACE and
// VANDORIL_FAULT_TRACE_DATA=1 with the fault injection library preloaded), N the operation after which the power
// goes.  OUT, a new or empty folder, gets the state with every change that was not durable then lost, kept (the
// folder as a killed process leaves it), or each kept or lost at random from the number SEED.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "crash_states.h"

int main(int argc, char* argv[]) {
  if (argc != 6) {
    std::cerr << "usage: power-cut-state BEFORE TRACE N lost|kept|SEED OUT\n";
    return 2;
  }
  try {
    const std::string how = argv[4];
    std::mt19937 random(how == "lost" || how == "kept" ? 0 : std::stoul(how));
    std::ostringstream trace;
    trace << std::ifstream(argv[2], std::ios::binary).rdbuf();
    CrashModel model = StartCrashModel(ReadFolder(argv[1]));
    for (const TracedCall& call : ParseTrace(trace.str())) {
      if (call.number <= std::stoul(argv[3])) ApplyCall(model, call);
    }
    std::filesystem::create_directories(argv[5]);
    if (!std::filesystem::is_empty(argv[5])) throw std::runtime_error(std::string(argv[5]) + " is not empty");
    std::size_t kept = 0;
    const auto keep = [&] { return how == "kept" || (how != "lost" && random() % 2 == 0) ? ++kept : 0; };
    WriteFolder(argv[5], CrashState(model, keep));
    std::cout << model.unflushed.size() << " changes were not durable, " << kept << " of them kept\n";
  } catch (const std::exception& error) {
    std::cerr << "power-cut-state: " << error.what() << "\n";
    return 1;
  }
  return 0;
}

// Sample game folders for the end-to-end tests: made by the project's
// generator, and compared as whole trees.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "test_support.h"

// Every file and folder under `dir` by its relative path; a file maps to its
// bytes, a folder to "<dir>".
inline std::map<std::string, std::string> Snapshot(const std::string& dir) {
  std::map<std::string, std::string> tree;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
    const std::string name = std::filesystem::relative(entry.path(), dir).generic_string();
    tree[name] = entry.is_directory() ? "<dir>" : ReadFile(entry.path().string());
  }
  return tree;
}

// Names of the entries in which two snapshots differ, for readable failures.
inline std::vector<std::string> Differences(const std::map<std::string, std::string>& a,
                                            const std::map<std::string, std::string>& b) {
  std::vector<std::string> names;
  for (const auto& [name, bytes] : a) {
    auto it = b.find(name);
    if (it == b.end()) {
      names.push_back("gone: " + name);
    } else if (it->second != bytes) {
      names.push_back("changed: " + name);
    }
  }
  for (const auto& [name, bytes] : b) {
    if (a.count(name) == 0) names.push_back("new: " + name);
  }
  return names;
}

#ifdef MAKE_SAMPLE_GAME_EXE
// Writes a sample game folder at the absolute path `folder` (new or empty).
inline void MakeSampleGame(const std::string& folder, const std::vector<std::string>& options = {}) {
  std::vector<std::string> args{folder};
  args.insert(args.end(), options.begin(), options.end());
  const RunResult made = RunProgram(MAKE_SAMPLE_GAME_EXE, args, "/");
  ASSERT_EQ(made.exitStatus, 0) << made.err;
}
#endif

// Helpers for the tests of the text steps: files as lists of lines, and a
// step run with its console output captured.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

using Lines = std::vector<std::string>;

// The bytes of `lines`, each followed by CR LF.
inline std::string Crlf(const Lines& lines) {
  std::string bytes;
  for (const std::string& line : lines) bytes += line + "\r\n";
  return bytes;
}

inline Lines Join(std::initializer_list<Lines> parts) {
  Lines all;
  for (const Lines& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

struct StepOutput {
  std::string out, err;
};

// Runs `step` and returns what it wrote to standard output and error.
inline StepOutput RunCaptured(void (*step)()) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  step();
  StepOutput result;
  result.out = testing::internal::GetCapturedStdout();
  result.err = testing::internal::GetCapturedStderr();
  return result;
}

// Helpers for the tests of the text steps: lines as bytes, steps' console output.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

using Lines = std::vector<std::string>;

// The bytes of the lines of each part in turn, each line followed by CR LF.
inline std::string Crlf(std::initializer_list<Lines> parts) {
  std::string bytes;
  for (const Lines& part : parts) {
    for (const std::string& line : part) bytes += line + "\r\n";
  }
  return bytes;
}

// Runs `step` and returns what it wrote to standard output and error.
struct StepOutput {
  std::string out, err;
};
inline StepOutput RunCaptured(void (*step)()) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  step();
  const std::string out = testing::internal::GetCapturedStdout();
  return {out, testing::internal::GetCapturedStderr()};
}

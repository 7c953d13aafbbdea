// VANDORIL_FAULT, as both fault injectors read it: up to four faults, separated by commas, a hold last.
//   stop:N  the process ends right after the N-th counted operation      fail:N-  the N-th and every one after it fail
//   fail:N  the N-th fails (EIO), not carried out                        hold:N:PATH  before the N-th, PATH.held is
//                                                                                     made and PATH waited for
// N counts from 1.  Plain C, no allocation: the native injector runs before the C++ runtime is set up.
#pragma once

#include <errno.h>
#include <stdlib.h>
#include <string.h>

enum FaultMode { kPassThrough, kStop, kFail, kHold };

struct FaultPlan {
  struct Fault {
    FaultMode mode;
    unsigned long target;
    bool onward;  // every operation from the target on
  } faults[4];
  int count;
  const char* holdPath;  // within the parsed text
};

// Reads `text` into `plan`; false when it is not of the form above.
inline bool ParseFaults(const char* text, FaultPlan& plan) {
  for (const char* at = text; plan.count < 4; ++at) {
    FaultPlan::Fault& fault = plan.faults[plan.count++];
    for (int i = 0; i < 3; ++i)
      if (strncmp(at, "stop:fail:hold:" + 5 * i, 5) == 0) fault.mode = static_cast<FaultMode>(kStop + i);
    if (fault.mode == kPassThrough || at[5] < '0' || at[5] > '9') return false;
    char* end = nullptr;
    errno = 0;
    fault.target = strtoul(at + 5, &end, 10);
    fault.onward = fault.mode == kFail && *end == '-';
    at = end + fault.onward;
    if (fault.target == 0 || errno != 0) return false;
    if (fault.mode == kHold) return plan.holdPath = at + 1, *at == ':' && at[1] != '\0';
    if (*at != ',') return *at == '\0';
  }
  return false;
}

// Whether the `number`-th operation meets a fault of the mode `mode`.
inline bool Hits(const FaultPlan& plan, FaultMode mode, unsigned long number) {
  for (int i = 0; i < plan.count; ++i) {
    const FaultPlan::Fault& fault = plan.faults[i];
    if (fault.mode == mode && (number == fault.target || (fault.onward && number > fault.target))) return true;
  }
  return false;
}

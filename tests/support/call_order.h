#pragma once
// Order checks over logs of calls or events (a CallRecorder's calls, a test
// application's event log): the expected entries in this order, with
// anything else allowed between them.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace testsupport {

// True when `expected` appears in `log` in this order (other entries may lie
// between), with the whole log in the failure message.
inline ::testing::AssertionResult inOrder(const std::vector<std::string>& log,
                                          const std::vector<std::string>& expected) {
  auto at = log.begin();
  for (const auto& want : expected) {
    at = std::find(at, log.end(), want);
    if (at == log.end()) {
      std::string all;
      for (const auto& entry : log) all += "  " + entry + "\n";
      return ::testing::AssertionFailure() << "missing (in this order) " << want << " in\n" << all;
    }
    ++at;
  }
  return ::testing::AssertionSuccess();
}

}  // namespace testsupport

// A run host that answers questions as told and records what it was shown.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/run_host.h"

namespace pelorin::testing {

class FakeRunHost : public RunHost {
 public:
  bool AskYesNo(const std::string& title, const std::string& text) override {
    questions.push_back(title + "|" + text);
    return answer;
  }
  void ShowStatus(const std::string& line) override { statuses.push_back(line); }
  void Yield() override {
    ++yields;
    if (on_yield) on_yield();
  }
  void OpenDocument(const std::string& path) override { opened.push_back(path); }
  void FolderFailed(const Failure& failure) override {
    failures.push_back(failure.folder + ": " + failure.reason);
  }

  bool answer = true;
  std::function<void()> on_yield;
  std::vector<std::string> questions;
  std::vector<std::string> statuses;
  std::vector<std::string> opened;
  std::vector<std::string> failures;
  int yields = 0;
};

}  // namespace pelorin::testing

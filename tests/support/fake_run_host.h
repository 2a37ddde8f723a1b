// A run host that answers questions as told and records what it was shown.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/run_host.h"
#include "engine/run_report.h"

namespace pelorin::testing {

class FakeRunHost : public RunHost {
 public:
  bool AskYesNo(const std::string& title, const std::string& text) override {
    questions.push_back(title + "|" + text);
    return answer;
  }
  void ShowProgress(const RunProgress& progress) override {
    statuses.push_back(ProgressLine(progress));
  }
  void Yield() override {
    ++yields;
    if (on_yield) on_yield();
  }
  bool WantsFolderReports() const override { return true; }
  void FolderDone(const FolderReport& report) override { folders_done.push_back(report.path); }

  bool answer = true;
  std::function<void()> on_yield;
  std::vector<std::string> questions;
  std::vector<std::string> statuses;
  std::vector<std::string> folders_done;
  int yields = 0;
};

}  // namespace pelorin::testing

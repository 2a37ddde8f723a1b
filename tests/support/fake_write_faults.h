// Write faults for unit tests: one step of one folder's page fails with an
// errno value, the way a full disk or a failing device would make it fail.
#pragma once

#include <cstddef>
#include <string>
#include <utility>

#include "engine/page_writer.h"

namespace pelorin::testing {

class FakeWriteFaults : public WriteFaults {
 public:
  // kShortWrite lets the first write(2) put out one byte and fails the next.
  enum class Step { kLookUp, kFirstWrite, kShortWrite, kRename };

  FakeWriteFaults(std::string folder, Step step, int error_number)
      : folder_(std::move(folder)), step_(step), error_number_(error_number) {}

  int OnLookUp(const std::string& folder) override { return Fail(folder, Step::kLookUp); }
  int BeforeWrite(const std::string& folder) override { return Fail(folder, Step::kFirstWrite); }
  int OnEachWrite(const std::string& folder, std::size_t written, std::size_t* size) override {
    if (written == 0 && Fail(folder, Step::kShortWrite) != 0) {
      *size = 1;
      return 0;
    }
    return Fail(folder, Step::kShortWrite);
  }
  int OnRename(const std::string& folder) override { return Fail(folder, Step::kRename); }

 private:
  int Fail(const std::string& folder, Step step) const {
    return folder == folder_ && step == step_ ? error_number_ : 0;
  }

  std::string folder_;
  Step step_;
  int error_number_;
};

}  // namespace pelorin::testing

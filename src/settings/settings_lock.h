// A lock beside a settings file, held by a program that reads the file and
// may write it back: two commands that change the settings at the same
// moment then take turns, and neither loses the other's change.
#pragma once

#include <string>

namespace pelorin {

class SettingsLock {
 public:
  // Waits for the lock on ".NAME.lock" beside the file NAME, made (with its folder)
  // when missing. Where it cannot be made (a read-only folder) nothing is
  // locked: nothing can be written there either.
  explicit SettingsLock(const std::string& settings_file);
  ~SettingsLock();
  SettingsLock(const SettingsLock&) = delete;
  SettingsLock& operator=(const SettingsLock&) = delete;

  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace pelorin

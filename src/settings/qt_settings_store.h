// The store backed by QSettings: the per-user native store under the name
// "Pelorin2" (~/.config/Pelorin2/Pelorin2.conf), or a given INI file.
#pragma once

#include <memory>
#include <string>

#include "settings/settings_store.h"

class QSettings;

namespace pelorin {

class QtSettingsStore : public SettingsStore {
 public:
  // An empty file means the per-user store.
  explicit QtSettingsStore(const std::string& file = {});
  // The file the store of that name reads and writes.
  static std::string FileFor(const std::string& file);
  ~QtSettingsStore() override;

  std::string GetSetting(const std::string& section, const std::string& key,
                         const std::string& default_value) const override;
  void SaveSetting(const std::string& section, const std::string& key,
                   const std::string& value) override;
  bool Flush(std::string* error) override;

  // False with a reason when the file exists but cannot be read or parsed,
  // or is not a regular file.
  bool CheckReadable(std::string* error) const;
  std::string FileName() const;

 private:
  std::string file_;
  // Null when file_ is there but is not a regular file: a FIFO would hang
  // the read and a device is nobody's settings. Nothing is read or written.
  std::unique_ptr<QSettings> settings_;
};

}  // namespace pelorin

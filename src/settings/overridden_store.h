// A store that answers some options with other values and everything else
// from the store below it: the options of one run given on its command
// line, never written anywhere.
#pragma once

#include <map>
#include <string>

#include "settings/settings_store.h"
#include "settings/variables.h"

namespace pelorin {

class OverriddenSettingsStore : public SettingsStore {
 public:
  explicit OverriddenSettingsStore(SettingsStore& below) : below_(below) {}

  // KEY of section "General Variables" reads as value.
  void Override(const std::string& key, const std::string& value) { values_[key] = value; }

  std::string GetSetting(const std::string& section, const std::string& key,
                         const std::string& default_value) const override {
    if (section == kGeneralSection) {
      const auto it = values_.find(key);
      if (it != values_.end()) return it->second;
    }
    return below_.GetSetting(section, key, default_value);
  }
  // Writes go to the store below, except to an overridden option, which
  // keeps its value for the run and leaves the stored one alone.
  void SaveSetting(const std::string& section, const std::string& key,
                   const std::string& value) override {
    if (section == kGeneralSection && values_.contains(key)) return;
    below_.SaveSetting(section, key, value);
  }
  bool Flush(std::string* error) override { return below_.Flush(error); }

 private:
  SettingsStore& below_;
  std::map<std::string, std::string> values_;
};

}  // namespace pelorin

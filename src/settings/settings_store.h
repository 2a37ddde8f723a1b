// The per-user store of text values, addressed by section and key. One store
// holds one application's values. Everything the program remembers goes
// through this interface.
#pragma once

#include <map>
#include <string>
#include <utility>

namespace pelorin {

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  // The stored text, or default_value when nothing is stored.
  virtual std::string GetSetting(const std::string& section, const std::string& key,
                                 const std::string& default_value) const = 0;
  virtual void SaveSetting(const std::string& section, const std::string& key,
                           const std::string& value) = 0;
  // Writes pending values out; false with a reason when the store cannot be
  // read or written.
  virtual bool Flush(std::string* error) = 0;
};

// A store that lives in memory only, for tests.
class MemorySettingsStore : public SettingsStore {
 public:
  std::string GetSetting(const std::string& section, const std::string& key,
                         const std::string& default_value) const override {
    const auto it = values_.find({section, key});
    return it == values_.end() ? default_value : it->second;
  }
  void SaveSetting(const std::string& section, const std::string& key,
                   const std::string& value) override {
    values_[{section, key}] = value;
  }
  bool Flush(std::string*) override { return true; }
  void Erase(const std::string& section, const std::string& key) { values_.erase({section, key}); }
  std::size_t size() const { return values_.size(); }

 private:
  std::map<std::pair<std::string, std::string>, std::string> values_;
};

}  // namespace pelorin

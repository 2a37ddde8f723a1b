// Typed reads and writes of the option values in section "General Variables".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "settings/settings_store.h"

namespace pelorin {

enum class ValueKind { Text = 0, Boolean = 1, Number = 2 };

inline constexpr char kGeneralSection[] = "General Variables";
inline constexpr char kMainSection[] = "Main settings";
inline constexpr char kLastDirectoryKey[] = "Last directory";
inline constexpr char kWindowLeftKey[] = "Window left";
inline constexpr char kWindowTopKey[] = "Window top";
inline constexpr char kWindowWidthKey[] = "Window width";
inline constexpr char kWindowHeightKey[] = "Window height";
inline constexpr char kWindowGeometryKey[] = "Window geometry";

// Text for Text, bool for Boolean, double for Number; empty for other kinds.
using VariableValue = std::variant<std::monostate, std::string, bool, double>;

VariableValue GetVariable(const SettingsStore& store, const std::string& key, ValueKind kind);
std::string GetText(const SettingsStore& store, const std::string& key);
double GetNumber(const SettingsStore& store, const std::string& key);
// A yes/no option: stored "0"/"1", read as a number, any non-zero value on.
bool GetFlag(const SettingsStore& store, const std::string& key);
bool GetBoolean(const SettingsStore& store, const std::string& key);
// Whether the key has a value in section "General Variables", empty or not.
bool IsStored(const SettingsStore& store, const std::string& key);

void SaveVariable(SettingsStore& store, const std::string& key, const std::string& value);
void SaveVariable(SettingsStore& store, const std::string& key, const char* value);
void SaveVariable(SettingsStore& store, const std::string& key, std::int16_t state);
void SaveVariable(SettingsStore& store, const std::string& key, bool value);

// The number a text begins with: blanks ignored, optional sign, digits with
// at most one "." and an optional exponent; reading stops at the first
// character that cannot continue the number. 0 when there is none. The
// decimal point is "." whatever the locale.
double ReadNumber(std::string_view text, std::size_t* consumed = nullptr);
// "True"/"False" in any case, or a number (0 false); any other text is false.
bool ReadBoolean(std::string_view text);

// "Last directory" in section "Main settings".
std::string GetLastDirectory(const SettingsStore& store, const std::string& default_folder);
void SaveLastDirectory(SettingsStore& store, const std::string& folder);

// The main window's place in pixels, without its frame: "Window left",
// "Window top", "Window width" and "Window height" in section "Main settings".
// Width and height are 0 when nothing is stored.
struct WindowPlacement {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};
WindowPlacement GetWindowPlacement(const SettingsStore& store);
void SaveWindowPlacement(SettingsStore& store, const WindowPlacement& placement);

// The main window's frame and inside, its screen and whether it was
// maximized, as the toolkit saves them (base64 text); "" when nothing is
// stored. It takes precedence over the placement above.
std::string GetWindowGeometry(const SettingsStore& store);
void SaveWindowGeometry(SettingsStore& store, const std::string& geometry);

}  // namespace pelorin

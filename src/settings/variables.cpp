#include "settings/variables.h"

#include <cmath>
#include <cstdlib>

#include "common/path_routines.h"
#include "common/text_routines.h"
#include "common/version.h"

namespace pelorin {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlankChar(char c) { return c == ' ' || c == '\t'; }

}  // namespace

namespace {

// The characters of the number text begins with, blanks left out: sign,
// digits with at most one ".", and an exponent "e[sign]digits" when digits
// follow it. *end: where the number ends in text; empty when there is none.
std::string CollectNumber(std::string_view text, std::size_t* end) {
  std::string digits;
  std::size_t i = 0;
  const std::size_t n = text.size();
  auto skip_blanks = [&] {
    while (i < n && IsBlankChar(text[i])) ++i;
  };
  skip_blanks();
  if (i < n && (text[i] == '+' || text[i] == '-')) digits += text[i++];
  bool any_digit = false;
  bool seen_point = false;
  *end = 0;
  for (;;) {
    skip_blanks();
    if (i < n && IsDigit(text[i])) {
      digits += text[i++];
      any_digit = true;
      *end = i;
    } else if (i < n && text[i] == '.' && !seen_point) {
      seen_point = true;
      digits += text[i++];
      if (any_digit) *end = i;
    } else {
      break;
    }
  }
  if (!any_digit) return {};
  std::size_t j = i;
  if (j < n && (text[j] == 'e' || text[j] == 'E')) {
    std::string exponent = "e";
    ++j;
    if (j < n && (text[j] == '+' || text[j] == '-')) exponent += text[j++];
    bool exponent_digit = false;
    while (j < n && IsDigit(text[j])) {
      // Very long exponents saturate instead of overflowing the parser.
      if (exponent.size() < 8) exponent += text[j];
      ++j;
      exponent_digit = true;
    }
    if (exponent_digit) {
      digits += exponent;
      *end = j;
    }
  }
  return digits;
}

// The value of what CollectNumber collected, worked out digit by digit:
// strtod would follow the locale's decimal point.
double ValueOf(const std::string& digits) {
  double mantissa = 0.0;
  int scale = 0;
  bool negative = false;
  bool after_point = false;
  std::size_t k = 0;
  if (k < digits.size() && (digits[k] == '+' || digits[k] == '-')) negative = digits[k++] == '-';
  int significant = 0;
  for (; k < digits.size() && digits[k] != 'e'; ++k) {
    if (digits[k] == '.') {
      after_point = true;
      continue;
    }
    if (significant < 18) {
      mantissa = mantissa * 10 + (digits[k] - '0');
      if (mantissa != 0) ++significant;
      if (after_point) --scale;
    } else if (!after_point) {
      ++scale;
    }
  }
  if (k < digits.size()) scale += std::atoi(digits.c_str() + k + 1);
  if (mantissa == 0.0) return 0.0;
  double value = mantissa * std::pow(10.0, scale);
  if (!std::isfinite(value)) value = HUGE_VAL;
  return negative ? -value : value;
}

}  // namespace

double ReadNumber(std::string_view text, std::size_t* consumed) {
  std::size_t end = 0;
  const std::string digits = CollectNumber(text, &end);
  if (consumed != nullptr) *consumed = digits.empty() ? 0 : end;
  if (digits.empty()) return 0.0;
  return ValueOf(digits);
}

bool ReadBoolean(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsBlankChar(text[begin])) ++begin;
  while (end > begin && IsBlankChar(text[end - 1])) --end;
  const std::string_view core = text.substr(begin, end - begin);
  if (EqualsIgnoreCase(core, "True")) return true;
  if (EqualsIgnoreCase(core, "False") || core.empty()) return false;
  std::size_t consumed = 0;
  const double value = ReadNumber(core, &consumed);
  if (consumed != core.size()) return false;
  return value != 0.0;
}

VariableValue GetVariable(const SettingsStore& store, const std::string& key, ValueKind kind) {
  const std::string stored = store.GetSetting(kGeneralSection, key, "");
  switch (kind) {
    case ValueKind::Text:
      return stored;
    case ValueKind::Boolean:
      return stored.empty() ? false : ReadBoolean(stored);
    case ValueKind::Number:
      return stored.empty() ? 0.0 : ReadNumber(stored);
  }
  return std::monostate{};
}

std::string GetText(const SettingsStore& store, const std::string& key) {
  return std::get<std::string>(GetVariable(store, key, ValueKind::Text));
}

double GetNumber(const SettingsStore& store, const std::string& key) {
  return std::get<double>(GetVariable(store, key, ValueKind::Number));
}

bool GetFlag(const SettingsStore& store, const std::string& key) {
  return GetNumber(store, key) != 0.0;
}

bool GetBoolean(const SettingsStore& store, const std::string& key) {
  return std::get<bool>(GetVariable(store, key, ValueKind::Boolean));
}

bool IsStored(const SettingsStore& store, const std::string& key) {
  // No stored value can hold a NUL byte, so this default tells absence apart.
  const std::string absent(1, '\0');
  return store.GetSetting(kGeneralSection, key, absent) != absent;
}

void SaveVariable(SettingsStore& store, const std::string& key, const std::string& value) {
  store.SaveSetting(kGeneralSection, key, value);
}

void SaveVariable(SettingsStore& store, const std::string& key, const char* value) {
  SaveVariable(store, key, std::string(value));
}

void SaveVariable(SettingsStore& store, const std::string& key, std::int16_t state) {
  SaveVariable(store, key, std::to_string(state));
}

void SaveVariable(SettingsStore& store, const std::string& key, bool value) {
  SaveVariable(store, key, std::string(value ? "True" : "False"));
}

std::string GetLastDirectory(const SettingsStore& store, const std::string& default_folder) {
  return store.GetSetting(kMainSection, kLastDirectoryKey, default_folder);
}

void SaveLastDirectory(SettingsStore& store, const std::string& folder) {
  store.SaveSetting(kMainSection, kLastDirectoryKey, folder);
}

WindowPlacement GetWindowPlacement(const SettingsStore& store) {
  // A place or size no screen has (or that no int holds) reads as nothing
  // stored, never as a wrapped number.
  constexpr double kLimit = 1 << 20;
  const auto read = [&store](const char* key) {
    const double value = ReadNumber(store.GetSetting(kMainSection, key, "0"));
    return value > -kLimit && value < kLimit ? static_cast<int>(value) : 0;
  };
  return {read(kWindowLeftKey), read(kWindowTopKey), read(kWindowWidthKey), read(kWindowHeightKey)};
}

void SaveWindowPlacement(SettingsStore& store, const WindowPlacement& placement) {
  store.SaveSetting(kMainSection, kWindowLeftKey, std::to_string(placement.left));
  store.SaveSetting(kMainSection, kWindowTopKey, std::to_string(placement.top));
  store.SaveSetting(kMainSection, kWindowWidthKey, std::to_string(placement.width));
  store.SaveSetting(kMainSection, kWindowHeightKey, std::to_string(placement.height));
}

std::string GetWindowGeometry(const SettingsStore& store) {
  return store.GetSetting(kMainSection, kWindowGeometryKey, "");
}

void SaveWindowGeometry(SettingsStore& store, const std::string& geometry) {
  store.SaveSetting(kMainSection, kWindowGeometryKey, geometry);
}

}  // namespace pelorin

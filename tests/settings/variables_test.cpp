#include "settings/variables.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

namespace pelorin {
namespace {

TEST(ReadNumber, StopsAtTheFirstCharacterThatCannotContinue) {
  const struct {
    const char* text;
    double value;
  } cases[] = {
      {"60", 60},     {" 60", 60},    {"60%", 60},  {"1.5", 1.5},    {"abc", 0},
      {"", 0},        {"1", 1},       {"0", 0},     {"-2.5x", -2.5}, {"+7", 7},
      {"1e3", 1000},  {"2E-2", 0.02}, {"5e", 5},    {"5e+", 5},      {".5", 0.5},
      {"1.2.3", 1.2}, {"\t 4 2", 42}, {"0.000", 0}, {"-", 0},        {"1e999", HUGE_VAL},
  };
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(ReadNumber(c.text), c.value) << c.text;

  // The decimal point is "." whatever the locale says.
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr) {
    EXPECT_DOUBLE_EQ(ReadNumber("1.5"), 1.5);
    std::setlocale(LC_NUMERIC, "C");
  }
}

TEST(ReadBoolean, TrueFalseOrANumber) {
  EXPECT_TRUE(ReadBoolean("True"));
  EXPECT_TRUE(ReadBoolean("tRUE"));
  EXPECT_TRUE(ReadBoolean("1"));
  EXPECT_TRUE(ReadBoolean("-1"));
  EXPECT_FALSE(ReadBoolean("False"));
  EXPECT_FALSE(ReadBoolean("0"));
  EXPECT_FALSE(ReadBoolean(""));
  EXPECT_FALSE(ReadBoolean("yes"));
  EXPECT_FALSE(ReadBoolean("1x"));
}

TEST(GetVariable, KindsAndWrittenForms) {
  MemorySettingsStore store;
  EXPECT_EQ(std::get<std::string>(GetVariable(store, "Never", ValueKind::Text)), "");
  EXPECT_EQ(std::get<bool>(GetVariable(store, "Never", ValueKind::Boolean)), false);
  EXPECT_EQ(std::get<double>(GetVariable(store, "Never", ValueKind::Number)), 0.0);
  EXPECT_TRUE(std::holds_alternative<std::monostate>(
      GetVariable(store, "Never", static_cast<ValueKind>(7))));

  SaveVariable(store, "Checked", std::int16_t{1});
  SaveVariable(store, "Unchecked", std::int16_t{0});
  SaveVariable(store, "Flag", true);
  SaveVariable(store, "Title", "  My <b>title</b>\r\n");
  EXPECT_EQ(store.GetSetting("General Variables", "Checked", "?"), "1");
  EXPECT_EQ(store.GetSetting("General Variables", "Unchecked", "?"), "0");
  EXPECT_EQ(store.GetSetting("General Variables", "Flag", "?"), "True");
  EXPECT_EQ(GetText(store, "Title"), "  My <b>title</b>\r\n");
  EXPECT_TRUE(GetFlag(store, "Checked"));
  EXPECT_FALSE(GetFlag(store, "Unchecked"));
  EXPECT_TRUE(GetBoolean(store, "Flag"));

  EXPECT_EQ(GetLastDirectory(store, "/home/x"), "/home/x");
  SaveLastDirectory(store, "/srv/photos");
  EXPECT_EQ(store.GetSetting("Main settings", "Last directory", ""), "/srv/photos");
  EXPECT_EQ(GetLastDirectory(store, "/home/x"), "/srv/photos");

  // A place no int holds reads as nothing stored.
  store.SaveSetting("Main settings", "Window left", "1e20");
  store.SaveSetting("Main settings", "Window width", "640");
  EXPECT_EQ(GetWindowPlacement(store).left, 0);
  EXPECT_EQ(GetWindowPlacement(store).width, 640);
}

}  // namespace
}  // namespace pelorin

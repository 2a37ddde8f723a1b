#include "ui/options_window.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <map>
#include <string>

#include "settings/option_keys.h"
#include "settings/options_check.h"
#include "settings/variables.h"
#include "support/temp_tree.h"
#include "ui/fakes.h"

namespace pelorin {
namespace {

using testing::WhenModalOpens;
using testing::WindowEnv;

// A caption as it reads, without the "&" before its access key.
std::string Plain(QString caption) { return caption.remove(u'&').toStdString(); }

template <typename T>
T* Find(QWidget& window, const char* name) {
  T* widget = window.findChild<T*>(QString::fromLatin1(name));
  EXPECT_NE(widget, nullptr) << name;
  return widget;
}

// Every stored value of the settings file, section/key to text.
std::map<std::string, std::string> StoredValues(WindowEnv& env) {
  std::string error;
  env.store.Flush(&error);
  QSettings file(env.dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
  std::map<std::string, std::string> values;
  for (const QString& key : file.allKeys()) {
    values[key.toStdString()] = file.value(key).toString().toStdString();
  }
  return values;
}

void SeedWithInstalledTemplates(WindowEnv& env) {
  SeedFirstRunValues(env.store, env.services.installation_folder);
}

TEST(OptionsWindow, HasTheDocumentedCaptionsAndObjectNames) {
  WindowEnv env;
  SeedWithInstalledTemplates(env);
  OptionsWindow window(env.services);
  EXPECT_EQ(window.objectName(), "frmOptions");
  EXPECT_EQ(window.windowTitle(), "Pelorin - Options");
  EXPECT_EQ(window.minimumSize(), window.maximumSize()) << "fixed size";

  auto* tabs = Find<QTabWidget>(window, "SSTab1");
  ASSERT_EQ(tabs->count(), 4);
  const char* const kTabs[] = {"General", "Templates", "Titles", "Display"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(Plain(tabs->tabText(i)), kTabs[i]);
    EXPECT_FALSE(tabs->widget(i)->objectName().isEmpty()) << "tab page " << i;
  }
  EXPECT_EQ(tabs->currentIndex(), 3) << "opens on the Display tab";

  const char* const kLabels[] = {
      "Specify a filename for the indexes",
      "Should the indexes contain the pictures themselves?",
      "Should these pictures be scaled",
      "Scale to what percentage of screen width?",
      "Are thumbnail files available?",
      "How are the thumbnail files prefixed?",
      "Are the thumbnails in a subdirectory?",
      "Should each picture be displayed in its own HTML page?",
      "Template for index files",
      "Template in which to display picture files",
      "File types to index",
      "Default title for pages",
      "Include category name in title?",
      "Include category name in description?",
      "Include category name in keywords",
      "Additional keywords",
      "Text used to separate subcategories",
      "Display pictures as",
      "Optional bullet picture to use for lists",
      "Size of this bullet in pixels",
      "Display Category and Files headings",
      "Display category list in one line?",
      "..",
      "..",
      "..",
      "Open index file in browser when done",
      "Close this program when done",
      "high",
      "wide  and",
  };
  for (int i = 0; i < 29; ++i) {
    const std::string name = "lblOptionLabel_" + std::to_string(i);
    auto* label = Find<QLabel>(window, name.c_str());
    if (label != nullptr) {
      EXPECT_EQ(Plain(label->text()), kLabels[i]) << name;
    }
  }

  for (const char* name :
       {"chkGeneralOptions_0", "chkGeneralOptions_1", "chkGeneralOptions_2", "chkGeneralOptions_3",
        "chkGeneralOptions_4", "chkTitles_0", "chkTitles_1", "chkTitles_2", "chkDisplayOptions_0",
        "chkDisplayOptions_1", "chkDisplayOptions_2", "chkDisplayOptions_3"}) {
    auto* check = Find<QCheckBox>(window, name);
    if (check != nullptr) {
      EXPECT_TRUE(check->text().isEmpty()) << name << " has no caption";
    }
  }
  for (const char* name :
       {"txtGeneralOptions_0", "txtGeneralOptions_1", "txtGeneralOptions_2",
        "txtTemplateFilename_0", "txtTemplateFilename_1", "txtTitles_0", "txtTitles_1",
        "txtTitles_2", "txtBulletPicture", "txtBulletSize_0", "txtBulletSize_1"}) {
    Find<QLineEdit>(window, name);
  }
  Find<QPlainTextEdit>(window, "txtFileTypesToIndex");
  const char* const kOptions[][2] = {{"optPictureDisplay_0", "Vertical column"},
                                     {"optPictureDisplay_1", "Table"},
                                     {"optPictureDisplay_2", "Automatic"}};
  for (const auto& [name, caption] : kOptions) {
    auto* option = Find<QRadioButton>(window, name);
    if (option == nullptr) continue;
    EXPECT_EQ(Plain(option->text()), caption);
    EXPECT_EQ(option->isChecked(), std::string(caption) == "Automatic") << name;
  }

  const char* const kButtons[][2] = {{"cmdAction_0", "OK"},
                                     {"cmdAction_1", "Cancel"},
                                     {"cmdChooseTemplateFile_0", "..."},
                                     {"cmdChooseTemplateFile_1", "..."}};
  for (const auto& [name, caption] : kButtons) {
    auto* button = Find<QPushButton>(window, name);
    if (button != nullptr) {
      EXPECT_EQ(Plain(button->text()), caption) << name;
    }
  }
  EXPECT_TRUE(Find<QPushButton>(window, "cmdAction_0")->isDefault());
}

// Every control is named by its label for a screen reader, and clicking a
// label toggles its check box or puts the focus in its field.
TEST(OptionsWindow, LabelsNameAndReachTheirControls) {
  WindowEnv env;
  SeedWithInstalledTemplates(env);
  SaveVariable(env.store, keys::kShowPics, std::int16_t{1});
  SaveVariable(env.store, keys::kScalePics, std::int16_t{1});
  SaveVariable(env.store, keys::kUseThumbnails, std::int16_t{1});
  OptionsWindow window(env.services);
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

  for (QWidget* control : window.findChildren<QWidget*>()) {
    if (qobject_cast<QLabel*>(control) != nullptr || control->focusPolicy() == Qt::NoFocus ||
        qobject_cast<QTabBar*>(control) != nullptr || control->objectName().startsWith("qt_")) {
      continue;
    }
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
    ASSERT_NE(accessible, nullptr);
    EXPECT_FALSE(accessible->text(QAccessible::Name).isEmpty())
        << control->metaObject()->className() << " " << control->objectName().toStdString();
  }
  EXPECT_EQ(Find<QLineEdit>(window, "txtBulletSize_1")->accessibleName(),
            "Size of this bullet in pixels, high");

  const struct {
    int tab;
    const char* label;
    const char* control;
  } kRows[] = {{0, "lblOptionLabel_0", "txtGeneralOptions_0"},
               {0, "lblOptionLabel_1", "chkGeneralOptions_0"},
               {1, "lblOptionLabel_10", "txtFileTypesToIndex"},
               {3, "lblOptionLabel_19", "txtBulletSize_0"},
               {3, "lblOptionLabel_25", "chkDisplayOptions_1"}};
  for (const auto& row : kRows) {
    Find<QTabWidget>(window, "SSTab1")->setCurrentIndex(row.tab);
    auto* control = Find<QWidget>(window, row.control);
    auto* check = qobject_cast<QCheckBox*>(control);
    const bool was_checked = check != nullptr && check->isChecked();
    QTest::mouseClick(Find<QLabel>(window, row.label), Qt::LeftButton);
    EXPECT_TRUE(control->hasFocus()) << row.label;
    if (check != nullptr) {
      EXPECT_NE(check->isChecked(), was_checked) << row.label << " toggles " << row.control;
    }
  }
}

// On every tab each tab, label and button has an Alt+letter of its own, and
// a label's reaches its field; the label beside option buttons only ever
// focuses the chosen one, and "Automatic" is stored as "".
TEST(OptionsWindow, AccessKeysAreUniquePerTabAndReachTheirControls) {
  WindowEnv env;
  SeedWithInstalledTemplates(env);
  for (const char* key : {"ShowPics", "ScalePics", "UseThumbnails", "ThumbnailSubdir"}) {
    SaveVariable(env.store, key, std::int16_t{1});
  }
  OptionsWindow window(env.services);
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  EXPECT_EQ(window.focusWidget(), Find<QWidget>(window, "optPictureDisplay_2")) << "first control";
  auto* tabs = Find<QTabWidget>(window, "SSTab1");
  for (int tab = 0; tab < tabs->count(); ++tab) {
    tabs->setCurrentIndex(tab);
    std::vector<std::pair<QString, QWidget*>> keys;  // caption or shortcut, what it reaches
    for (int i = 0; i < tabs->count(); ++i) keys.emplace_back(tabs->tabText(i), nullptr);
    for (QLabel* label : window.findChildren<QLabel*>()) {
      if (label->isVisible() && label->buddy() != nullptr)
        keys.emplace_back(label->text(), label->buddy());
    }
    for (QAbstractButton* button : window.findChildren<QAbstractButton*>()) {
      if (!button->isVisible() || qobject_cast<QCheckBox*>(button) != nullptr) continue;
      keys.emplace_back(button->text() == "..." ? button->shortcut().toString() : button->text(),
                        nullptr);
    }
    std::map<QKeySequence, QString> seen;
    for (const auto& [text, target] : keys) {
      const QKeySequence key =
          text.contains(u'&') ? QKeySequence::mnemonic(text) : QKeySequence(text);
      EXPECT_TRUE(!key.isEmpty() && seen.emplace(key, text).second) << text.toStdString();
      if (qobject_cast<QLineEdit*>(target) == nullptr) continue;
      QTest::keySequence(&window, key);
      EXPECT_EQ(QApplication::focusWidget(), target) << text.toStdString();
    }
  }
  Find<QRadioButton>(window, "optPictureDisplay_1")->click();
  QTest::keyClick(&window, Qt::Key_A, Qt::AltModifier);
  QTest::mouseClick(Find<QLabel>(window, "lblOptionLabel_17"), Qt::LeftButton);
  EXPECT_EQ(QApplication::focusWidget(), Find<QWidget>(window, "optPictureDisplay_1"));
  EXPECT_FALSE(Find<QRadioButton>(window, "optPictureDisplay_0")->isChecked());
  Find<QRadioButton>(window, "optPictureDisplay_2")->click();
  Find<QPushButton>(window, "cmdAction_0")->click();
  EXPECT_EQ(GetText(env.store, "PictureDisplay"), "");
}

TEST(OptionsWindow, FirstOpeningSeedsEveryKeyAndCancelKeepsTheSeed) {
  WindowEnv env;
  const std::string folder = env.services.installation_folder;
  {
    OptionsWindow window(env.services);
    EXPECT_EQ(Find<QLineEdit>(window, "txtTemplateFilename_0")->text().toStdString(),
              folder + "/template.htm");
    EXPECT_EQ(Find<QLineEdit>(window, "txtTemplateFilename_1")->text().toStdString(),
              folder + "/picture_template.htm");
    EXPECT_EQ(Find<QLineEdit>(window, "txtGeneralOptions_0")->text(), "index.html");
    EXPECT_EQ(Find<QLineEdit>(window, "txtGeneralOptions_1")->text(), "60");
    EXPECT_EQ(Find<QLineEdit>(window, "txtGeneralOptions_2")->text(), "small_");
    EXPECT_EQ(Find<QPlainTextEdit>(window, "txtFileTypesToIndex")->toPlainText(),
              "GIF, PNG, WEBP\nJPG, JPEG, JPE\nHTM, HTML, SHTML, PHP, PHP3\n");
    EXPECT_TRUE(Find<QCheckBox>(window, "chkDisplayOptions_1")->isChecked());
    EXPECT_TRUE(Find<QCheckBox>(window, "chkDisplayOptions_2")->isChecked());
    EXPECT_FALSE(Find<QCheckBox>(window, "chkGeneralOptions_0")->isChecked());
    Find<QPushButton>(window, "cmdAction_1")->click();
  }

  std::map<std::string, std::string> expected;
  for (const OptionKey& key : OptionKeys()) {
    expected[std::string(kGeneralSection) + "/" + key.key] = FirstRunValue(key, folder);
  }
  EXPECT_EQ(StoredValues(env), expected);
}

TEST(OptionsWindow, LoadsEachStoredValueIntoItsControl) {
  struct Case {
    const char* key;
    const char* stored;
    const char* control;
    const char* shown;  // text, or "checked"/"unchecked"
  };
  const Case kCases[] = {
      {"ShowPics", "1", "chkGeneralOptions_0", "checked"},
      {"ScalePics", "0", "chkGeneralOptions_1", "unchecked"},
      {"UseThumbnails", "-1", "chkGeneralOptions_2", "checked"},
      {"ThumbnailSubdir", "1", "chkGeneralOptions_3", "checked"},
      {"PicsInHtml", "0", "chkGeneralOptions_4", "unchecked"},
      {"IndexFilename", "default.htm", "txtGeneralOptions_0", "default.htm"},
      {"ScalePercent", "75", "txtGeneralOptions_1", "75"},
      {"ThumbnailPrefix", "tn_", "txtGeneralOptions_2", "tn_"},
      {"MainTemplate", "/srv/t/main.htm", "txtTemplateFilename_0", "/srv/t/main.htm"},
      {"PictureTemplate", "/srv/t/pic.htm", "txtTemplateFilename_1", "/srv/t/pic.htm"},
      {"FileTypes", "jpg\r\npng\r\n", "txtFileTypesToIndex", "jpg\npng\n"},
      {"PageTitle", "Caf\xc3\xa9 & <b>", "txtTitles_0", "Caf\xc3\xa9 & <b>"},
      {"Keywords", "a, b", "txtTitles_1", "a, b"},
      {"Separator", " > ", "txtTitles_2", " > "},
      {"DynamicTitle", "1", "chkTitles_0", "checked"},
      {"DynamicDescription", "0", "chkTitles_1", "unchecked"},
      {"DynamicKeywords", "1", "chkTitles_2", "checked"},
      {"OpenIndexWhenDone", "0", "chkDisplayOptions_1", "unchecked"},
      {"CloseWhenDone", "1", "chkDisplayOptions_2", "checked"},
  };
  WindowEnv env;
  SaveVariable(env.store, kDataHasBeenSetUp, true);
  for (const Case& c : kCases) SaveVariable(env.store, c.key, c.stored);
  OptionsWindow window(env.services);
  for (const Case& c : kCases) {
    QWidget* control = window.findChild<QWidget*>(QString::fromLatin1(c.control));
    ASSERT_NE(control, nullptr) << c.control;
    std::string shown;
    if (auto* check = qobject_cast<QCheckBox*>(control)) {
      shown = check->isChecked() ? "checked" : "unchecked";
    } else if (auto* line = qobject_cast<QLineEdit*>(control)) {
      shown = line->text().toStdString();
    } else if (auto* text = qobject_cast<QPlainTextEdit*>(control)) {
      shown = text->toPlainText().toStdString();
    }
    EXPECT_EQ(shown, c.shown) << c.key << " = " << c.stored;
  }
}

TEST(OptionsWindow, OkSavesEveryBoundControlAndNothingElse) {
  WindowEnv env;
  SeedWithInstalledTemplates(env);
  {
    OptionsWindow window(env.services);
    window.show();
    // ScalePics is changed while its row is hidden: it is saved all the same.
    Find<QCheckBox>(window, "chkGeneralOptions_1")->setChecked(true);
    Find<QCheckBox>(window, "chkGeneralOptions_4")->setChecked(true);
    Find<QCheckBox>(window, "chkTitles_1")->setChecked(true);
    Find<QCheckBox>(window, "chkDisplayOptions_1")->setChecked(false);
    Find<QLineEdit>(window, "txtGeneralOptions_0")->setText(QStringLiteral("home.html"));
    Find<QLineEdit>(window, "txtTemplateFilename_1")->setText(QStringLiteral("/p.htm"));
    Find<QLineEdit>(window, "txtTitles_2")->setText(QStringLiteral(" / "));
    Find<QPlainTextEdit>(window, "txtFileTypesToIndex")->setPlainText(QStringLiteral("png\njpg"));
    Find<QLineEdit>(window, "txtBulletPicture")->setText(QStringLiteral("dot.gif"));
    Find<QLineEdit>(window, "txtBulletSize_1")->setText(QStringLiteral("9"));
    Find<QLineEdit>(window, "txtThumbnailFolder")->setText(QStringLiteral("small"));
    Find<QLineEdit>(window, "txtThumbnailSize")->setText(QStringLiteral("200"));
    Find<QCheckBox>(window, "chkDisplayOptions_0")->setChecked(false);
    Find<QCheckBox>(window, "chkDisplayOptions_3")->setChecked(false);
    Find<QRadioButton>(window, "optPictureDisplay_1")->setChecked(true);
    Find<QPushButton>(window, "cmdAction_0")->click();
    EXPECT_EQ(window.result(), QDialog::Accepted);
  }

  std::map<std::string, std::string> expected;
  for (const OptionKey& key : OptionKeys()) {
    expected[std::string(kGeneralSection) + "/" + key.key] =
        FirstRunValue(key, env.services.installation_folder);
  }
  const std::string section = std::string(kGeneralSection) + "/";
  expected[section + "ScalePics"] = "1";
  expected[section + "PicsInHtml"] = "1";
  expected[section + "DynamicDescription"] = "1";
  expected[section + "OpenIndexWhenDone"] = "0";
  expected[section + "IndexFilename"] = "home.html";
  expected[section + "PictureTemplate"] = "/p.htm";
  expected[section + "Separator"] = " / ";
  expected[section + "FileTypes"] = "png\r\njpg";
  expected[section + "BulletPicture"] = "dot.gif";
  expected[section + "BulletHeight"] = "9";
  expected[section + "ThumbnailFolder"] = "small";
  expected[section + "ShowHeadings"] = "0";
  expected[section + "CategoriesInOneLine"] = "0";
  expected[section + "PictureDisplay"] = "1";
  expected[section + "ThumbnailSize"] = "200";
  EXPECT_EQ(StoredValues(env), expected);

  OptionsWindow again(env.services);
  EXPECT_EQ(Find<QLineEdit>(again, "txtBulletPicture")->text(), QStringLiteral("dot.gif"));
  EXPECT_FALSE(Find<QCheckBox>(again, "chkDisplayOptions_0")->isChecked());
  EXPECT_TRUE(Find<QRadioButton>(again, "optPictureDisplay_1")->isChecked());
  EXPECT_FALSE(Find<QRadioButton>(again, "optPictureDisplay_0")->isChecked());
}

TEST(OptionsWindow, OnlyOkAndEnterSave) {
  enum class Way { kOk, kEnter, kCancel, kEscape, kFrame };
  const struct {
    Way way;
    const char* name;
    bool saves;
  } kCases[] = {{Way::kOk, "OK", true},
                {Way::kEnter, "Enter", true},
                {Way::kCancel, "Cancel", false},
                {Way::kEscape, "Escape", false},
                {Way::kFrame, "window frame", false}};
  for (const auto& c : kCases) {
    WindowEnv env;
    SeedWithInstalledTemplates(env);
    const auto before = StoredValues(env);
    OptionsWindow window(env.services);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    auto* title = Find<QLineEdit>(window, "txtTitles_0");
    title->setText(QStringLiteral("Changed"));
    Find<QCheckBox>(window, "chkGeneralOptions_0")->setChecked(true);
    title->setFocus();
    switch (c.way) {
      case Way::kOk:
        Find<QPushButton>(window, "cmdAction_0")->click();
        break;
      case Way::kEnter:
        QTest::keyClick(title, Qt::Key_Return);
        break;
      case Way::kCancel:
        Find<QPushButton>(window, "cmdAction_1")->click();
        break;
      case Way::kEscape:
        QTest::keyClick(title, Qt::Key_Escape);
        break;
      case Way::kFrame:
        window.close();
        break;
    }
    EXPECT_FALSE(window.isVisible()) << c.name;
    const auto after = StoredValues(env);
    const std::string section = std::string(kGeneralSection) + "/";
    if (c.saves) {
      EXPECT_EQ(after.at(section + "PageTitle"), "Changed") << c.name;
      EXPECT_EQ(after.at(section + "ShowPics"), "1") << c.name;
    } else {
      EXPECT_EQ(after, before) << c.name;
    }
  }
}

TEST(OptionsWindow, DependentRowsFollowTheirCheckboxes) {
  // Shown: ScalePics row, ScalePercent row, the two thumbnail rows.
  const struct {
    bool show_pics, scale_pics, thumbnails;
    bool scale_row, percent_row, thumbnail_rows;
  } kCases[] = {
      {false, false, false, false, false, false}, {true, false, false, true, false, false},
      {true, true, false, true, true, false},     {false, true, false, false, false, false},
      {false, false, true, false, false, true},   {true, true, true, true, true, true},
  };
  for (const auto& c : kCases) {
    WindowEnv env;
    SeedWithInstalledTemplates(env);
    SaveVariable(env.store, "ShowPics", std::int16_t{c.show_pics});
    SaveVariable(env.store, "ScalePics", std::int16_t{c.scale_pics});
    SaveVariable(env.store, "UseThumbnails", std::int16_t{c.thumbnails});
    OptionsWindow window(env.services);
    const std::string name =
        std::to_string(c.show_pics) + std::to_string(c.scale_pics) + std::to_string(c.thumbnails);
    auto shown = [&](const char* widget) { return !Find<QWidget>(window, widget)->isHidden(); };
    EXPECT_EQ(shown("lblOptionLabel_2"), c.scale_row) << name;
    EXPECT_EQ(shown("chkGeneralOptions_1"), c.scale_row) << name;
    EXPECT_EQ(shown("lblOptionLabel_3"), c.percent_row) << name;
    EXPECT_EQ(shown("txtGeneralOptions_1"), c.percent_row) << name;
    for (const char* widget :
         {"lblOptionLabel_5", "txtGeneralOptions_2", "lblOptionLabel_6", "chkGeneralOptions_3"}) {
      EXPECT_EQ(shown(widget), c.thumbnail_rows) << name << " " << widget;
    }
    for (const char* widget : {"lblOptionLabel_0", "txtGeneralOptions_0", "chkGeneralOptions_0",
                               "chkGeneralOptions_2", "chkGeneralOptions_4"}) {
      EXPECT_TRUE(shown(widget)) << name << " " << widget;
    }
  }

  // Clicking through: unchecking ShowPics hides all three rows again while
  // ScalePics keeps its state.
  WindowEnv env;
  SeedWithInstalledTemplates(env);
  OptionsWindow window(env.services);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  Find<QTabWidget>(window, "SSTab1")->setCurrentIndex(0);
  auto* show_pics = Find<QCheckBox>(window, "chkGeneralOptions_0");
  auto* scale_pics = Find<QCheckBox>(window, "chkGeneralOptions_1");
  QTest::mouseClick(show_pics, Qt::LeftButton);
  EXPECT_TRUE(scale_pics->isVisible());
  QTest::mouseClick(scale_pics, Qt::LeftButton);
  EXPECT_TRUE(Find<QWidget>(window, "txtGeneralOptions_1")->isVisible());
  QTest::mouseClick(show_pics, Qt::LeftButton);
  EXPECT_FALSE(scale_pics->isVisible());
  EXPECT_FALSE(Find<QWidget>(window, "lblOptionLabel_3")->isVisible());
  EXPECT_TRUE(scale_pics->isChecked());

  // The thumbnail subfolder's name shows only with both thumbnail boxes ticked.
  auto* folder = Find<QWidget>(window, "txtThumbnailFolder");
  EXPECT_FALSE(folder->isVisible());
  EXPECT_FALSE(Find<QWidget>(window, "chkMakeThumbnails")->isVisible());
  QTest::mouseClick(Find<QCheckBox>(window, "chkGeneralOptions_2"), Qt::LeftButton);
  EXPECT_FALSE(folder->isVisible());
  // The two rows for making thumbnails show with "Are thumbnail files available?".
  EXPECT_TRUE(Find<QWidget>(window, "chkMakeThumbnails")->isVisible());
  EXPECT_TRUE(Find<QWidget>(window, "txtThumbnailSize")->isVisible());
  EXPECT_TRUE(Find<QWidget>(window, "lblOptionLabel_30")->isVisible());
  QTest::mouseClick(Find<QCheckBox>(window, "chkGeneralOptions_3"), Qt::LeftButton);
  EXPECT_TRUE(folder->isVisible());
  EXPECT_TRUE(Find<QWidget>(window, "lblOptionLabel_29")->isVisible());
}

TEST(OptionsWindow, TemplateButtonsTakeOnlyAChosenFile) {
  const struct {
    int index;
    const char* chosen;
    const char* expected;
  } kCases[] = {{0, "/srv/templates/new.htm", "/srv/templates/new.htm"},
                {0, "", "/old/main.htm"},
                {1, "/srv/templates/pic.htm", "/srv/templates/pic.htm"},
                {1, "", ""}};
  for (const auto& c : kCases) {
    WindowEnv env;
    SeedWithInstalledTemplates(env);
    SaveVariable(env.store, "MainTemplate", "/old/main.htm");
    SaveVariable(env.store, "PictureTemplate", "");
    env.prompter.chosen_file = c.chosen;
    OptionsWindow window(env.services);
    const std::string index = std::to_string(c.index);
    auto* field = Find<QLineEdit>(window, ("txtTemplateFilename_" + index).c_str());
    const std::string preset = field->text().toStdString();
    Find<QPushButton>(window, ("cmdChooseTemplateFile_" + index).c_str())->click();
    ASSERT_EQ(env.prompter.file_dialogs.size(), 1u);
    EXPECT_EQ(env.prompter.file_dialogs[0].title, "Select a template");
    EXPECT_EQ(env.prompter.file_dialogs[0].folder, env.services.installation_folder);
    EXPECT_EQ(env.prompter.file_dialogs[0].preset, preset);
    EXPECT_EQ(field->text().toStdString(), c.expected) << index << " '" << c.chosen << "'";
    EXPECT_EQ(GetText(env.store, c.index == 0 ? "MainTemplate" : "PictureTemplate"),
              c.index == 0 ? "/old/main.htm" : "")
        << "nothing is stored before OK";
  }
}

TEST(CheckOptionsValid, ShowsWhatIsMissingAndReturnsFalse) {
  testing::TempTree tree;
  tree.WriteFile("main.htm", "<html>");
  tree.WriteFile("pic.htm", "<html>");
  tree.MakeFolder("folder.htm");
  const std::string heading =
      "Sorry, there are a few things in the options window that I need you to fill in first:\r\n";
  const std::string footer =
      "Click OK to open the options window, Cancel to return to the main form";
  const std::string kName = "  - Please specify a name for the index files\r\n";
  const std::string kTemplate = "  - Please define a template file\r\n";
  const std::string kPicture = "  - Please define a template file for the individual pictures\r\n";
  const std::string kTypes = "  - Please specify which file types you want to list\r\n";
  const struct {
    const char* name;
    std::map<std::string, std::string> values;
    std::string missing;  // empty: valid
  } kCases[] = {
      {"fresh installation", {}, kName + kTemplate + kTypes},
      {"complete",
       {{"IndexFilename", "index.html"},
        {"MainTemplate", tree.Path("main.htm")},
        {"FileTypes", "png"}},
       ""},
      {"template is a folder",
       {{"IndexFilename", "index.html"},
        {"MainTemplate", tree.Path("folder.htm")},
        {"FileTypes", "png"}},
       kTemplate},
      {"picture pages without a picture template",
       {{"IndexFilename", "index.html"},
        {"MainTemplate", tree.Path("main.htm")},
        {"PicsInHtml", "1"},
        {"PictureTemplate", tree.Path("missing.htm")},
        {"FileTypes", "png"}},
       kPicture},
      {"picture pages with their template",
       {{"IndexFilename", "index.html"},
        {"MainTemplate", tree.Path("main.htm")},
        {"PicsInHtml", "1"},
        {"PictureTemplate", tree.Path("pic.htm")},
        {"FileTypes", "png"}},
       ""},
  };
  for (const auto& c : kCases) {
    WindowEnv env;
    for (const auto& [key, value] : c.values) SaveVariable(env.store, key, value);
    const bool valid = CheckOptionsValid(env.services, nullptr);
    EXPECT_EQ(valid, c.missing.empty()) << c.name;
    if (c.missing.empty()) {
      EXPECT_TRUE(env.prompter.messages.empty()) << c.name;
      continue;
    }
    ASSERT_EQ(env.prompter.messages.size(), 1u) << c.name;
    const auto& message = env.prompter.messages[0];
    EXPECT_EQ(message.text, heading + c.missing + footer) << c.name;
    EXPECT_EQ(message.title, "Pelorin2");
    EXPECT_EQ(message.icon, MessageIcon::kCritical);
    EXPECT_EQ(message.buttons, MessageButtons::kOkCancel);
    EXPECT_FALSE(GetBoolean(env.store, kDataHasBeenSetUp)) << "Cancel opens no window";
  }
}

TEST(CheckOptionsValid, OkOpensTheOptionsWindowAndStillReturnsFalse) {
  WindowEnv env;
  env.prompter.answers = {MessageAnswer::kOk};
  bool opened = false;
  WhenModalOpens([&](QWidget* modal) {
    opened = modal->objectName() == "frmOptions";
    // Already seeded: the window shows the first-run template path.
    auto* field = modal->findChild<QLineEdit*>(QStringLiteral("txtTemplateFilename_0"));
    EXPECT_EQ(field->text().toStdString(), env.services.installation_folder + "/template.htm");
    modal->findChild<QPushButton*>(QStringLiteral("cmdAction_0"))->click();
  });
  EXPECT_FALSE(CheckOptionsValid(env.services, nullptr));
  EXPECT_TRUE(opened);
  EXPECT_TRUE(GetBoolean(env.store, kDataHasBeenSetUp));
  // The options are complete now; the next check passes without a word.
  EXPECT_TRUE(CheckOptionsValid(env.services, nullptr));
  EXPECT_EQ(env.prompter.messages.size(), 1u);
}

TEST(CheckOptionsValid, OkOpensTheTabOfTheFirstProblem) {
  const char* const kCases[][3] = {{"IndexFilename", "0", "txtGeneralOptions_0"},
                                   {"MainTemplate", "1", "txtTemplateFilename_0"},
                                   {"FileTypes", "1", "txtFileTypesToIndex"}};
  for (const auto& [key, tab, control] : kCases) {
    WindowEnv env;
    SeedWithInstalledTemplates(env);
    SaveVariable(env.store, key, "");
    env.prompter.answers = {MessageAnswer::kOk};
    WhenModalOpens([&](QWidget* modal) {
      EXPECT_EQ(Find<QTabWidget>(*modal, "SSTab1")->currentIndex(), std::atoi(tab)) << key;
      EXPECT_EQ(modal->focusWidget(), Find<QWidget>(*modal, control)) << key;
      static_cast<QDialog*>(modal)->reject();
    });
    EXPECT_FALSE(CheckOptionsValid(env.services, nullptr));
  }
}

}  // namespace
}  // namespace pelorin

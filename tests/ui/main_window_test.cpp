#include "ui/main_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "common/version.h"
#include "engine/create_index.h"
#include "engine/run_report.h"
#include "settings/option_keys.h"
#include "settings/variables.h"
#include "support/temp_tree.h"
#include "ui/fakes.h"
#include "ui/qt_prompter.h"

namespace pelorin {
namespace {

using testing::TempTree;
using testing::WhenModalOpens;
using testing::WindowEnv;

constexpr char kTemplate[] = "<html>\r\n<!--#filelist-->\r\n</html>\r\n";

template <typename T>
T* Find(QWidget& window, const char* name) {
  T* widget = window.findChild<T*>(QString::fromLatin1(name));
  EXPECT_NE(widget, nullptr) << name;
  return widget;
}

QAction* Action(QWidget& window, const char* name) { return Find<QAction>(window, name); }

// Options for a run over tree/site with a template outside it; the two
// end-of-run keys off unless a test turns them on.
void SeedRunOptions(WindowEnv& env, const TempTree& tree) {
  SeedFirstRunValues(env.store, env.services.installation_folder);
  tree.WriteFile("template.htm", kTemplate);
  SaveVariable(env.store, "MainTemplate", tree.Path("template.htm"));
  SaveVariable(env.store, "OpenIndexWhenDone", std::int16_t{0});
  SaveVariable(env.store, "CloseWhenDone", std::int16_t{0});
}

// site, site/a, site/b, site/c: four folders, visited in that order.
void MakeSite(const TempTree& tree) {
  for (const char* file : {"site/top.png", "site/a/1.png", "site/b/2.png", "site/c/3.png"}) {
    tree.WriteFile(file);
  }
}

// Calls act on every pass of the event loop while a run yields, until it
// returns true.
class DuringRun {
 public:
  explicit DuringRun(std::function<bool()> act) : act_(std::move(act)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (act_()) timer_.stop();
    });
    timer_.start(0);
  }

 private:
  std::function<bool()> act_;
  QTimer timer_;
};

struct IdleState {
  bool cancel_visible, dir_enabled, drive_enabled, tools_enabled, busy_cursor;
  bool operator==(const IdleState&) const = default;
};

IdleState StateOf(QWidget& window) {
  return {Find<QPushButton>(window, "cmdCancel")->isVisible(),
          Find<QTreeView>(window, "Dir1")->isEnabled(),
          Find<QComboBox>(window, "Drive1")->isEnabled(),
          Find<QMenu>(window, "mnuTools")->menuAction()->isEnabled() &&
              Action(window, "mnuToolsCreateIndex")->isEnabled() &&
              Action(window, "mnuToolsOptions")->isEnabled(),
          QApplication::overrideCursor() != nullptr};
}

constexpr IdleState kIdle{false, true, true, true, false};
constexpr IdleState kBusy{true, false, false, false, true};

// A window whose run shows every report, so a test can act at an exact folder.
void ReportEveryStep(MainWindow& window) {
  window.set_repaint_interval(std::chrono::milliseconds(0));
}

TEST(MainWindow, HasTheDocumentedControlsAndLayout) {
  WindowEnv env;
  MainWindow window(env.services);
  window.show();
  EXPECT_EQ(window.objectName(), "frmMain");
  EXPECT_EQ(window.windowTitle(), "Pelorin");
  EXPECT_EQ(window.size(), window.minimumSize()) << "first start: the smallest size";
  EXPECT_NE(window.minimumSize(), window.maximumSize()) << "resizable";
  const QList<QSize> icon_sizes = window.windowIcon().availableSizes();
  EXPECT_TRUE(icon_sizes.contains(QSize(16, 16)));
  EXPECT_TRUE(icon_sizes.contains(QSize(32, 32)));

  auto* dir1 = Find<QTreeView>(window, "Dir1");
  const QString selected = QString::fromStdString(window.SelectedFolder());
  EXPECT_EQ(dir1->toolTip(), "Select a directory to index\n" + selected);
  auto* drive1 = Find<QComboBox>(window, "Drive1");
  EXPECT_GT(drive1->count(), 0);
  auto* status = Find<QLabel>(window, "lblStatus");
  EXPECT_EQ(status->toolTip(), selected) << "idle: the selected folder";
  auto* cancel = Find<QPushButton>(window, "cmdCancel");
  EXPECT_TRUE(cancel->isHidden());
  EXPECT_TRUE(cancel->text().isEmpty());
  EXPECT_EQ(cancel->toolTip(), "Cancel");
  EXPECT_TRUE(cancel->icon().availableSizes().contains(QSize(15, 15)));

  // At the smallest size, twips to pixels: 15 to a pixel at 96 dpi.
  const double scale = window.logicalDpiX() / 96.0;
  const struct {
    QWidget* widget;
    int left, top, width, height;
  } kLayout[] = {{dir1, 120, 120, 3135, 3690},
                 {drive1, 120, 3840, 3135, 315},
                 {cancel, 2760, 4200, 495, 375},
                 {status, 120, 4200, 2535, 375}};
  for (const auto& c : kLayout) {
    const QRect expected(qRound(c.left / 15.0 * scale), qRound(c.top / 15.0 * scale),
                         qRound(c.width / 15.0 * scale), qRound(c.height / 15.0 * scale));
    EXPECT_EQ(c.widget->geometry(), expected) << c.widget->objectName().toStdString();
  }
  EXPECT_EQ(window.centralWidget()->size(),
            QSize(qRound(3390 / 15.0 * scale), qRound(4635 / 15.0 * scale)));
}

TEST(MainWindow, MenusHaveTheirCaptionsShortcutsAndStates) {
  WindowEnv env;
  MainWindow window(env.services);
  const struct {
    const char* menu;
    const char* caption;
    std::vector<std::string> entries;  // object names, separators included
  } kMenus[] = {
      {"mnuFile", "&File", {"mnuFileOpenCurrentDir", "mnuFileSep1", "mnuFileExit"}},
      {"mnuTools",
       "&Tools",
       {"mnuToolsCreateIndex", "mnuToolsPreviewRun", "mnuToolsRemoveOrphans", "mnuToolsSep1",
        "mnuToolsOptions"}},
      {"mnuHelp",
       "&Help",
       {"mnuHelpContents", "mnuHelpCreateTemplates", "mnuHelpSep1", "mnuHelpAbout"}},
  };
  const QList<QAction*> bar = window.menuBar()->actions();
  ASSERT_EQ(bar.size(), 3);
  for (int i = 0; i < 3; ++i) {
    const auto& m = kMenus[i];
    auto* menu = Find<QMenu>(window, m.menu);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(bar[i], menu->menuAction()) << m.menu << " in display order";
    EXPECT_EQ(menu->title(), m.caption);
    std::vector<std::string> entries;
    for (QAction* action : menu->actions()) entries.push_back(action->objectName().toStdString());
    EXPECT_EQ(entries, m.entries) << m.menu;
  }

  const struct {
    const char* name;
    const char* caption;
    const char* shortcut;
    bool enabled;
  } kEntries[] = {
      {"mnuFileOpenCurrentDir", "&Open directory in File Manager", "", true},
      {"mnuFileExit", "E&xit", "", true},
      {"mnuToolsCreateIndex", "&Create index", "F5", true},
      {"mnuToolsPreviewRun", "&Preview run", "", true},
      {"mnuToolsRemoveOrphans", "&Remove orphans...", "", true},
      {"mnuToolsOptions", "&Options", "F2", true},
      {"mnuHelpContents", "&Contents", "", false},
      {"mnuHelpCreateTemplates", "Creating &Templates", "", true},
      {"mnuHelpAbout", "&About", "", true},
  };
  for (const auto& e : kEntries) {
    QAction* action = Action(window, e.name);
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->text(), e.caption) << e.name;
    EXPECT_EQ(action->shortcut().toString(), e.shortcut) << e.name;
    EXPECT_EQ(action->isEnabled(), e.enabled) << e.name;
  }
  for (const char* separator : {"mnuFileSep1", "mnuToolsSep1", "mnuHelpSep1"}) {
    EXPECT_TRUE(Action(window, separator)->isSeparator()) << separator;
  }
}

TEST(MainWindow, ShortcutsReachTheirCommands) {
  WindowEnv env;  // empty store: Create index stops at the options check
  MainWindow window(env.services);
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

  std::string opened;
  WhenModalOpens([&](QWidget* modal) {
    opened = modal->objectName().toStdString();
    modal->close();
  });
  QTest::keyClick(&window, Qt::Key_F2);
  EXPECT_EQ(opened, "frmOptions");

  SaveVariable(env.store, "IndexFilename", "");
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  QTest::keyClick(&window, Qt::Key_F5);
  ASSERT_EQ(env.prompter.messages.size(), 1u);
  EXPECT_NE(env.prompter.messages[0].text.find("Please specify a name"), std::string::npos);
}

TEST(MainWindow, StartsInTheLastDirectoryOrItsNearestExistingParent) {
  TempTree tree;
  tree.MakeFolder("kept/inner");
  tree.MakeFolder("kept/.hidden/inner");
  const std::string home = QDir::homePath().toStdString();
  const struct {
    const char* name;
    bool stored;
    std::string last_directory;
    std::string shown;
  } kCases[] = {
      {"nothing stored", false, "", home},
      {"an existing folder", true, tree.Path("kept/inner"), tree.Path("kept/inner")},
      {"a trailing separator", true, tree.Path("kept") + "/", tree.Path("kept")},
      {"a removed folder", true, tree.Path("kept/gone"), tree.Path("kept")},
      {"a removed tree", true, tree.Path("gone/deeper/still"), tree.root()},
      {"a hidden folder", true, tree.Path("kept/.hidden/inner"), tree.Path("kept")},
      {"a path from another system", true, "c:\\", home},
  };
  for (const auto& c : kCases) {
    WindowEnv env;
    if (c.stored) SaveLastDirectory(env.store, c.last_directory);
    MainWindow window(env.services);
    EXPECT_EQ(window.SelectedFolder(), c.shown) << c.name;
    auto* drive1 = Find<QComboBox>(window, "Drive1");
    EXPECT_EQ(drive1->currentData().toString(),
              QStorageInfo(QString::fromStdString(c.shown)).rootPath())
        << c.name;
    auto* dir1 = Find<QTreeView>(window, "Dir1");
    EXPECT_EQ(dir1->currentIndex().data(QFileSystemModel::FilePathRole).toString().toStdString(),
              c.shown)
        << c.name;
  }
}

TEST(MainWindow, ChoosingAVolumeShowsItsRoot) {
  WindowEnv env;
  MainWindow window(env.services);
  auto* drive1 = Find<QComboBox>(window, "Drive1");
  const int last = drive1->count() - 1;
  const std::string root = drive1->itemData(last).toString().toStdString();
  emit drive1->activated(last);
  EXPECT_EQ(window.SelectedFolder(), root);
}

TEST(MainWindow, GrowsWithItsFrameAndRemembersItsPlace) {
  WindowEnv env;
  const QSize more(200, 150);
  QSize tree_size, grown;
  {
    MainWindow window(env.services);
    window.show();
    const QSize smallest = window.size();
    tree_size = Find<QTreeView>(window, "Dir1")->size();
    window.resize(smallest - QSize(50, 50));
    EXPECT_EQ(window.size(), smallest) << "no smaller than the first size";
    grown = smallest + more;
    window.resize(grown);
    window.close();
  }
  EXPECT_EQ(env.store.GetSetting("Main settings", "Window height", ""),
            std::to_string(grown.height()));
  MainWindow next(env.services);
  next.show();
  QApplication::processEvents();
  EXPECT_EQ(next.size(), grown);
  EXPECT_EQ(Find<QTreeView>(next, "Dir1")->size(), tree_size + more) << "the tree takes it all";
}

// The offscreen platform gives every window a frame, as a window manager
// does. The first start finds the window's place moved there by the person,
// in a store with the inside's place only, or on a screen that is gone.
TEST(MainWindow, StaysWhereItWasPutThroughTenRestarts) {
  for (const QPoint stored : {QPoint(), QPoint(150, 120), QPoint(5000, 3000)}) {
    WindowEnv env;
    if (!stored.isNull()) SaveWindowPlacement(env.store, {stored.x(), stored.y(), 500, 400});
    QRect first;
    for (int start = 0; start < 10; ++start) {
      MainWindow window(env.services);
      window.show();
      ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
      if (start == 0 && stored.isNull()) window.move(150, 120);
      if (start == 0) first = window.geometry();
      EXPECT_NE(window.frameGeometry(), first) << "no frame";
      EXPECT_TRUE(window.screen()->availableGeometry().contains(first)) << stored.x();
      EXPECT_EQ(window.geometry(), first) << stored.x() << ", start " << start;
      EXPECT_TRUE(stored.x() != 150 || first.topLeft() == stored) << "the inside";
      window.close();
    }
  }
}

TEST(MainWindow, ClosingStoresTheSelectedFolder) {
  TempTree tree;
  tree.MakeFolder("one");
  tree.MakeFolder("two");
  WindowEnv env;
  SaveLastDirectory(env.store, tree.Path("one"));
  {
    MainWindow window(env.services);
    window.show();
    window.ShowFolder(tree.Path("two"));
    window.close();
    EXPECT_FALSE(window.isVisible());
  }
  EXPECT_EQ(GetLastDirectory(env.store, ""), tree.Path("two"));
  MainWindow next(env.services);
  EXPECT_EQ(next.SelectedFolder(), tree.Path("two"));
}

TEST(MainWindow, HelpAndFileCommands) {
  TempTree tree;
  WindowEnv env;
  SaveLastDirectory(env.store, tree.root());
  MainWindow window(env.services);
  Action(window, "mnuHelpAbout")->trigger();
  ASSERT_EQ(env.prompter.messages.size(), 1u);
  EXPECT_EQ(env.prompter.messages[0].text, std::string("Pelorin version ") + kVersionText);
  EXPECT_EQ(env.prompter.messages[0].title, "Pelorin2");
  EXPECT_EQ(env.prompter.messages[0].icon, MessageIcon::kInformation);
  EXPECT_EQ(env.prompter.messages[0].buttons, MessageButtons::kOk);

  Action(window, "mnuHelpCreateTemplates")->trigger();
  EXPECT_EQ(env.shell.opened,
            std::vector<std::string>{env.services.installation_folder + "/specialtags.txt"});
  Action(window, "mnuFileOpenCurrentDir")->trigger();
  EXPECT_EQ(env.shell.explored, std::vector<std::string>{tree.root()});

  window.show();
  Action(window, "mnuFileExit")->trigger();
  EXPECT_FALSE(window.isVisible());
  EXPECT_EQ(GetLastDirectory(env.store, ""), tree.root());
}

TEST(MainWindow, CreateIndexWritesEveryPageAndCountsTheFolders) {
  TempTree tree;
  MakeSite(tree);
  WindowEnv env;
  SeedRunOptions(env, tree);
  SaveVariable(env.store, "PicsInHtml", std::int16_t{1});
  SaveLastDirectory(env.store, tree.root());
  MainWindow window(env.services);
  ReportEveryStep(window);
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  window.ShowFolder(tree.Path("site"));
  EXPECT_EQ(Find<QLabel>(window, "lblStatus")->toolTip().toStdString(), tree.Path("site"));

  std::vector<std::string> statuses;
  bool busy_seen = false;
  DuringRun watch([&] {
    const std::string status = Find<QLabel>(window, "lblStatus")->text().toStdString();
    if (statuses.empty() || statuses.back() != status) statuses.push_back(status);
    busy_seen = busy_seen || StateOf(window) == kBusy;
    return false;
  });
  Action(window, "mnuToolsCreateIndex")->trigger();

  for (const char* page :
       {"site/index.html", "site/a/index.html", "site/b/index.html", "site/c/index.html"}) {
    EXPECT_TRUE(tree.Exists(page)) << page;
  }
  EXPECT_NE(tree.ReadFile("site/a/index.html").find("1.png"), std::string::npos);
  // In short, in full in the tooltip; a narrow line keeps the count.
  EXPECT_EQ(window.StatusText(), "Indexed 4 folders, 4 picture pages");
  EXPECT_TRUE(Find<QLabel>(window, "lblStatus")->text().startsWith("Indexed 4 folders"));
  EXPECT_EQ(Find<QLabel>(window, "lblStatus")->toolTip(),
            "Indexed 4 folders: 4 pages written, 0 unchanged, 4 picture pages written, 0 picture "
            "pages unchanged, 0 failed");
  const std::vector<std::string> expected_statuses = {"Indexed 0 folders", "Indexed 1 folder",
                                                      "Indexed 2 folders", "Indexed 3 folders",
                                                      "Indexed 4 folders"};
  EXPECT_EQ(statuses, expected_statuses);
  EXPECT_TRUE(busy_seen);
  EXPECT_EQ(StateOf(window), kIdle);
  EXPECT_TRUE(env.prompter.messages.empty());
  EXPECT_TRUE(window.isVisible());
  EXPECT_TRUE(Find<QTreeView>(window, "Dir1")->hasFocus()) << "focus back on the folders";

  // Picking another folder replaces the run's line with the folder.
  window.ShowFolder(tree.Path("site/a"));
  EXPECT_EQ(Find<QLabel>(window, "lblStatus")->toolTip().toStdString(), tree.Path("site/a"));
}

// Preview run writes nothing and shows what a run would do; its button
// starts the run.
TEST(MainWindow, PreviewRunShowsTheRunBeforeItWrites) {
  TempTree tree;
  MakeSite(tree);
  tree.MakeFolder("site/b/2.png.html");
  WindowEnv env;
  SeedRunOptions(env, tree);
  SaveVariable(env.store, "PicsInHtml", std::int16_t{1});
  MainWindow window(env.services);
  window.ShowFolder(tree.Path("site"));
  for (const bool act : {false, true}) {
    env.prompter.act_on_report = act;
    Action(window, "mnuToolsPreviewRun")->trigger();
    EXPECT_EQ(tree.Exists("site/index.html"), act);
  }
  ASSERT_EQ(env.prompter.reports.size(), 2u);
  const auto& report = env.prompter.reports[0];
  EXPECT_EQ(report.action, "&Create index");
  EXPECT_EQ(report.summary[0], "Dry run over 5 folders; nothing was written.");
  EXPECT_EQ(report.summary[1], "Pages: 5 new, 0 changed, 0 unchanged");
  EXPECT_EQ(report.summary[5], "  " + tree.Path("site/b/2.png.html") + ": is a folder");
}

// The pages of pictures that are gone are listed first and removed only when
// the person agrees; everything else stays.
TEST(MainWindow, RemoveOrphansListsThenRemoves) {
  TempTree tree;
  MakeSite(tree);
  WindowEnv env;
  SeedRunOptions(env, tree);
  SaveVariable(env.store, "PicsInHtml", std::int16_t{1});
  SaveVariable(env.store, "OpenIndexWhenDone", std::int16_t{0});
  SaveVariable(env.store, "CloseWhenDone", std::int16_t{0});
  MainWindow window(env.services);
  window.ShowFolder(tree.Path("site"));
  Action(window, "mnuToolsCreateIndex")->trigger();
  ASSERT_TRUE(tree.Exists("site/a/1.png.html"));
  std::filesystem::remove(tree.Path("site/a/1.png"));
  for (const bool act : {false, true}) {
    env.prompter.act_on_report = act;
    Action(window, "mnuToolsRemoveOrphans")->trigger();
    EXPECT_EQ(tree.Exists("site/a/1.png.html"), !act);
  }
  ASSERT_EQ(env.prompter.reports.size(), 2u);
  EXPECT_EQ(env.prompter.reports[0].items,
            std::vector<std::string>{tree.Path("site/a/1.png.html")});
  EXPECT_EQ(env.prompter.reports[0].action, "&Remove");
  EXPECT_TRUE(tree.Exists("site/b/2.png.html"));
  EXPECT_TRUE(tree.Exists("site/a/index.html"));
}

TEST(MainWindow, ToolsCannotStartAnythingDuringARun) {
  TempTree tree;
  MakeSite(tree);
  WindowEnv env;
  SeedRunOptions(env, tree);
  SaveLastDirectory(env.store, tree.Path("site"));
  MainWindow window(env.services);
  ReportEveryStep(window);
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  int tries = 0;
  DuringRun again([&] {
    if (StateOf(window) != kBusy) return false;
    QTest::keyClick(&window, Qt::Key_F5);
    QTest::keyClick(&window, Qt::Key_F2);
    Action(window, "mnuToolsCreateIndex")->trigger();
    Action(window, "mnuToolsOptions")->trigger();
    return ++tries == 2;
  });
  Action(window, "mnuToolsCreateIndex")->trigger();
  EXPECT_EQ(tries, 2);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_EQ(Find<QLabel>(window, "lblStatus")->text(), "Indexed 4 folders");
}

TEST(MainWindow, FailedOptionsCheckStartsNoRun) {
  TempTree tree;
  MakeSite(tree);
  WindowEnv env;  // nothing stored
  SaveLastDirectory(env.store, tree.Path("site"));
  MainWindow window(env.services);
  Action(window, "mnuToolsCreateIndex")->trigger();
  ASSERT_EQ(env.prompter.messages.size(), 1u);
  EXPECT_EQ(env.prompter.messages[0].icon, MessageIcon::kCritical);
  EXPECT_EQ(env.prompter.messages[0].text.rfind("Sorry, there are a few things", 0), 0u);
  EXPECT_FALSE(tree.Exists("site/index.html"));
  EXPECT_EQ(Find<QLabel>(window, "lblStatus")->toolTip().toStdString(), tree.Path("site"));
}

TEST(MainWindow, RiskyFolderIsConfirmedFirst) {
  for (const MessageAnswer answer : {MessageAnswer::kCancel, MessageAnswer::kOk}) {
    TempTree tree;
    MakeSite(tree);
    // The home folder needs confirmation.
    const std::string old_home = QDir::homePath().toStdString();
    ::setenv("HOME", tree.Path("site").c_str(), 1);
    WindowEnv env;
    SeedRunOptions(env, tree);
    SaveLastDirectory(env.store, tree.Path("site"));
    env.prompter.answers = {answer};
    MainWindow window(env.services);
    window.show();
    Action(window, "mnuToolsCreateIndex")->trigger();
    ::setenv("HOME", old_home.c_str(), 1);

    const bool ok = answer == MessageAnswer::kOk;
    ASSERT_GE(env.prompter.messages.size(), 1u);
    const auto& message = env.prompter.messages[0];
    EXPECT_EQ(message.text, "This will write index.html into\r\n  \"" + tree.Path("site") +
                                "/\"\r\nand into every folder below it.\r\nContinue?");
    EXPECT_EQ(message.title, "Pelorin2");
    EXPECT_EQ(message.icon, MessageIcon::kCritical);
    EXPECT_EQ(message.buttons, MessageButtons::kOkCancelDefaultCancel);
    EXPECT_EQ(tree.Exists("site/index.html"), ok);
    EXPECT_EQ(tree.Exists("site/c/index.html"), ok);
    EXPECT_EQ(window.StatusText().toStdString(), ok ? "Indexed 4 folders" : tree.Path("site"));
    EXPECT_EQ(StateOf(window), kIdle);
  }
}

// The real message box: Enter takes the default button.
TEST(QtPrompter, EnterTakesTheDefaultButton) {
  const struct {
    MessageButtons buttons;
    Qt::Key key;
    MessageAnswer answer;
  } kCases[] = {{MessageButtons::kOkCancelDefaultCancel, Qt::Key_Return, MessageAnswer::kCancel},
                {MessageButtons::kOkCancel, Qt::Key_Return, MessageAnswer::kOk}};
  for (const auto& c : kCases) {
    QtPrompter prompter;
    WhenModalOpens([&](QWidget* box) { QTest::keyClick(box, c.key); });
    EXPECT_EQ(prompter.ShowMessage(nullptr, MessageIcon::kCritical, c.buttons, "Pelorin2", "Go?"),
              c.answer)
        << static_cast<int>(c.buttons) << " " << c.key;
  }
}

// With a settings file of its own, ~/.config keeps no file dialog state.
TEST(QtPrompter, KeepsTheFileDialogsStateInItsFolder) {
  QTemporaryDir state;
  QtPrompter prompter(state.path().toStdString());
  WhenModalOpens([](QWidget* modal) {
    EXPECT_TRUE(static_cast<QFileDialog*>(modal)->testOption(QFileDialog::DontUseNativeDialog));
    static_cast<QFileDialog*>(modal)->reject();
  });
  prompter.GetOpenFileName(nullptr, "Select a template", "/", "");
  EXPECT_TRUE(QFileInfo::exists(state.filePath(QStringLiteral("QtProject.conf"))));
}

TEST(MainWindow, CancelExitAndClosingStopTheRunAtTheNextFolder) {
  enum class Stop { kCancel, kClose, kExit };
  for (const Stop how : {Stop::kCancel, Stop::kClose, Stop::kExit}) {
    const bool by_closing = how != Stop::kCancel;
    const char* name = how == Stop::kCancel  ? "cmdCancel"
                       : how == Stop::kClose ? "closing"
                                             : "Exit";
    TempTree tree;
    MakeSite(tree);
    tree.MakeFolder("elsewhere");
    WindowEnv env;
    SeedRunOptions(env, tree);
    SaveVariable(env.store, "OpenIndexWhenDone", std::int16_t{1});
    SaveLastDirectory(env.store, tree.Path("elsewhere"));
    MainWindow window(env.services);
    ReportEveryStep(window);
    window.show();
    window.ShowFolder(tree.Path("site"));
    // Stop while the third folder (site/b) is being reported.
    DuringRun stop([&] {
      if (Find<QLabel>(window, "lblStatus")->text() != "Indexed 3 folders") return false;
      if (how == Stop::kClose) window.close();
      if (how == Stop::kExit) Action(window, "mnuFileExit")->trigger();
      if (how == Stop::kCancel) Find<QPushButton>(window, "cmdCancel")->click();
      return true;
    });
    Action(window, "mnuToolsCreateIndex")->trigger();

    // The folders reached before the stop are written, or left as they were
    // when their page had not started on the run's threads.
    const int written = tree.Exists("site/index.html") + tree.Exists("site/a/index.html");
    EXPECT_FALSE(tree.Exists("site/b/index.html")) << name;
    EXPECT_FALSE(tree.Exists("site/c/index.html")) << name;
    EXPECT_EQ(window.isVisible(), !by_closing) << name;
    EXPECT_TRUE(env.shell.opened.empty()) << name << ": only a finished run opens the page";
    EXPECT_TRUE(env.prompter.messages.empty()) << name;
    EXPECT_EQ(GetLastDirectory(env.store, ""), tree.Path("site")) << name;
    EXPECT_EQ(StateOf(window).busy_cursor, false) << name;
    if (!by_closing) {
      EXPECT_EQ(Find<QLabel>(window, "lblStatus")->text().toStdString(),
                "Stopped after " + CountOf(written, "folder"));
    }
  }
}

// A long run that reports far more often than the window repaints: the
// window still answers a click on the cancel button within 100 ms, and
// shows the last report's line when the run ends.
TEST(MainWindow, ClockedRunStillAnswersTheCancelButton) {
  WindowEnv env;
  MainWindow window(env.services);
  window.show();
  auto* cancel = Find<QPushButton>(window, "cmdCancel");
  auto* status = Find<QLabel>(window, "lblStatus");
  QElapsedTimer run;
  qint64 clicked_at = -1;
  QObject::connect(cancel, &QPushButton::clicked, [&] { clicked_at = run.elapsed(); });
  QTimer::singleShot(200, cancel, [cancel] { QTest::mouseClick(cancel, Qt::LeftButton); });

  window.RunStarting();
  run.start();
  std::int64_t reports = 0;
  int paints = 0;
  RunProgress progress;
  for (; clicked_at < 0 && run.elapsed() < 5000; ++reports) {
    progress.folders_reached = reports;
    window.ShowProgress(progress);
    const QString before = status->text();
    window.Yield();
    paints += status->text() != before;
  }
  window.RunEnded();

  EXPECT_GE(clicked_at, 200);
  EXPECT_LT(clicked_at, 300) << "answered within 100 ms";
  EXPECT_LT(paints, run.elapsed() / 16 + 2) << reports << " reports";
  EXPECT_EQ(status->text().toStdString(), ProgressLine(progress));
}

TEST(MainWindow, EndOfRunFollowsTheDisplayOptions) {
  for (const bool open : {false, true}) {
    for (const bool close : {false, true}) {
      const std::string name =
          std::string("open ") + (open ? "on" : "off") + ", close " + (close ? "on" : "off");
      TempTree tree;
      MakeSite(tree);
      tree.MakeFolder("elsewhere");
      WindowEnv env;
      SeedRunOptions(env, tree);
      SaveVariable(env.store, "OpenIndexWhenDone", std::int16_t{open});
      SaveVariable(env.store, "CloseWhenDone", std::int16_t{close});
      SaveLastDirectory(env.store, tree.Path("elsewhere"));
      MainWindow window(env.services);
      window.show();
      window.ShowFolder(tree.Path("site"));
      Action(window, "mnuToolsCreateIndex")->trigger();

      EXPECT_TRUE(tree.Exists("site/c/index.html")) << name;
      EXPECT_EQ(env.shell.opened.size(), open ? 1u : 0u) << name;
      if (open) {
        EXPECT_EQ(env.shell.opened[0], tree.Path("site/index.html")) << name;
      }
      EXPECT_EQ(window.isVisible(), !close) << name;
      // Saved at the end of the run, whether the window closes or not.
      EXPECT_EQ(GetLastDirectory(env.store, ""), tree.Path("site")) << name;
      if (!close) {
        EXPECT_EQ(StateOf(window), kIdle) << name;
      }
    }
  }
}

TEST(MainWindow, FailedFoldersAreListedInOneMessage) {
  const struct {
    int failing;
    int listed;
    const char* last_line;
  } kCases[] = {{1, 1, nullptr}, {22, 20, "and 2 more"}};
  for (const auto& c : kCases) {
    TempTree tree;
    tree.WriteFile("site/top.png");
    // A folder named like the page cannot be replaced by one.
    for (int i = 0; i < c.failing; ++i) {
      tree.MakeFolder("site/f" + std::to_string(100 + i) + "/index.html");
    }
    tree.WriteFile("site/ok/1.png");
    WindowEnv env;
    SeedRunOptions(env, tree);
    SaveLastDirectory(env.store, tree.Path("site"));
    MainWindow window(env.services);
    Action(window, "mnuToolsCreateIndex")->trigger();

    EXPECT_TRUE(tree.Exists("site/index.html"));
    EXPECT_TRUE(tree.Exists("site/ok/index.html"));
    // site, site/ok and every "index.html" folder inside a failing one.
    EXPECT_EQ(window.StatusText().toStdString(), "Indexed " + std::to_string(2 + c.failing) +
                                                     " folders, " + std::to_string(c.failing) +
                                                     " failed");
    ASSERT_EQ(env.prompter.messages.size(), 1u) << c.failing;
    const auto& message = env.prompter.messages[0];
    EXPECT_EQ(message.icon, MessageIcon::kWarning);
    EXPECT_EQ(message.buttons, MessageButtons::kOk);
    EXPECT_EQ(message.title, "Pelorin2");
    std::vector<std::string> lines;
    std::string::size_type start = 0;
    for (;;) {
      const auto end = message.text.find("\r\n", start);
      lines.push_back(message.text.substr(start, end - start));
      if (end == std::string::npos) break;
      start = end + 2;
    }
    ASSERT_EQ(lines.size(), 1u + c.listed + (c.last_line != nullptr ? 1 : 0)) << message.text;
    EXPECT_EQ(lines[0], "These folders could not be indexed:");
    EXPECT_EQ(lines[1].rfind(tree.Path("site/f100/") + ": cannot write index.html: ", 0), 0u)
        << lines[1];
    if (c.last_line != nullptr) {
      EXPECT_EQ(lines.back(), c.last_line);
    }
    EXPECT_EQ(StateOf(window), kIdle);
  }
}

TEST(MainWindow, FileTypesAreRereadAfterEveryOptionsWindow) {
  // Through Tools > Options, cancelled, after the types changed behind the
  // window's back; and through the window the failed options check opens.
  for (const bool from_check : {false, true}) {
    const char* name = from_check ? "options check" : "Tools > Options";
    TempTree tree;
    tree.WriteFile("site/photo.png");
    tree.WriteFile("site/notes.txt");
    tree.WriteFile("template.htm", kTemplate);
    WindowEnv env;
    if (!from_check) {
      SeedRunOptions(env, tree);
      SaveVariable(env.store, "FileTypes", "PNG");
    }
    SaveLastDirectory(env.store, tree.Path("site"));
    MainWindow window(env.services);
    if (from_check) {
      env.prompter.answers = {MessageAnswer::kOk};
      WhenModalOpens([&](QWidget* modal) {
        modal->findChild<QLineEdit*>(QStringLiteral("txtTemplateFilename_0"))
            ->setText(QString::fromStdString(tree.Path("template.htm")));
        modal->findChild<QPlainTextEdit*>(QStringLiteral("txtFileTypesToIndex"))
            ->setPlainText(QStringLiteral("TXT"));
        modal->findChild<QPushButton*>(QStringLiteral("cmdAction_0"))->click();
      });
      Action(window, "mnuToolsCreateIndex")->trigger();
      EXPECT_FALSE(tree.Exists("site/index.html")) << name << ": the check starts no run";
    } else {
      SaveVariable(env.store, "FileTypes", "TXT");
      WhenModalOpens([](QWidget* modal) {
        modal->findChild<QPushButton*>(QStringLiteral("cmdAction_1"))->click();
      });
      Action(window, "mnuToolsOptions")->trigger();
    }
    Action(window, "mnuToolsCreateIndex")->trigger();
    const std::string page = tree.ReadFile("site/index.html");
    EXPECT_NE(page.find("notes.txt"), std::string::npos) << name << "\n" << page;
    EXPECT_EQ(page.find("photo.png"), std::string::npos) << name << "\n" << page;
  }
}

}  // namespace
}  // namespace pelorin

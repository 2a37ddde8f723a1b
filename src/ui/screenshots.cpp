// pelorin2-screenshots: shows the real main window and options window (with
// settings in memory, never the user's) and saves a picture of each, for the
// README. scripts/screenshots.sh runs it under Xvfb.
//
//   pelorin2-screenshots OUTPUT_FOLDER FOLDER_TO_SHOW
#include <QApplication>
#include <QEventLoop>
#include <QPixmap>
#include <QScrollBar>
#include <QTabWidget>
#include <QTimer>
#include <QTreeView>
#include <iostream>
#include <string>

#include "common/install_paths.h"
#include "settings/option_keys.h"
#include "settings/settings_store.h"
#include "settings/variables.h"
#include "ui/main_window.h"
#include "ui/options_window.h"

namespace {

// Nothing is asked or opened while the pictures are made.
class SilentPrompter : public pelorin::Prompter {
 public:
  pelorin::MessageAnswer ShowMessage(QWidget*, pelorin::MessageIcon, pelorin::MessageButtons,
                                     const std::string&, const std::string&) override {
    return pelorin::MessageAnswer::kCancel;
  }
  std::string GetOpenFileName(QWidget*, const std::string&, const std::string&,
                              const std::string&) override {
    return {};
  }
  bool ShowReport(QWidget*, const std::string&, const std::vector<std::string>&,
                  const std::vector<std::string>&, const std::string&) override {
    return false;
  }
};

class SilentShell : public pelorin::Shell {
 public:
  void Open(const std::string&) override {}
  void Explore(const std::string&) override {}
};

// Lets the folder list read its folders and everything paint.
void Settle(int milliseconds) {
  QEventLoop loop;
  QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
  loop.exec();
}

bool Save(QWidget& widget, const QString& file) {
  if (widget.grab().save(file)) {
    std::cout << file.toStdString() << '\n';
    return true;
  }
  std::cerr << "cannot write " << file.toStdString() << '\n';
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 3) {
    std::cerr << "usage: pelorin2-screenshots OUTPUT_FOLDER FOLDER_TO_SHOW\n";
    return 2;
  }
  const QString output = QString::fromLocal8Bit(argv[1]);

  pelorin::MemorySettingsStore store;
  pelorin::SeedFirstRunValues(store, pelorin::InstallationFolder());
  // Every row of the General tab shown, and a title to fill the Titles tab.
  for (const char* key :
       {pelorin::keys::kShowPics, pelorin::keys::kScalePics, pelorin::keys::kUseThumbnails}) {
    pelorin::SaveVariable(store, key, std::int16_t{1});
  }
  pelorin::SaveVariable(store, pelorin::keys::kPageTitle, "My pictures");
  pelorin::SaveVariable(store, pelorin::keys::kSeparator, " - ");
  pelorin::SaveLastDirectory(store, argv[2]);

  SilentPrompter prompter;
  SilentShell shell;
  pelorin::WindowServices services{store, prompter, shell, pelorin::InstallationFolder()};

  bool ok = true;
  pelorin::MainWindow main_window(services);
  main_window.show();
  Settle(1000);
  // The sample tree opened out at the top of the folder list.
  auto* dir1 = main_window.findChild<QTreeView*>(QStringLiteral("Dir1"));
  for (int pass = 0; pass < 2; ++pass) {
    dir1->expandRecursively(dir1->currentIndex(), 1);
    Settle(500);
  }
  dir1->scrollTo(dir1->currentIndex(), QAbstractItemView::PositionAtTop);
  dir1->horizontalScrollBar()->setValue(0);
  Settle(300);
  ok &= Save(main_window, output + QStringLiteral("/main-window.png"));

  pelorin::OptionsWindow options(services, &main_window);
  options.show();
  auto* tabs = options.findChild<QTabWidget*>(QStringLiteral("SSTab1"));
  const char* const kNames[] = {"general", "templates", "titles", "display"};
  for (int i = 0; i < 4; ++i) {
    tabs->setCurrentIndex(i);
    Settle(300);
    ok &= Save(options, output + QStringLiteral("/options-") + QString::fromLatin1(kNames[i]) +
                            QStringLiteral(".png"));
  }
  options.reject();
  return ok ? 0 : 1;
}

// pelorin2: the desktop application.
#include <csignal>

#include <QApplication>
#include <QIcon>

#include "common/install_paths.h"
#include "common/version.h"
#include "settings/qt_settings_store.h"
#include "thumbnails/vips_thumbnail_maker.h"
#include "ui/main_window.h"
#include "ui/qt_prompter.h"
#include "ui/shell.h"

int main(int argc, char** argv) {
  // A file-size limit makes a page write fail with EFBIG, which the run
  // reports, instead of ending the program.
  std::signal(SIGXFSZ, SIG_IGN);

  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(pelorin::kAppTitle));
  QApplication::setApplicationVersion(QString::fromLatin1(pelorin::kVersionText));
  QApplication::setDesktopFileName(QString::fromLatin1(pelorin::kDesktopId));
  QIcon icon;
  icon.addFile(QStringLiteral(":/icons/pelorin2-16.png"), QSize(16, 16));
  icon.addFile(QStringLiteral(":/icons/pelorin2-32.png"), QSize(32, 32));
  QApplication::setWindowIcon(icon);

  pelorin::QtSettingsStore store;
  pelorin::QtPrompter prompter;
  pelorin::DesktopShell shell;
  pelorin::VipsThumbnailMaker thumbnail_maker;
  pelorin::WindowServices services{store, prompter, shell, pelorin::InstallationFolder(),
                                   &thumbnail_maker};
  pelorin::MainWindow window(services);
  window.show();
  return app.exec();
}

// pelorin2: the desktop application.
#include <QAction>
#include <QApplication>
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFileSystemModel>
#include <QIcon>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "common/install_paths.h"
#include "common/version.h"
#include "settings/qt_settings_store.h"
#include "thumbnails/lazy_thumbnail_maker.h"
#include "ui/main_window.h"
#include "ui/qt_prompter.h"
#include "ui/shell.h"

namespace {

constexpr char kHelp[] = R"(Usage: pelorin2 [--settings FILE]

Writes an index page into every folder of a tree, made from an HTML template:
pick a folder and choose Tools > Create index (F5).

Options:
  --settings FILE     Use this INI file instead of the per-user store
                      (~/.config/Pelorin2/Pelorin2.conf, or under
                      $XDG_CONFIG_HOME), as pelorin2-cli --settings does.
  -h, --help          Show this help.
  --version           Show the version.

The options every Qt application takes (-platform NAME, -style NAME, ...) are
accepted as well.
)";

// Exit status for an unknown option, a missing FILE or an unreadable store,
// as pelorin2-cli's for a usage or options error.
constexpr int kExitUsage = 2;

// Set to a folder, the application shows it, and once the folder list has
// read it (as a person would see it before pressing F5), indexes it; it
// answers every question with Cancel (printing it on stderr), opens nothing
// and quits when the run is over: the benchmark runs the window this way.
// It prints the status line and the seconds from Create index to the end of
// the run ("Indexed 4 folders in 0.012 s"). Exit status 1 when a message
// was shown.
constexpr char kAutoRunVariable[] = "PELORIN2_AUTORUN";

// The options QApplication takes out of the arguments for itself, with a
// value and without: accepted here so that the arguments can be judged
// before Qt looks for a display.
constexpr const char* kQtValueOptions[] = {
    "style",         "stylesheet", "qmljsdebugger",   "platform",    "platformpluginpath",
    "platformtheme", "plugin",     "qwindowgeometry", "qwindowicon", "qwindowtitle",
    "session",       "display",    "geometry",        "dialogs",     "fontengine"};
constexpr const char* kQtFlags[] = {"widgetcount", "reverse", "nograb", "dograb"};

struct Arguments {
  QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")}};
  QCommandLineOption version{QStringLiteral("version")};
  QCommandLineOption settings{QStringLiteral("settings"), QString(), QStringLiteral("FILE")};
  QCommandLineParser parser;
  Arguments() {
    // "-platform xcb" as Qt spells its own options, "--settings FILE" as ours.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions({help, version, settings});
    for (const char* name : kQtValueOptions) {
      parser.addOption({QString::fromLatin1(name), QString(), QStringLiteral("VALUE")});
    }
    for (const char* name : kQtFlags)
      parser.addOption(QCommandLineOption(QString::fromLatin1(name)));
  }
};

QStringList ArgumentList(int argc, char** argv) {
  QStringList list;
  for (int i = 0; i < argc; ++i) list << QString::fromLocal8Bit(argv[i]);
  return list;
}

class BatchPrompter : public pelorin::Prompter {
 public:
  pelorin::MessageAnswer ShowMessage(QWidget*, pelorin::MessageIcon, pelorin::MessageButtons,
                                     const std::string& title, const std::string& text) override {
    std::cerr << title << ": " << text << '\n';
    ++shown;
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
  int shown = 0;
};

class BatchShell : public pelorin::Shell {
 public:
  void Open(const std::string&) override {}
  void Explore(const std::string&) override {}
};

}  // namespace

namespace {

// Answers --help, --version and a wrong argument on the terminal, before any
// display is looked for; the exit status then, or -1 when the window starts.
int AnswerOnTheTerminal(Arguments& arguments, int argc, char** argv) {
  const bool parsed = arguments.parser.parse(ArgumentList(argc, argv));
  if (arguments.parser.isSet(arguments.help)) {
    std::cout << kHelp;
    return 0;
  }
  if (arguments.parser.isSet(arguments.version)) {
    std::cout << pelorin::kProductName << " version " << pelorin::kVersionText << '\n';
    return 0;
  }
  if (parsed && arguments.parser.positionalArguments().isEmpty()) return -1;
  const QString error = !parsed ? arguments.parser.errorText()
                                : QStringLiteral("unexpected argument '%1'")
                                      .arg(arguments.parser.positionalArguments().constFirst());
  std::cerr << "pelorin2: " << error.toStdString() << "\nTry 'pelorin2 --help'.\n";
  return kExitUsage;
}

// Shows folder, presses Create index once the folder list has read it (or
// after two seconds), prints the run's time and quits: the benchmark's way
// of timing the window without a person.
void StartAutoRun(pelorin::MainWindow& window, const QString& folder,
                  const BatchPrompter& prompter) {
  auto started = std::make_shared<bool>(false);
  const auto run_once = [&window, &prompter, started] {
    if (*started) return;
    *started = true;
    QElapsedTimer run;
    run.start();
    window.findChild<QAction*>(QStringLiteral("mnuToolsCreateIndex"))->trigger();
    const double seconds = static_cast<double>(run.nsecsElapsed()) / 1e9;
    std::printf("%s in %.3f s\n", window.StatusText().toUtf8().constData(), seconds);
    std::fflush(stdout);
    QApplication::exit(prompter.shown == 0 ? 0 : 1);
  };
  QObject::connect(window.findChild<QFileSystemModel*>(), &QFileSystemModel::directoryLoaded,
                   &window, [&window, run_once](const QString& path) {
                     if (path.toStdString() == window.SelectedFolder()) run_once();
                   });
  window.ShowFolder(folder.toStdString());
  QTimer::singleShot(2000, &window, run_once);  // in case the list never says
}

}  // namespace

int main(int argc, char** argv) {
  // A file-size limit makes a page write fail with EFBIG, which the run
  // reports, instead of ending the program.
  std::signal(SIGXFSZ, SIG_IGN);

  Arguments arguments;
  if (const int status = AnswerOnTheTerminal(arguments, argc, argv); status >= 0) return status;

  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(pelorin::kAppTitle));
  QApplication::setApplicationVersion(QString::fromLatin1(pelorin::kVersionText));
  QApplication::setDesktopFileName(QString::fromLatin1(pelorin::kDesktopId));
  QIcon icon;
  icon.addFile(QStringLiteral(":/icons/pelorin2-16.png"), QSize(16, 16));
  icon.addFile(QStringLiteral(":/icons/pelorin2-32.png"), QSize(32, 32));
  QApplication::setWindowIcon(icon);

  const std::string settings_file = arguments.parser.value(arguments.settings).toStdString();
  pelorin::QtSettingsStore store(settings_file);
  std::string error;
  if (!store.CheckReadable(&error)) {
    std::cerr << "pelorin2: " << error << '\n';
    return kExitUsage;
  }
  const QString auto_run = qEnvironmentVariable(kAutoRunVariable);
  // With a settings file of its own the application writes nothing into the
  // per-user configuration, not even the file dialog's state.
  QTemporaryDir dialog_state;
  std::optional<pelorin::QtPrompter> prompter;
  if (settings_file.empty()) {
    prompter.emplace();
  } else {
    prompter.emplace(dialog_state.path().toStdString());
  }
  pelorin::DesktopShell shell;
  BatchPrompter batch_prompter;
  BatchShell batch_shell;
  pelorin::LazyThumbnailMaker thumbnail_maker;
  pelorin::WindowServices services{
      store, auto_run.isEmpty() ? static_cast<pelorin::Prompter&>(*prompter) : batch_prompter,
      auto_run.isEmpty() ? static_cast<pelorin::Shell&>(shell) : batch_shell,
      pelorin::InstallationFolder(), &thumbnail_maker};
  pelorin::MainWindow window(services);
  window.show();
  if (!auto_run.isEmpty()) StartAutoRun(window, auto_run, batch_prompter);
  return app.exec();
}

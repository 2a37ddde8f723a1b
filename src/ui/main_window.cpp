#include "ui/main_window.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QIcon>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStorageInfo>
#include <QTimer>
#include <QTreeView>

#include "common/code_library.h"
#include "common/version.h"
#include "engine/create_index.h"
#include "settings/option_keys.h"
#include "settings/variables.h"
#include "ui/options_window.h"

namespace pelorin {

namespace {

constexpr char kDir1ToolTip[] = "Select a directory to index";
constexpr std::size_t kMaxFailuresShown = 20;
constexpr qint64 kKeepInViewMs = 2000;

// The window's layout is given in twips: 1,440 to the inch, so 15 to a
// pixel at 96 dots per inch; larger logical dpi scale it up.
int Px(int twips, double dpi) { return qRound(twips * dpi / 1440.0); }

// The folder itself when it exists, else its nearest existing parent; a
// relative or empty path stands for the home folder. The folder list shows
// no hidden folder, so a path through one is cut back to where it is shown.
std::string NearestExistingFolder(const std::string& folder) {
  namespace fs = std::filesystem;
  fs::path path(folder);
  if (folder.empty() || !path.is_absolute()) path = fs::path(QDir::homePath().toStdString());
  fs::path shown;
  for (const fs::path& part : path.lexically_normal()) {
    if (IsHiddenName(part.string())) break;
    shown /= part;
  }
  path = shown;
  std::error_code ec;
  while (!fs::is_directory(path, ec)) {
    const fs::path parent = path.parent_path();
    if (parent.empty() || parent == path) return "/";
    path = parent;
  }
  std::string text = path.string();
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  return text;
}

std::string FailureMessage(const std::vector<Failure>& failures) {
  std::string text = "These folders could not be indexed:";
  const std::size_t shown = std::min(failures.size(), kMaxFailuresShown);
  for (std::size_t i = 0; i < shown; ++i) {
    text += "\r\n" + failures[i].folder + ": " + failures[i].reason;
  }
  if (failures.size() > shown) {
    text += "\r\nand " + std::to_string(failures.size() - shown) + " more";
  }
  return text;
}

QAction* AddAction(QMenu* menu, const char* name, const char* caption) {
  QAction* action = menu->addAction(QString::fromLatin1(caption));
  action->setObjectName(QString::fromLatin1(name));
  return action;
}

void AddSeparator(QMenu* menu, const char* name) {
  menu->addSeparator()->setObjectName(QString::fromLatin1(name));
}

}  // namespace

std::string VersionString() {
  return std::string(kProductName) + " version " + std::to_string(kVersionMajor) + "." +
         std::to_string(kVersionMinor) + "." + std::to_string(kVersionPatch);
}

MainWindow::MainWindow(WindowServices& services, QWidget* parent)
    : QMainWindow(parent), services_(services) {
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(QString::fromLatin1(kProductName));
  QIcon icon;
  icon.addFile(QStringLiteral(":/icons/pelorin2-16.png"), QSize(16, 16));
  icon.addFile(QStringLiteral(":/icons/pelorin2-32.png"), QSize(32, 32));
  setWindowIcon(icon);
  BuildControls();
  BuildMenus();
  setFixedSize(sizeHint());
  Form_Load();
}

MainWindow::~MainWindow() = default;

void MainWindow::BuildControls() {
  const double dpi = logicalDpiX();
  auto* client = new QWidget;
  client->setObjectName(QStringLiteral("frmMainClient"));
  client->setFixedSize(Px(3390, dpi), Px(4635, dpi));
  setCentralWidget(client);

  folders_ = new QFileSystemModel(this);
  folders_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);  // hidden folders left out
  folders_->setRootPath(QStringLiteral("/"));

  dir1_ = new QTreeView(client);
  dir1_->setObjectName(QStringLiteral("Dir1"));
  dir1_->setToolTip(QString::fromLatin1(kDir1ToolTip));
  dir1_->setModel(folders_);
  dir1_->setHeaderHidden(true);
  dir1_->setIndentation(Px(180, dpi));  // narrow steps: deep folders stay readable
  for (int column = 1; column < folders_->columnCount(); ++column) dir1_->hideColumn(column);
  dir1_->setGeometry(Px(120, dpi), Px(120, dpi), Px(3135, dpi), Px(3690, dpi));
  connect(dir1_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) { Dir1_Change(current); });
  // The folder list fills in and sorts as folders are read, in the
  // background: for a moment after a folder is shown, every change brings
  // the selection back into view.
  scroll_timer_ = new QTimer(this);
  scroll_timer_->setSingleShot(true);
  connect(scroll_timer_, &QTimer::timeout, this,
          [this] { dir1_->scrollTo(dir1_->currentIndex(), QAbstractItemView::PositionAtCenter); });
  const auto keep_in_view = [this] {
    if (shown_at_.isValid() && shown_at_.elapsed() < kKeepInViewMs) scroll_timer_->start(0);
  };
  connect(folders_, &QFileSystemModel::directoryLoaded, this, keep_in_view);
  connect(folders_, &QFileSystemModel::layoutChanged, this, keep_in_view);
  connect(folders_, &QFileSystemModel::rowsInserted, this, keep_in_view);

  drive1_ = new QComboBox(client);
  drive1_->setObjectName(QStringLiteral("Drive1"));
  drive1_->setGeometry(Px(120, dpi), Px(3840, dpi), Px(3135, dpi), Px(315, dpi));
  FillDriveList();
  connect(drive1_, &QComboBox::activated, this, [this](int index) { Drive1_Change(index); });

  cmd_cancel_ = new QPushButton(client);
  cmd_cancel_->setObjectName(QStringLiteral("cmdCancel"));
  cmd_cancel_->setIcon(QIcon(QStringLiteral(":/icons/cancel.png")));
  cmd_cancel_->setIconSize(QSize(15, 15));
  cmd_cancel_->setToolTip(QStringLiteral("Cancel"));
  cmd_cancel_->setGeometry(Px(2760, dpi), Px(4200, dpi), Px(495, dpi), Px(375, dpi));
  cmd_cancel_->hide();
  connect(cmd_cancel_, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });

  lbl_status_ = new QLabel(client);
  lbl_status_->setObjectName(QStringLiteral("lblStatus"));
  lbl_status_->setGeometry(Px(120, dpi), Px(4200, dpi), Px(2535, dpi), Px(375, dpi));

  setTabOrder(dir1_, drive1_);
  setTabOrder(drive1_, cmd_cancel_);
}

void MainWindow::BuildMenus() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  file->setObjectName(QStringLiteral("mnuFile"));
  connect(AddAction(file, "mnuFileOpenCurrentDir", "&Open directory in Explorer"),
          &QAction::triggered, this, [this] { mnuFileOpenCurrentDir_Click(); });
  AddSeparator(file, "mnuFileSep1");
  connect(AddAction(file, "mnuFileExit", "E&xit"), &QAction::triggered, this,
          [this] { mnuFileExit_Click(); });

  mnu_tools_ = menuBar()->addMenu(QStringLiteral("&Tools"));
  mnu_tools_->setObjectName(QStringLiteral("mnuTools"));
  mnu_tools_create_index_ = AddAction(mnu_tools_, "mnuToolsCreateIndex", "&Create index");
  mnu_tools_create_index_->setShortcut(QKeySequence(Qt::Key_F5));
  connect(mnu_tools_create_index_, &QAction::triggered, this,
          [this] { mnuToolsCreateIndex_Click(); });
  AddSeparator(mnu_tools_, "mnuToolsSep1");
  mnu_tools_options_ = AddAction(mnu_tools_, "mnuToolsOptions", "&Options");
  mnu_tools_options_->setShortcut(QKeySequence(Qt::Key_F2));
  connect(mnu_tools_options_, &QAction::triggered, this, [this] { mnuToolsOptions_Click(); });

  QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
  help->setObjectName(QStringLiteral("mnuHelp"));
  // There is no help file beyond the template notes: shown, but greyed.
  AddAction(help, "mnuHelpContents", "&Contents")->setEnabled(false);
  connect(AddAction(help, "mnuHelpCreateTemplates", "Creating &Templates"), &QAction::triggered,
          this, [this] { mnuHelpCreateTemplates_Click(); });
  AddSeparator(help, "mnuHelpSep1");
  connect(AddAction(help, "mnuHelpAbout", "&About"), &QAction::triggered, this,
          [this] { mnuHelpAbout_Click(); });
}

// Drive1 lists the mounted volumes as "mount point (name)".
void MainWindow::FillDriveList() {
  QList<QStorageInfo> volumes = QStorageInfo::mountedVolumes();
  std::sort(volumes.begin(), volumes.end(), [](const QStorageInfo& a, const QStorageInfo& b) {
    return a.rootPath() < b.rootPath();
  });
  for (const QStorageInfo& volume : volumes) {
    if (!volume.isValid() || !volume.isReady()) continue;
    QString text = volume.rootPath();
    if (!volume.name().isEmpty()) text += QStringLiteral(" (") + volume.name() + QLatin1Char(')');
    drive1_->addItem(text, volume.rootPath());
  }
}

void MainWindow::SelectDrive(const QString& root_path) {
  int index = drive1_->findData(root_path);
  if (index < 0) {
    drive1_->addItem(root_path, root_path);
    index = drive1_->count() - 1;
  }
  drive1_->setCurrentIndex(index);  // programmatic: Drive1_Change does not run
}

void MainWindow::ShowFolder(const std::string& folder) {
  selected_folder_ = NearestExistingFolder(folder);
  const QString path = QString::fromStdString(selected_folder_);
  const QModelIndex index = folders_->index(path);
  if (index.isValid()) {
    dir1_->setCurrentIndex(index);
    dir1_->expand(index);
    dir1_->scrollTo(index);
  }
  shown_at_.start();
  SelectDrive(QStorageInfo(path).rootPath());
}

void MainWindow::Form_Load() {
  ShowFolder(GetLastDirectory(services_.store, QDir::homePath().toStdString()));
  file_types_ = LoadFileTypeList(services_.store);
}

void MainWindow::Drive1_Change(int index) {
  ShowFolder(drive1_->itemData(index).toString().toStdString());
}

void MainWindow::Dir1_Change(const QModelIndex& index) {
  if (index.isValid()) selected_folder_ = folders_->filePath(index).toStdString();
}

void MainWindow::cmdCancel_Click() {
  if (run_) run_->SetStatus("Stop");
}

// Every way of closing comes here: a run going on stops at its next folder
// report, the selected folder is remembered, and the window always closes.
void MainWindow::closeEvent(QCloseEvent* event) {
  if (run_) run_->SetStatus("Stop");
  QCoreApplication::processEvents();
  SaveLastDirectory(services_.store, selected_folder_);
  std::string error;
  services_.store.Flush(&error);
  event->accept();
}

void MainWindow::mnuFileOpenCurrentDir_Click() { services_.shell.Explore(selected_folder_); }

void MainWindow::mnuFileExit_Click() {
  if (close()) QCoreApplication::quit();
}

void MainWindow::mnuToolsCreateIndex_Click() {
  if (run_) return;  // the Tools menu is disabled during a run
  SettingsStore& store = services_.store;
  CreateIndexRequest request;
  request.selected_folder = SelectedFolderOf(selected_folder_, "/");
  if (!CheckOptionsValid(services_, this)) {
    // The options window may have been opened and changed the file types.
    file_types_ = LoadFileTypeList(store);
    return;
  }
  request.open_when_done = GetFlag(store, "OpenIndexWhenDone");

  run_ = std::make_unique<IndexRun>(*this, LoadPageOptions(store), file_types_);
  RunSummary summary;
  const CommandResult result = CreateIndex(*run_, *this, request, &summary);
  run_.reset();
  if (result == CommandResult::kDeclined) return;

  if (!summary.failures.empty()) {
    services_.prompter.ShowMessage(this, MessageIcon::kWarning, MessageButtons::kOk, kAppTitle,
                                   FailureMessage(summary.failures));
  }
  // The next start shows the folder just indexed.
  SaveLastDirectory(store, selected_folder_);
  std::string error;
  store.Flush(&error);
  // A window closed during the run has gone through its closing steps already.
  if (GetFlag(store, "CloseWhenDone") && isVisible()) close();
}

void MainWindow::mnuToolsOptions_Click() {
  if (run_) return;
  OptionsWindow options(services_, this);
  options.exec();
  file_types_ = LoadFileTypeList(services_.store);  // saved or not
}

void MainWindow::mnuHelpCreateTemplates_Click() {
  services_.shell.Open(services_.installation_folder + "/specialtags.txt");
}

void MainWindow::mnuHelpAbout_Click() {
  services_.prompter.ShowMessage(this, MessageIcon::kInformation, MessageButtons::kOk, kAppTitle,
                                 VersionString());
}

bool MainWindow::AskYesNo(const std::string& title, const std::string& text) {
  return services_.prompter.ShowMessage(this, MessageIcon::kCritical, MessageButtons::kOkCancel,
                                        title, text) == MessageAnswer::kOk;
}

void MainWindow::ShowStatus(const std::string& line) {
  lbl_status_->setText(QString::fromStdString(line));
}

// The run yields here once per report, so the window repaints and handles
// the cancel button, closing and the File and Help menus while it goes on.
void MainWindow::Yield() { QCoreApplication::processEvents(); }

void MainWindow::OpenDocument(const std::string& path) { services_.shell.Open(path); }

void MainWindow::RunStarting() { SetBusy(true); }

void MainWindow::RunEnded() { SetBusy(false); }

void MainWindow::SetBusy(bool busy) {
  if (busy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
  cmd_cancel_->setVisible(busy);
  drive1_->setEnabled(!busy);
  dir1_->setEnabled(!busy);
  // The menu and its entries, so that F5 and F2 are off as well.
  mnu_tools_->menuAction()->setEnabled(!busy);
  for (QAction* action : mnu_tools_->actions()) action->setEnabled(!busy);
}

}  // namespace pelorin

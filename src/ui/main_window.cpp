#include "ui/main_window.h"

#include <QAbstractFileIconProvider>
#include <QAction>
#include <QApplication>
#include <QByteArray>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QStorageInfo>
#include <QStyle>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>
#include <future>
#include <system_error>
#include <vector>

#include "common/default_jobs.h"
#include "common/path_routines.h"
#include "common/text_routines.h"
#include "common/version.h"
#include "engine/run_report.h"
#include "settings/index_command.h"
#include "settings/option_keys.h"
#include "settings/prune_command.h"
#include "settings/user_folders.h"
#include "settings/variables.h"
#include "ui/options_window.h"

namespace pelorin {

namespace {

constexpr char kFolderTreeToolTip[] = "Select a directory to index";
constexpr std::size_t kMaxFailuresShown = 20;
constexpr qint64 kKeepInViewMs = 2000;

// The File menu names the desktop's file manager.
constexpr char kOpenFolderCaption[] = "&Open directory in File Manager";

// The window's layout is given in pixels at 96 dots per inch; larger
// logical dpi scale it up.
int Px(int pixels, double dpi) { return qRound(pixels * dpi / 96.0); }

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

std::string FailureMessage(const std::vector<std::string>& lines) {
  std::string text = "These folders could not be indexed:";
  const std::size_t shown = std::min(lines.size(), kMaxFailuresShown);
  for (std::size_t i = 0; i < shown; ++i) text += "\r\n" + lines[i];
  if (lines.size() > shown) {
    text += "\r\nand " + std::to_string(lines.size() - shown) + " more";
  }
  return text;
}

// The folder list shows folders only, each with the style's folder icon. The
// default provider would look up every entry's MIME type on the list's
// background thread, and the first look-up loads the MIME database: closing
// the window then waits for it before the process can end.
class FolderIconProvider : public QAbstractFileIconProvider {
 public:
  explicit FolderIconProvider(const QStyle* style)
      : folder_(style->standardIcon(QStyle::SP_DirIcon)),
        drive_(style->standardIcon(QStyle::SP_DriveHDIcon)) {}
  QIcon icon(IconType type) const override { return type == Drive ? drive_ : folder_; }
  QIcon icon(const QFileInfo&) const override { return folder_; }

 private:
  const QIcon folder_;
  const QIcon drive_;
};

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
  // The size the controls were laid out for is the smallest; the folder
  // tree takes whatever is added.
  setMinimumSize(minimumSizeHint());
  resize(minimumSize());
  RestorePlacement();
  RestoreLastFolder();
}

// The model goes first: its background thread may still ask the icon provider.
MainWindow::~MainWindow() { delete folders_; }

void MainWindow::BuildControls() {
  const double dpi = logicalDpiX();
  auto* client = new QWidget;
  client->setObjectName(QStringLiteral("frmMainClient"));
  setCentralWidget(client);

  BuildFolderTree(client, dpi);

  volume_list_ = new QComboBox(client);
  volume_list_->setObjectName(QStringLiteral("Drive1"));
  // As wide as the tree, whatever the volumes' names.
  volume_list_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  volume_list_->setMinimumWidth(Px(209, dpi));
  volume_list_->setFixedHeight(Px(21, dpi));
  FillDriveList();
  connect(volume_list_, &QComboBox::activated, this, [this](int index) { OnDriveChanged(index); });

  cancel_button_ = new QPushButton(client);
  cancel_button_->setObjectName(QStringLiteral("cmdCancel"));
  cancel_button_->setIcon(QIcon(QStringLiteral(":/icons/cancel.png")));
  cancel_button_->setIconSize(QSize(15, 15));
  cancel_button_->setToolTip(QStringLiteral("Cancel"));
  cancel_button_->setFixedSize(Px(33, dpi), Px(25, dpi));
  QSizePolicy keep_room = cancel_button_->sizePolicy();
  keep_room.setRetainSizeWhenHidden(true);  // the status line keeps its width
  cancel_button_->setSizePolicy(keep_room);
  cancel_button_->hide();
  connect(cancel_button_, &QPushButton::clicked, this, [this] { StopRun(); });

  status_label_ = new QLabel(client);
  status_label_->setObjectName(QStringLiteral("lblStatus"));
  // A long path is shortened to the label's width (SetStatusText), never the
  // other way round.
  status_label_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  status_label_->setMinimumWidth(Px(169, dpi));
  status_label_->setFixedHeight(Px(25, dpi));
  status_label_->installEventFilter(this);

  auto* status_row = new QHBoxLayout;
  status_row->setSpacing(Px(7, dpi));
  status_row->addWidget(status_label_, 1);
  status_row->addWidget(cancel_button_);
  auto* column = new QVBoxLayout(client);
  column->setContentsMargins(Px(8, dpi), Px(8, dpi), Px(9, dpi), Px(4, dpi));
  column->setSpacing(0);
  column->addWidget(folder_tree_, 1);
  column->addSpacing(Px(2, dpi));
  column->addWidget(volume_list_);
  column->addSpacing(Px(3, dpi));
  column->addLayout(status_row);

  setTabOrder(folder_tree_, volume_list_);
  setTabOrder(volume_list_, cancel_button_);
}

// The folder list over the whole file system, hidden folders left out.
void MainWindow::BuildFolderTree(QWidget* client, double dpi) {
  folders_ = new QFileSystemModel(this);
  icon_provider_ = std::make_unique<FolderIconProvider>(style());
  folders_->setIconProvider(icon_provider_.get());
  folders_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);  // hidden folders left out
  folders_->setRootPath(QStringLiteral("/"));

  folder_tree_ = new QTreeView(client);
  folder_tree_->setObjectName(QStringLiteral("Dir1"));
  folder_tree_->setToolTip(QString::fromLatin1(kFolderTreeToolTip));
  folder_tree_->setModel(folders_);
  folder_tree_->setHeaderHidden(true);
  folder_tree_->setIndentation(Px(12, dpi));  // narrow steps: deep folders stay readable
  for (int column = 1; column < folders_->columnCount(); ++column) folder_tree_->hideColumn(column);
  folder_tree_->setMinimumSize(Px(209, dpi), Px(246, dpi));
  connect(folder_tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) { OnFolderChanged(current); });
  // The folder list fills in and sorts as folders are read, in the
  // background: for a moment after a folder is shown, every change brings
  // the selection back into view.
  scroll_timer_ = new QTimer(this);
  scroll_timer_->setSingleShot(true);
  connect(scroll_timer_, &QTimer::timeout, this, [this] {
    folder_tree_->scrollTo(folder_tree_->currentIndex(), QAbstractItemView::PositionAtCenter);
  });
  const auto keep_in_view = [this] {
    if (shown_at_.isValid() && shown_at_.elapsed() < kKeepInViewMs) scroll_timer_->start(0);
  };
  connect(folders_, &QFileSystemModel::directoryLoaded, this, keep_in_view);
  connect(folders_, &QFileSystemModel::layoutChanged, this, keep_in_view);
  connect(folders_, &QFileSystemModel::rowsInserted, this, keep_in_view);
}

void MainWindow::BuildMenus() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  file->setObjectName(QStringLiteral("mnuFile"));
  connect(AddAction(file, "mnuFileOpenCurrentDir", kOpenFolderCaption), &QAction::triggered, this,
          [this] { OpenFolderInFileManager(); });
  AddSeparator(file, "mnuFileSep1");
  connect(AddAction(file, "mnuFileExit", "E&xit"), &QAction::triggered, this, [this] { Exit(); });

  tools_menu_ = menuBar()->addMenu(QStringLiteral("&Tools"));
  tools_menu_->setObjectName(QStringLiteral("mnuTools"));
  QAction* create_index = AddAction(tools_menu_, "mnuToolsCreateIndex", "&Create index");
  create_index->setShortcut(QKeySequence(Qt::Key_F5));
  connect(create_index, &QAction::triggered, this, [this] { CreateIndex(); });
  connect(AddAction(tools_menu_, "mnuToolsPreviewRun", "&Preview run"), &QAction::triggered, this,
          [this] { PreviewRun(); });
  connect(AddAction(tools_menu_, "mnuToolsRemoveOrphans", "&Remove orphans..."),
          &QAction::triggered, this, [this] { RemoveOrphans(); });
  AddSeparator(tools_menu_, "mnuToolsSep1");
  QAction* options = AddAction(tools_menu_, "mnuToolsOptions", "&Options");
  options->setShortcut(QKeySequence(Qt::Key_F2));
  connect(options, &QAction::triggered, this, [this] { EditOptions(); });

  QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
  help->setObjectName(QStringLiteral("mnuHelp"));
  // There is no help file beyond the template notes: shown, but greyed.
  AddAction(help, "mnuHelpContents", "&Contents")->setEnabled(false);
  connect(AddAction(help, "mnuHelpCreateTemplates", "Creating &Templates"), &QAction::triggered,
          this, [this] { ShowTemplateHelp(); });
  AddSeparator(help, "mnuHelpSep1");
  connect(AddAction(help, "mnuHelpAbout", "&About"), &QAction::triggered, this,
          [this] { ShowAbout(); });
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
    volume_list_->addItem(text, volume.rootPath());
  }
}

void MainWindow::SelectDrive(const QString& root_path) {
  int index = volume_list_->findData(root_path);
  if (index < 0) {
    volume_list_->addItem(root_path, root_path);
    index = volume_list_->count() - 1;
  }
  volume_list_->setCurrentIndex(index);  // programmatic: Drive1_Change does not run
}

void MainWindow::ShowFolder(const std::string& folder) {
  SetSelectedFolder(NearestExistingFolder(folder));
  const QString path = QString::fromStdString(selected_folder_);
  const QModelIndex index = folders_->index(path);
  if (index.isValid()) {
    folder_tree_->setCurrentIndex(index);
    folder_tree_->expand(index);
    folder_tree_->scrollTo(index);
  }
  shown_at_.start();
  SelectDrive(QStorageInfo(path).rootPath());
}

void MainWindow::RestoreLastFolder() {
  ShowFolder(GetLastDirectory(services_.store, QDir::homePath().toStdString()));
}

void MainWindow::OnDriveChanged(int index) {
  ShowFolder(volume_list_->itemData(index).toString().toStdString());
}

void MainWindow::OnFolderChanged(const QModelIndex& index) {
  if (!index.isValid()) return;
  const std::string folder = folders_->filePath(index).toStdString();
  if (folder != selected_folder_) SetSelectedFolder(folder);
}

void MainWindow::SetSelectedFolder(const std::string& folder) {
  selected_folder_ = folder;
  const QString path = QString::fromStdString(folder);
  folder_tree_->setToolTip(QString::fromLatin1(kFolderTreeToolTip) + QLatin1Char('\n') + path);
  // Picking a folder replaces the last run's line; a run keeps its own.
  // A path keeps both ends: the volume and the folder's own name.
  if (!running_) SetStatusText(path, path, Qt::ElideMiddle);
}

// A run's line starts with its count, so it is shortened at its end.
void MainWindow::ShowRunLine(const std::string& line, const std::string& whole) {
  const QString text = QString::fromStdString(line);
  SetStatusText(text, whole.empty() ? text : QString::fromStdString(whole), Qt::ElideRight);
}

void MainWindow::SetStatusText(const QString& text, const QString& tool_tip,
                               Qt::TextElideMode elide) {
  status_text_ = text;
  status_elide_ = elide;
  const int width = status_label_->contentsRect().width();
  status_label_->setText(width > 0 ? status_label_->fontMetrics().elidedText(text, elide, width)
                                   : text);
  status_label_->setToolTip(tool_tip);
}

// The label's width changes with the window's: the line is shortened anew.
bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == status_label_ && event->type() == QEvent::Resize) {
    SetStatusText(status_text_, status_label_->toolTip(), status_elide_);
  }
  return QMainWindow::eventFilter(watched, event);
}

// Size and position as the user left them. The toolkit's geometry holds the
// frame as well as the inside, so a window manager's frame never moves the
// window from one start to the next, and it is put back onto a screen when
// its own screen is gone. Stores written before it was kept give the inside
// of the window only.
void MainWindow::RestorePlacement() {
  const QByteArray geometry =
      QByteArray::fromBase64(QByteArray::fromStdString(GetWindowGeometry(services_.store)));
  if (!geometry.isEmpty() && restoreGeometry(geometry)) return;
  const WindowPlacement placement = GetWindowPlacement(services_.store);
  if (placement.width <= 0 || placement.height <= 0) return;
  const QRect wanted(QPoint(placement.left, placement.top),
                     QSize(placement.width, placement.height).expandedTo(minimumSize()));
  for (const QScreen* screen : QGuiApplication::screens()) {
    if (screen->availableGeometry().intersects(wanted)) {
      setGeometry(wanted);
      return;
    }
  }
  // Its screen is gone: the middle of the main screen.
  resize(wanted.size());
  move(QGuiApplication::primaryScreen()->availableGeometry().center() - rect().center());
}

void MainWindow::SavePlacement() {
  SaveWindowGeometry(services_.store, saveGeometry().toBase64().toStdString());
  const QRect normal = normalGeometry().isValid() ? normalGeometry() : geometry();
  SaveWindowPlacement(services_.store, {normal.x(), normal.y(), normal.width(), normal.height()});
}

void MainWindow::StopRun() {
  if (running_) stop_.request_stop();
}

// Every way of closing comes here: a run going on stops at its next folder
// report, the selected folder and the window's place are remembered, and the
// window always closes.
void MainWindow::closeEvent(QCloseEvent* event) {
  closed_ = true;
  StopRun();
  SaveLastDirectory(services_.store, selected_folder_);
  SavePlacement();
  std::string error;
  services_.store.Flush(&error);
  event->accept();
}

void MainWindow::OpenFolderInFileManager() { services_.shell.Explore(selected_folder_); }

// During a run the application ends as soon as the run has stopped, at its
// next report.
void MainWindow::Exit() {
  if (close()) QCoreApplication::quit();
}

bool MainWindow::RunIndexCommand(bool dry_run, IndexOutcome* outcome) {
  IndexRequest request;
  request.folder = selected_folder_;
  request.current_folder = "/";
  request.jobs = DefaultJobs(selected_folder_);
  request.dry_run = dry_run;
  request.remember_folder = true;
  request.home_folder = HomeFolder();
  request.documents_folder = DocumentsFolder();

  IndexCommand command(services_.store, *this, services_.thumbnail_maker);
  stop_ = std::stop_source();
  running_ = true;
  closed_ = false;
  *outcome = command.Run(request, stop_.get_token());
  running_ = false;
  switch (outcome->status) {
    case IndexStatus::kOptionsIncomplete:
      OfferOptionsWindow(services_, this, outcome->problems);
      return false;
    case IndexStatus::kDeclined:
      folder_tree_->setFocus();
      return false;
    case IndexStatus::kDone:
      break;
  }
  // Closed during the run: the application is ending, nothing more is shown.
  return !closed_;
}

void MainWindow::PreviewRun() {
  if (running_) return;
  IndexOutcome outcome;
  if (!RunIndexCommand(/*dry_run=*/true, &outcome)) return;
  std::vector<std::string> summary = PreviewLines(outcome.summary);
  std::string tooltip;
  for (const std::string& line : summary) tooltip += (tooltip.empty() ? "" : "\n") + line;
  ShowRunLine(ShortSummaryLine(outcome.summary), tooltip);
  if (outcome.summary.stopped) summary.push_back("Stopped: only part of the tree was looked at.");
  if (services_.prompter.ShowReport(this, "Preview run", summary, outcome.failure_lines,
                                    "&Create index")) {
    CreateIndex();
  }
  folder_tree_->setFocus();
}

void MainWindow::RunAside(const std::function<void()>& work) {
  stop_ = std::stop_source();
  running_ = true;
  closed_ = false;
  SetBusy(true);
  std::future<void> done = std::async(std::launch::async, work);
  while (done.wait_for(kRepaintInterval) != std::future_status::ready) {
    QCoreApplication::processEvents();
  }
  done.get();
  SetBusy(false);
  running_ = false;
}

void MainWindow::RemoveOrphans() {
  if (running_) return;
  PruneListing listing;
  RunAside(
      [&] { listing = ListOrphans(services_.store, selected_folder_, "/", stop_.get_token()); });
  if (closed_) return;
  std::vector<std::string> summary = {FileCount(static_cast<std::int64_t>(listing.lines.size())) +
                                      " made for pictures that are gone"};
  for (const std::string& line : listing.failure_lines) summary.push_back(line);
  if (stop_.stop_requested()) summary.push_back("Stopped: only part of the tree was looked at.");
  if (listing.lines.empty()) {
    services_.prompter.ShowMessage(this, MessageIcon::kInformation, MessageButtons::kOk, kAppTitle,
                                   summary.front() + ": nothing to remove.");
    return;
  }
  if (!services_.prompter.ShowReport(this, "Remove orphans", summary, listing.lines, "&Remove")) {
    return;
  }
  PruneOutcome outcome;
  RunAside([&] { outcome = RemoveListedOrphans(listing, stop_.get_token()); });
  if (closed_) return;
  ShowRunLine(outcome.summary_line, outcome.summary_line);
  if (!outcome.failure_lines.empty()) {
    services_.prompter.ShowMessage(this, MessageIcon::kWarning, MessageButtons::kOk, kAppTitle,
                                   FailureMessage(outcome.failure_lines));
  }
}

void MainWindow::CreateIndex() {
  if (running_) return;  // the Tools menu is disabled during a run
  SettingsStore& store = services_.store;
  IndexOutcome outcome;
  if (!RunIndexCommand(/*dry_run=*/false, &outcome)) return;
  ShowRunLine(ShortSummaryLine(outcome.summary), SummaryLine(outcome.summary));
  const bool finished = !outcome.summary.stopped;
  if (finished && GetFlag(store, keys::kOpenIndexWhenDone)) {
    services_.shell.Open(outcome.summary.top_page);
  }
  if (!outcome.failure_lines.empty()) {
    services_.prompter.ShowMessage(this, MessageIcon::kWarning, MessageButtons::kOk, kAppTitle,
                                   FailureMessage(outcome.failure_lines));
  }
  if (!outcome.flush_error.empty()) {
    services_.prompter.ShowMessage(this, MessageIcon::kWarning, MessageButtons::kOk, kAppTitle,
                                   "The settings could not be saved:\r\n" + outcome.flush_error);
  }
  folder_tree_->setFocus();
  if (finished && GetFlag(store, keys::kCloseWhenDone)) close();
}

void MainWindow::EditOptions() {
  if (running_) return;
  OptionsWindow options(services_, this);
  options.exec();
}

void MainWindow::ShowTemplateHelp() {
  services_.shell.Open(services_.installation_folder + "/specialtags.txt");
}

void MainWindow::ShowAbout() {
  services_.prompter.ShowMessage(this, MessageIcon::kInformation, MessageButtons::kOk, kAppTitle,
                                 VersionString());
}

// The risky-folder warning: Enter must not start a run over "/".
bool MainWindow::AskYesNo(const std::string& title, const std::string& text) {
  return services_.prompter.ShowMessage(this, MessageIcon::kCritical,
                                        MessageButtons::kOkCancelDefaultCancel, title,
                                        text) == MessageAnswer::kOk;
}

// The run reports every folder; noting the counts is all that happens at
// each report.
void MainWindow::ShowProgress(const RunProgress& progress) {
  pending_progress_ = progress;
  progress_pending_ = true;
}

// At most once per interval the window shows the latest line, repaints and
// handles the cancel button, closing and the File and Help menus. Between
// times a report costs one look at a monotonic clock.
void MainWindow::Yield() {
  if (repaint_clock_.isValid() &&
      repaint_clock_.nsecsElapsed() < std::chrono::nanoseconds(repaint_interval_).count()) {
    return;
  }
  repaint_clock_.start();
  if (progress_pending_) ShowRunLine(ProgressLine(pending_progress_));
  QCoreApplication::processEvents();
}

void MainWindow::RunStarting() {
  progress_pending_ = false;
  repaint_clock_.invalidate();
  SetBusy(true);
}

// The last report's line, whenever the clock last let one through.
void MainWindow::RunEnded() {
  if (progress_pending_) ShowRunLine(ProgressLine(pending_progress_));
  SetBusy(false);
}

void MainWindow::SetBusy(bool busy) {
  if (busy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
  cancel_button_->setVisible(busy);
  volume_list_->setEnabled(!busy);
  folder_tree_->setEnabled(!busy);
  // The menu and its entries, so that F5 and F2 are off as well.
  tools_menu_->menuAction()->setEnabled(!busy);
  for (QAction* action : tools_menu_->actions()) action->setEnabled(!busy);
}

}  // namespace pelorin

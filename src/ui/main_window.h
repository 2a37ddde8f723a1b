// The main window: the folder chooser, the status line and the menus. It is
// the host of every indexing run it starts (the run itself is the engine's)
// and remembers the selected folder from one start to the next.
#pragma once

#include <QElapsedTimer>
#include <QMainWindow>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>
#include <stop_token>
#include <string>

#include "engine/index_run.h"
#include "engine/run_host.h"
#include "ui/window_services.h"

class QAbstractFileIconProvider;
class QAction;
class QCloseEvent;
class QEvent;
class QComboBox;
class QFileSystemModel;
class QLabel;
class QMenu;
class QModelIndex;
class QPushButton;
class QTimer;
class QTreeView;

namespace pelorin {

struct IndexOutcome;

class IndexCommand;

class MainWindow : public QMainWindow, public RunHost {
 public:
  // How often a run repaints the window and handles its events, at most:
  // often enough for the cancel button to answer at once, seldom enough to
  // cost nothing next to the run.
  static constexpr std::chrono::milliseconds kRepaintInterval{25};

  explicit MainWindow(WindowServices& services, QWidget* parent = nullptr);
  ~MainWindow() override;

  // 0 repaints and handles events at every report of the run.
  void set_repaint_interval(std::chrono::milliseconds interval) { repaint_interval_ = interval; }

  // The folder the tree has selected: absolute, no trailing separator but for "/".
  const std::string& SelectedFolder() const { return selected_folder_; }
  // The status line as it reads before the label shortens it.
  const QString& StatusText() const { return status_text_; }
  // Shows folder in the tree (or its nearest existing parent) and picks its
  // volume in the volume list.
  void ShowFolder(const std::string& folder);
  // RunHost: the window side of a run. ShowProgress notes the counts; Yield
  // shows them and handles events once kRepaintInterval has passed since the
  // last time.
  bool AskYesNo(const std::string& title, const std::string& text) override;
  void ShowProgress(const RunProgress& progress) override;
  void Yield() override;
  void RunStarting() override;
  void RunEnded() override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  void BuildFolderTree(QWidget* client, double dpi);
  void BuildMenus();
  void FillDriveList();
  void SelectDrive(const QString& root_path);
  void SetBusy(bool busy);
  // The folder the window shows as selected: the tree's tooltip and, while
  // no run goes on, the status line.
  void SetSelectedFolder(const std::string& folder);
  // A run's line (progress or result), with the whole of it (whole, or else
  // line) in the tooltip.
  void ShowRunLine(const std::string& line, const std::string& whole = {});
  // The line, shortened as elide says when the label is too narrow.
  void SetStatusText(const QString& text, const QString& tool_tip, Qt::TextElideMode elide);
  void RestorePlacement();
  void SavePlacement();

  void RestoreLastFolder();
  void OnDriveChanged(int index);
  void OnFolderChanged(const QModelIndex& index);
  void StopRun();
  void OpenFolderInFileManager();
  void Exit();
  void CreateIndex();
  // Tools > Preview run: a dry run, then its report, from which the run can
  // be started.
  void PreviewRun();
  // Tools > Remove orphans: the list of what was made for pictures that are
  // gone, then, when the person agrees, its removal.
  void RemoveOrphans();
  // Runs work off the window's thread, busy and stoppable like a run, and
  // handles the window's events until it is done.
  void RunAside(const std::function<void()>& work);
  // Runs the Create index command (dry_run: writes nothing) with this window
  // as its host; false when no run took place (options incomplete, warning
  // declined), which it has told the person about.
  bool RunIndexCommand(bool dry_run, IndexOutcome* outcome);
  void EditOptions();
  void ShowTemplateHelp();
  void ShowAbout();

  WindowServices& services_;
  std::unique_ptr<QAbstractFileIconProvider> icon_provider_;
  QFileSystemModel* folders_ = nullptr;
  QTreeView* folder_tree_ = nullptr;
  QComboBox* volume_list_ = nullptr;
  QPushButton* cancel_button_ = nullptr;
  QLabel* status_label_ = nullptr;
  QMenu* tools_menu_ = nullptr;

  QTimer* scroll_timer_ = nullptr;
  QElapsedTimer shown_at_;  // when ShowFolder last ran

  std::string selected_folder_;
  QString status_text_;  // the status line unshortened
  Qt::TextElideMode status_elide_ = Qt::ElideMiddle;
  bool running_ = false;  // a run goes on
  // Stops the run going on: the cancel button and closing use it.
  std::stop_source stop_;
  bool closed_ = false;  // closeEvent ran since the last run started
  // The run's latest counts, shown at the next repaint.
  RunProgress pending_progress_;
  bool progress_pending_ = false;
  std::chrono::milliseconds repaint_interval_ = kRepaintInterval;
  QElapsedTimer repaint_clock_;
};

// "Pelorin version 2.0.10": the product name and the version numbers.
std::string VersionString();

}  // namespace pelorin

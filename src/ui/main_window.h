// The main window: the folder chooser, the status line and the menus. It is
// the host of every indexing run it starts (the run itself is the engine's)
// and remembers the selected folder from one start to the next.
#pragma once

#include <memory>
#include <string>

#include <QElapsedTimer>
#include <QMainWindow>

#include "engine/file_type_list.h"
#include "engine/index_run.h"
#include "engine/run_host.h"
#include "ui/window_services.h"

class QAction;
class QCloseEvent;
class QComboBox;
class QFileSystemModel;
class QLabel;
class QMenu;
class QModelIndex;
class QPushButton;
class QTimer;
class QTreeView;

namespace pelorin {

class MainWindow : public QMainWindow, public RunHost {
 public:
  explicit MainWindow(WindowServices& services, QWidget* parent = nullptr);
  ~MainWindow() override;

  // The folder Dir1 has selected: absolute, no trailing separator but for "/".
  const std::string& SelectedFolder() const { return selected_folder_; }
  // Shows folder in Dir1 (or its nearest existing parent) and picks its
  // volume in Drive1.
  void ShowFolder(const std::string& folder);
  // RunHost: the window side of a run.
  bool AskYesNo(const std::string& title, const std::string& text) override;
  void ShowStatus(const std::string& line) override;
  void Yield() override;
  void OpenDocument(const std::string& path) override;
  void RunStarting() override;
  void RunEnded() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildControls();
  void BuildMenus();
  void FillDriveList();
  void SelectDrive(const QString& root_path);
  void SetBusy(bool busy);

  void Form_Load();
  void Drive1_Change(int index);
  void Dir1_Change(const QModelIndex& index);
  void cmdCancel_Click();
  void mnuFileOpenCurrentDir_Click();
  void mnuFileExit_Click();
  void mnuToolsCreateIndex_Click();
  void mnuToolsOptions_Click();
  void mnuHelpCreateTemplates_Click();
  void mnuHelpAbout_Click();

  WindowServices& services_;
  QFileSystemModel* folders_ = nullptr;
  QTreeView* dir1_ = nullptr;
  QComboBox* drive1_ = nullptr;
  QPushButton* cmd_cancel_ = nullptr;
  QLabel* lbl_status_ = nullptr;
  QMenu* mnu_tools_ = nullptr;
  QAction* mnu_tools_create_index_ = nullptr;
  QAction* mnu_tools_options_ = nullptr;

  QTimer* scroll_timer_ = nullptr;
  QElapsedTimer shown_at_;  // when ShowFolder last ran

  std::string selected_folder_;
  // The lower-cased file types a run matches names against; read at start,
  // after the options window and after a failed options check.
  FileTypeList file_types_;
  // The run going on, if any; the cancel button and closing stop it.
  std::unique_ptr<IndexRun> run_;
};

// "Pelorin version 2.0.10": the product name and the version numbers.
std::string VersionString();

}  // namespace pelorin

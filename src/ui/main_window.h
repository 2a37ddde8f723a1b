// The main window: the folder chooser, the status line and the menus. It is
// the host of every indexing run it starts (the run itself is the engine's)
// and remembers the selected folder from one start to the next.
#pragma once

#include <QElapsedTimer>
#include <QMainWindow>
#include <string>

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

class IndexCommand;

class MainWindow : public QMainWindow, public RunHost {
 public:
  explicit MainWindow(WindowServices& services, QWidget* parent = nullptr);
  ~MainWindow() override;

  // The folder the tree has selected: absolute, no trailing separator but for "/".
  const std::string& SelectedFolder() const { return selected_folder_; }
  // Shows folder in the tree (or its nearest existing parent) and picks its
  // volume in the volume list.
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

  void RestoreLastFolder();
  void OnDriveChanged(int index);
  void OnFolderChanged(const QModelIndex& index);
  void StopRun();
  void OpenFolderInFileManager();
  void Exit();
  void CreateIndex();
  void EditOptions();
  void ShowTemplateHelp();
  void ShowAbout();

  WindowServices& services_;
  QFileSystemModel* folders_ = nullptr;
  QTreeView* folder_tree_ = nullptr;
  QComboBox* volume_list_ = nullptr;
  QPushButton* cancel_button_ = nullptr;
  QLabel* status_label_ = nullptr;
  QMenu* tools_menu_ = nullptr;

  QTimer* scroll_timer_ = nullptr;
  QElapsedTimer shown_at_;  // when ShowFolder last ran

  std::string selected_folder_;
  // The command going on, if any; the cancel button and closing stop it.
  IndexCommand* command_ = nullptr;
};

// "Pelorin version 2.0.10": the product name and the version numbers.
std::string VersionString();

}  // namespace pelorin

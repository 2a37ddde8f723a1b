// What the window tests hand the windows instead of a person and a desktop:
// a prompter that answers and records, a shell that records, settings in an
// INI file inside a temporary folder.
#pragma once

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/install_paths.h"
#include "settings/qt_settings_store.h"
#include "ui/prompter.h"
#include "ui/shell.h"
#include "ui/window_services.h"

namespace pelorin::testing {

struct ShownMessage {
  MessageIcon icon;
  MessageButtons buttons;
  std::string title;
  std::string text;
};

struct ShownFileDialog {
  std::string title;
  std::string folder;
  std::string preset;
};

class FakePrompter : public Prompter {
 public:
  MessageAnswer ShowMessage(QWidget*, MessageIcon icon, MessageButtons buttons,
                            const std::string& title, const std::string& text) override {
    messages.push_back({icon, buttons, title, text});
    if (answers.empty()) return MessageAnswer::kCancel;
    const MessageAnswer answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::string GetOpenFileName(QWidget*, const std::string& title, const std::string& folder,
                              const std::string& preset) override {
    file_dialogs.push_back({title, folder, preset});
    return chosen_file;
  }

  bool ShowReport(QWidget*, const std::string& title, const std::vector<std::string>& summary,
                  const std::vector<std::string>& items, const std::string& action) override {
    reports.push_back({title, summary, items, action});
    return act_on_report;
  }

  struct ShownReport {
    std::string title;
    std::vector<std::string> summary;
    std::vector<std::string> items;
    std::string action;
  };
  std::vector<ShownMessage> messages;
  std::deque<MessageAnswer> answers;  // then Cancel
  std::vector<ShownReport> reports;
  bool act_on_report = false;
  std::vector<ShownFileDialog> file_dialogs;
  std::string chosen_file;  // empty: the dialog is cancelled
};

class FakeShell : public Shell {
 public:
  void Open(const std::string& path) override { opened.push_back(path); }
  void Explore(const std::string& folder) override { explored.push_back(folder); }
  std::vector<std::string> opened;
  std::vector<std::string> explored;
};

// Everything a window needs, with the settings in a fresh INI file.
struct WindowEnv {
  QTemporaryDir dir;
  QtSettingsStore store{dir.filePath(QStringLiteral("settings.ini")).toStdString()};
  FakePrompter prompter;
  FakeShell shell;
  WindowServices services{store, prompter, shell, InstallationFolder()};
};

// Acts on the next modal window as soon as it is open (it blocks in exec()),
// for instance to inspect and close the options window.
// Gives up after about two seconds, so a window that never opens cannot
// reach into a later test.
inline void WhenModalOpens(std::function<void(QWidget*)> act) {
  auto* timer = new QTimer;
  timer->setInterval(5);
  auto tries = std::make_shared<int>(400);
  QObject::connect(timer, &QTimer::timeout, [timer, act, tries] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr && --*tries > 0) return;
    timer->stop();
    timer->deleteLater();
    if (modal != nullptr) act(modal);
  });
  timer->start();
}

}  // namespace pelorin::testing

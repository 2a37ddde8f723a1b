// The Prompter that shows real Qt message boxes and file dialogs.
#pragma once

#include <string>

#include "ui/prompter.h"

namespace pelorin {

class QtPrompter : public Prompter {
 public:
  QtPrompter() = default;
  // The file dialog keeps its state (history, sidebar, last folder) in
  // state_folder instead of the per-user configuration, and is Qt's own
  // rather than the desktop's, which keeps its state where it likes. Qt's
  // other per-user state of this process goes there too.
  explicit QtPrompter(const std::string& state_folder);

  MessageAnswer ShowMessage(QWidget* parent, MessageIcon icon, MessageButtons buttons,
                            const std::string& title, const std::string& text) override;
  std::string GetOpenFileName(QWidget* parent, const std::string& title, const std::string& folder,
                              const std::string& preset) override;
  bool ShowReport(QWidget* parent, const std::string& title,
                  const std::vector<std::string>& summary, const std::vector<std::string>& items,
                  const std::string& action) override;

 private:
  bool native_dialogs_ = true;
};

}  // namespace pelorin

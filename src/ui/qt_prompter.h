// The Prompter that shows real Qt message boxes and file dialogs.
#pragma once

#include "ui/prompter.h"

namespace pelorin {

class QtPrompter : public Prompter {
 public:
  MessageAnswer ShowMessage(QWidget* parent, MessageIcon icon, MessageButtons buttons,
                            const std::string& title, const std::string& text) override;
  std::string GetOpenFileName(QWidget* parent, const std::string& title, const std::string& folder,
                              const std::string& preset) override;
};

}  // namespace pelorin

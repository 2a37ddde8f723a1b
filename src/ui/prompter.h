// Every message box and file dialog of the desktop application goes through
// this interface, so tests answer them without a person.
#pragma once

#include <string>
#include <vector>

class QWidget;

namespace pelorin {

enum class MessageIcon { kInformation, kWarning, kCritical };
// kOkCancel answers OK to Enter; kOkCancelDefaultCancel answers Cancel, for
// a question whose OK does something hard to undo.
enum class MessageButtons { kOk, kOkCancel, kOkCancelDefaultCancel };
enum class MessageAnswer { kOk, kCancel };

class Prompter {
 public:
  virtual ~Prompter() = default;
  // A modal message box. Texts may break lines with CR LF. Closing the box
  // without a button counts as Cancel (as OK when OK is the only button).
  virtual MessageAnswer ShowMessage(QWidget* parent, MessageIcon icon, MessageButtons buttons,
                                    const std::string& title, const std::string& text) = 0;
  // An open-file dialog starting in folder, with preset (a file name or an
  // empty text) already filled in; returns the chosen file, or an empty text
  // when the user cancelled.
  virtual std::string GetOpenFileName(QWidget* parent, const std::string& title,
                                      const std::string& folder, const std::string& preset) = 0;
  // A modal report: summary lines, a list of items (what was found) and a
  // button that acts on it (action, e.g. "&Create index") beside Close.
  // Returns true when the action was chosen.
  virtual bool ShowReport(QWidget* parent, const std::string& title,
                          const std::vector<std::string>& summary,
                          const std::vector<std::string>& items, const std::string& action) = 0;
};

}  // namespace pelorin

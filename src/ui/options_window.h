// The options window: edits every stored option, seeds them on the first
// opening, and holds the check a run makes before it starts.
#pragma once

#include <QDialog>
#include <array>
#include <string>
#include <vector>

#include "settings/options_check.h"
#include "ui/window_services.h"

class QCheckBox;
class QEvent;
class QLabel;
class QLayout;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QWidget;

namespace pelorin {

class OptionsWindow : public QDialog {
 public:
  // Builds the window and loads (or, on the very first opening, seeds) the
  // stored options; show it with exec(). "OK" saves every key, "Cancel",
  // Escape and the window frame save nothing.
  explicit OptionsWindow(WindowServices& services, QWidget* parent = nullptr);
  ~OptionsWindow() override;

  // Opens the tab that holds key's control and puts the focus there.
  void ShowOption(const std::string& key);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // One control bound to one key, in the order the keys are loaded and saved.
  struct Binding {
    const char* key;
    QCheckBox* check = nullptr;
    QLineEdit* line = nullptr;
    QPlainTextEdit* text = nullptr;
  };

  void BuildGeneralTab(QWidget* page);
  void BuildTemplatesTab(QWidget* page);
  void BuildTitlesTab(QWidget* page);
  void BuildDisplayTab(QWidget* page);
  QLayout* BuildButtons();
  void BindKeys();
  QLabel* OptionLabel(int index, const char* caption);

  void SeedAndLoadOptions();
  void LoadOptions();
  void SaveOptions();
  void UpdateOptionStates();
  void SaveAndClose();
  void ChooseTemplateFile(int index);
  void FocusFirstControl();

  WindowServices& services_;
  QTabWidget* tabs_ = nullptr;
  std::vector<QLabel*> labels_;  // by index; grows with the rows
  std::array<QCheckBox*, 5> general_checks_{};
  std::array<QLineEdit*, 3> general_texts_{};
  std::array<QLineEdit*, 2> template_files_{};
  QPlainTextEdit* file_types_ = nullptr;
  std::array<QLineEdit*, 3> titles_texts_{};
  std::array<QCheckBox*, 3> titles_checks_{};
  std::array<QCheckBox*, 4> display_checks_{};
  QLineEdit* thumbnail_folder_ = nullptr;
  QCheckBox* make_thumbnails_ = nullptr;
  QLineEdit* thumbnail_size_ = nullptr;
  QCheckBox* show_captions_ = nullptr;
  QCheckBox* modern_images_ = nullptr;
  QLineEdit* display_size_ = nullptr;
  // Vertical column, table, automatic.
  std::array<QRadioButton*, 3> picture_display_{};
  QLineEdit* bullet_picture_ = nullptr;
  std::array<QLineEdit*, 2> bullet_size_{};
  std::vector<Binding> bindings_;
};

// True when the stored options allow a run. Otherwise it says what is
// missing in a message box and, when the user chooses OK, opens the options
// window modally; the result is false then whatever was changed, and the user
// starts the run again.
bool CheckOptionsValid(WindowServices& services, QWidget* parent);
// The message of a failed check; when the user chooses OK, opens the options
// window on the first problem's control.
void OfferOptionsWindow(WindowServices& services, QWidget* parent,
                        const std::vector<OptionProblem>& problems);

}  // namespace pelorin

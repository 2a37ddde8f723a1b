#include "ui/options_window.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QString>
#include <QTabWidget>
#include <QVBoxLayout>
#include <cstdint>

#include "common/text_routines.h"
#include "common/version.h"
#include "settings/option_keys.h"
#include "settings/options_check.h"
#include "settings/variables.h"

namespace pelorin {

namespace {

constexpr char kCaption[] = "Pelorin - Options";
constexpr char kChooseTemplateTitle[] = "Select a template";
constexpr int kFieldWidth = 160;

QString Name(const char* base, int index) {
  return QString::fromLatin1(base) + QLatin1Char('_') + QString::number(index);
}

QCheckBox* NewCheck(const char* base, int index) {
  auto* check = new QCheckBox;
  check->setObjectName(Name(base, index));
  return check;
}

QLineEdit* NewLine(const QString& name, int width = kFieldWidth) {
  auto* line = new QLineEdit;
  line->setObjectName(name);
  line->setMinimumWidth(width);
  return line;
}

QString ToEditText(const std::string& stored) { return QString::fromStdString(CrLfToLf(stored)); }

std::string ToStoredText(const QString& edited) { return LfToCrLf(edited.toStdString()); }

// A caption as it reads, without the "&" that marks its access key.
QString Plain(const QString& caption) {
  QString text = caption;
  return text.remove(QLatin1Char('&'));
}

// The label names its control: a screen reader reads the label's text for
// it, and clicking the label or pressing its access key acts on the control
// (see eventFilter).
void NameByLabel(QLabel* label, QWidget* control) {
  label->setBuddy(control);
  control->setAccessibleName(Plain(label->text()));
}

// One row of a tab: the label in the first column, the control beside it.
// A control that holds several is named by the caller.
void AddRow(QGridLayout* grid, QLabel* label, QWidget* control) {
  const int row = grid->rowCount();
  grid->addWidget(label, row, 0);
  if (control == nullptr) return;
  grid->addWidget(control, row, 1, Qt::AlignLeft);
  if (control->focusPolicy() != Qt::NoFocus) NameByLabel(label, control);
}

QGridLayout* NewGrid(QWidget* page) {
  auto* grid = new QGridLayout(page);
  grid->setColumnStretch(0, 1);
  return grid;
}

void FinishGrid(QGridLayout* grid) { grid->setRowStretch(grid->rowCount(), 1); }

}  // namespace

OptionsWindow::OptionsWindow(WindowServices& services, QWidget* parent)
    : QDialog(parent), services_(services) {
  setObjectName(QStringLiteral("frmOptions"));
  setWindowTitle(QString::fromLatin1(kCaption));
  setModal(true);

  tabs_ = new QTabWidget;
  tabs_->setObjectName(QStringLiteral("SSTab1"));
  tabs_->setAccessibleName(QStringLiteral("Options"));
  // Access keys: each tab's, OK's and Cancel's letter is used by no label or
  // button of any tab, and no two on one tab share a letter.
  const char* const kTabs[][2] = {{"tabGeneral", "&General"},
                                  {"tabTemplates", "&Templates"},
                                  {"tabTitles", "Tit&les"},
                                  {"tabDisplay", "&Display"}};
  std::array<QWidget*, 4> pages{};
  for (std::size_t i = 0; i < pages.size(); ++i) {
    pages[i] = new QWidget;
    pages[i]->setObjectName(QString::fromLatin1(kTabs[i][0]));
    tabs_->addTab(pages[i], QString::fromLatin1(kTabs[i][1]));
  }
  BuildGeneralTab(pages[0]);
  BuildTemplatesTab(pages[1]);
  BuildTitlesTab(pages[2]);
  BuildDisplayTab(pages[3]);
  tabs_->setCurrentIndex(3);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs_);
  layout->addLayout(BuildButtons());
  BindKeys();

  // Fixed to the size with every row shown, so hiding rows never resizes it.
  setFixedSize(sizeHint());
  SeedAndLoadOptions();
  FocusFirstControl();
}

// The control to type into first: the first one of the open tab that takes
// the keyboard, or the chosen one of a row of option buttons.
void OptionsWindow::FocusFirstControl() {
  QWidget* page = tabs_->currentWidget();
  for (QWidget* widget = page->nextInFocusChain(); widget != page;
       widget = widget->nextInFocusChain()) {
    if (!page->isAncestorOf(widget) || widget->isHidden() || !widget->isEnabled() ||
        !(widget->focusPolicy() & Qt::TabFocus)) {
      continue;
    }
    if (auto* option = qobject_cast<QRadioButton*>(widget); option != nullptr) {
      if (!option->isChecked()) continue;
    }
    widget->setFocus(Qt::TabFocusReason);
    return;
  }
}

void OptionsWindow::ShowOption(const std::string& key) {
  for (const Binding& binding : bindings_) {
    if (key != binding.key) continue;
    QWidget* control = binding.check != nullptr  ? static_cast<QWidget*>(binding.check)
                       : binding.line != nullptr ? static_cast<QWidget*>(binding.line)
                                                 : static_cast<QWidget*>(binding.text);
    for (int i = 0; i < tabs_->count(); ++i) {
      if (tabs_->widget(i)->isAncestorOf(control)) tabs_->setCurrentIndex(i);
    }
    control->setFocus(Qt::OtherFocusReason);
    return;
  }
}

OptionsWindow::~OptionsWindow() = default;

QLayout* OptionsWindow::BuildButtons() {
  auto* ok = new QPushButton(QStringLiteral("&OK"));
  ok->setObjectName(Name("cmdAction", 0));
  ok->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("&Cancel"));
  cancel->setObjectName(Name("cmdAction", 1));
  connect(ok, &QPushButton::clicked, this, [this] { SaveAndClose(); });
  connect(cancel, &QPushButton::clicked, this, [this] { reject(); });
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  return buttons;
}

// Every control bound to its key, in the order the key table lists them.
void OptionsWindow::BindKeys() {
  const char* const kGeneralChecks[] = {keys::kShowPics, keys::kScalePics, keys::kUseThumbnails,
                                        keys::kThumbnailSubdir, keys::kPicsInHtml};
  for (int i = 0; i < 5; ++i) bindings_.push_back({kGeneralChecks[i], general_checks_[i]});
  const char* const kGeneralTexts[] = {keys::kIndexFilename, keys::kScalePercent,
                                       keys::kThumbnailPrefix};
  for (int i = 0; i < 3; ++i) bindings_.push_back({kGeneralTexts[i], nullptr, general_texts_[i]});
  bindings_.push_back({keys::kMainTemplate, nullptr, template_files_[0]});
  bindings_.push_back({keys::kPictureTemplate, nullptr, template_files_[1]});
  bindings_.push_back({keys::kFileTypes, nullptr, nullptr, file_types_});
  const char* const kTitleTexts[] = {keys::kPageTitle, keys::kKeywords, keys::kSeparator};
  for (int i = 0; i < 3; ++i) bindings_.push_back({kTitleTexts[i], nullptr, titles_texts_[i]});
  const char* const kTitleChecks[] = {keys::kDynamicTitle, keys::kDynamicDescription,
                                      keys::kDynamicKeywords};
  for (int i = 0; i < 3; ++i) bindings_.push_back({kTitleChecks[i], titles_checks_[i]});
  bindings_.push_back({keys::kOpenIndexWhenDone, display_checks_[1]});
  bindings_.push_back({keys::kCloseWhenDone, display_checks_[2]});
  bindings_.push_back({keys::kThumbnailFolder, nullptr, thumbnail_folder_});
  // PictureDisplay is bound to its two option buttons in LoadOptions and
  // SaveOptions.
  bindings_.push_back({keys::kShowHeadings, display_checks_[0]});
  bindings_.push_back({keys::kCategoriesInOneLine, display_checks_[3]});
  bindings_.push_back({keys::kBulletPicture, nullptr, bullet_picture_});
  bindings_.push_back({keys::kBulletWidth, nullptr, bullet_size_[0]});
  bindings_.push_back({keys::kBulletHeight, nullptr, bullet_size_[1]});
  bindings_.push_back({keys::kMakeThumbnails, make_thumbnails_});
  bindings_.push_back({keys::kThumbnailSize, nullptr, thumbnail_size_});
  bindings_.push_back({keys::kShowCaptions, show_captions_});
  bindings_.push_back({keys::kModernImages, modern_images_});
  bindings_.push_back({keys::kDisplaySize, nullptr, display_size_});
}

QLabel* OptionsWindow::OptionLabel(int index, const char* caption) {
  auto* label = new QLabel(QString::fromLatin1(caption));
  label->setObjectName(Name("lblOptionLabel", index));
  label->installEventFilter(this);
  const auto at = static_cast<std::size_t>(index);
  if (at >= labels_.size()) labels_.resize(at + 1, nullptr);
  labels_[at] = label;
  return label;
}

// A click on a label toggles its check box or puts the focus in its field.
// A label beside option buttons, clicked or by its access key, puts the focus
// on the chosen one and never changes the choice.
bool OptionsWindow::eventFilter(QObject* watched, QEvent* event) {
  auto* label = qobject_cast<QLabel*>(watched);
  QWidget* control = label != nullptr ? label->buddy() : nullptr;
  const bool clicked = event->type() == QEvent::MouseButtonRelease &&
                       static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
  const bool options = qobject_cast<QRadioButton*>(control) != nullptr;
  if (control == nullptr || !(clicked || (options && event->type() == QEvent::Shortcut))) {
    return QDialog::eventFilter(watched, event);
  }
  if (!control->isEnabled() || !control->isVisible()) return true;
  if (options) {
    for (QRadioButton* option : picture_display_) {
      if (option->isChecked()) control = option;
    }
    control->setFocus(Qt::ShortcutFocusReason);
    return true;
  }
  control->setFocus(Qt::MouseFocusReason);
  if (auto* button = qobject_cast<QAbstractButton*>(control); button != nullptr) button->click();
  return true;
}

void OptionsWindow::BuildGeneralTab(QWidget* page) {
  for (int i = 0; i < 5; ++i) {
    general_checks_[i] = NewCheck("chkGeneralOptions", i);
    connect(general_checks_[i], &QCheckBox::toggled, this, [this] { UpdateOptionStates(); });
  }
  for (int i = 0; i < 3; ++i) general_texts_[i] = NewLine(Name("txtGeneralOptions", i));
  QGridLayout* grid = NewGrid(page);
  AddRow(grid, OptionLabel(0, "Specify a &filename for the indexes"), general_texts_[0]);
  AddRow(grid, OptionLabel(1, "Should the indexes contain the &pictures themselves?"),
         general_checks_[0]);
  AddRow(grid, OptionLabel(2, "Should these pictures be sc&aled"), general_checks_[1]);
  AddRow(grid, OptionLabel(3, "Scale to what perce&ntage of screen width?"), general_texts_[1]);
  AddRow(grid, OptionLabel(4, "Are t&humbnail files available?"), general_checks_[2]);
  AddRow(grid, OptionLabel(5, "How are the thumbnail files p&refixed?"), general_texts_[2]);
  AddRow(grid, OptionLabel(6, "Are the thumbnails in a su&bdirectory?"), general_checks_[3]);
  thumbnail_folder_ = NewLine(QStringLiteral("txtThumbnailFolder"));
  AddRow(grid, OptionLabel(29, "Na&me of the thumbnail subdirectory"), thumbnail_folder_);
  make_thumbnails_ = new QCheckBox;
  make_thumbnails_->setObjectName(QStringLiteral("chkMakeThumbnails"));
  AddRow(grid, OptionLabel(30, "Ma&ke missing thumbnails?"), make_thumbnails_);
  thumbnail_size_ = NewLine(QStringLiteral("txtThumbnailSize"), 60);
  thumbnail_size_->setMaximumWidth(72);
  AddRow(grid, OptionLabel(31, "Thumbnail si&ze in pixels"), thumbnail_size_);
  AddRow(grid, OptionLabel(7, "Should each picture be displayed in its o&wn HTML page?"),
         general_checks_[4]);
  FinishGrid(grid);
}

void OptionsWindow::BuildTemplatesTab(QWidget* page) {
  auto* grid = new QGridLayout(page);
  grid->setColumnStretch(0, 1);
  const char* const kCaptions[] = {"Template for &index files",
                                   "Template in which to display &picture files"};
  // The buttons keep their short caption; their access keys are told in
  // their tooltips.
  const char kChooseKeys[] = {'B', 'R'};
  for (int i = 0; i < 2; ++i) {
    template_files_[i] = NewLine(Name("txtTemplateFilename", i), 320);
    auto* choose = new QPushButton(QStringLiteral("..."));
    choose->setObjectName(Name("cmdChooseTemplateFile", i));
    choose->setAutoDefault(false);
    choose->setFixedWidth(choose->fontMetrics().horizontalAdvance(QStringLiteral("...")) + 24);
    connect(choose, &QPushButton::clicked, this, [this, i] { ChooseTemplateFile(i); });
    const int row = grid->rowCount();
    QLabel* label = OptionLabel(8 + i, kCaptions[i]);
    NameByLabel(label, template_files_[i]);
    choose->setAccessibleName(QStringLiteral("Choose the ") + Plain(label->text()).toLower());
    choose->setShortcut(QKeySequence(Qt::ALT | Qt::Key(kChooseKeys[i])));
    choose->setToolTip(choose->accessibleName() + QStringLiteral(" (") +
                       choose->shortcut().toString(QKeySequence::NativeText) + QLatin1Char(')'));
    grid->addWidget(label, row, 0, 1, 2);
    grid->addWidget(template_files_[i], row + 1, 0);
    grid->addWidget(choose, row + 1, 1);
  }
  file_types_ = new QPlainTextEdit;
  file_types_->setObjectName(QStringLiteral("txtFileTypesToIndex"));
  file_types_->setTabChangesFocus(true);
  const int row = grid->rowCount();
  QLabel* types_label = OptionLabel(10, "File t&ypes to index");
  NameByLabel(types_label, file_types_);
  grid->addWidget(types_label, row, 0, 1, 2);
  grid->addWidget(file_types_, row + 1, 0, 1, 2);
  grid->setRowStretch(row + 1, 1);
}

void OptionsWindow::BuildTitlesTab(QWidget* page) {
  for (int i = 0; i < 3; ++i) {
    titles_texts_[i] = NewLine(Name("txtTitles", i));
    titles_checks_[i] = NewCheck("chkTitles", i);
  }
  QGridLayout* grid = NewGrid(page);
  AddRow(grid, OptionLabel(11, "Default title for &pages"), titles_texts_[0]);
  AddRow(grid, OptionLabel(12, "Include category name in t&itle?"), titles_checks_[0]);
  AddRow(grid, OptionLabel(13, "Include category name in d&escription?"), titles_checks_[1]);
  AddRow(grid, OptionLabel(14, "Include category name in &keywords"), titles_checks_[2]);
  AddRow(grid, OptionLabel(15, "Additional key&words"), titles_texts_[1]);
  AddRow(grid, OptionLabel(16, "Text used to separate su&bcategories"), titles_texts_[2]);
  FinishGrid(grid);
}

void OptionsWindow::BuildDisplayTab(QWidget* page) {
  for (int i = 0; i < 4; ++i) display_checks_[i] = NewCheck("chkDisplayOptions", i);
  QGridLayout* grid = NewGrid(page);

  auto* pictures = new QWidget;
  auto* pictures_row = new QHBoxLayout(pictures);
  pictures_row->setContentsMargins(0, 0, 0, 0);
  // "Automatic" stands for the stored "": a table only with thumbnails.
  const char* const kDisplayAs[] = {"&Vertical column", "Ta&ble", "A&utomatic"};
  QLabel* pictures_label = OptionLabel(17, "Display pictures &as");
  for (int i = 0; i < 3; ++i) {
    picture_display_[i] = new QRadioButton(QString::fromLatin1(kDisplayAs[i]));
    picture_display_[i]->setObjectName(Name("optPictureDisplay", i));
    // Each button says its own choice; the row's label says what it chooses.
    picture_display_[i]->setAccessibleDescription(Plain(pictures_label->text()));
    pictures_row->addWidget(picture_display_[i]);
    if (i == 0) pictures_label->setBuddy(picture_display_[i]);
  }
  AddRow(grid, pictures_label, pictures);

  bullet_picture_ = NewLine(QStringLiteral("txtBulletPicture"));
  AddRow(grid, OptionLabel(18, "Optional bullet picture to use for li&sts"), bullet_picture_);

  auto* size = new QWidget;
  auto* size_row = new QHBoxLayout(size);
  size_row->setContentsMargins(0, 0, 0, 0);
  QLabel* size_label = OptionLabel(19, "Si&ze of this bullet in pixels");
  const char* const kSizeWords[] = {"wide", "high"};
  for (int i = 0; i < 2; ++i) {
    QLineEdit* field = bullet_size_[i] = NewLine(Name("txtBulletSize", i), 40);
    field->setMaximumWidth(48);
    size_row->addWidget(field);
    QLabel* unit = i == 0 ? OptionLabel(28, "&wide  and") : OptionLabel(27, "&high");
    size_row->addWidget(unit);
    unit->setBuddy(field);
    field->setAccessibleName(Plain(size_label->text()) + QStringLiteral(", ") +
                             QString::fromLatin1(kSizeWords[i]));
    if (i == 0) size_label->setBuddy(field);
  }
  AddRow(grid, size_label, size);

  AddRow(grid, OptionLabel(20, "Display Category and &Files headings"), display_checks_[0]);
  AddRow(grid, OptionLabel(21, "Display category list in o&ne line?"), display_checks_[3]);
  show_captions_ = new QCheckBox;
  show_captions_->setObjectName(QStringLiteral("chkShowCaptions"));
  AddRow(grid, OptionLabel(32, "Show p&icture names under them"), show_captions_);
  modern_images_ = new QCheckBox;
  modern_images_->setObjectName(QStringLiteral("chkModernImages"));
  AddRow(grid, OptionLabel(33, "&Modern images: sized, lazy, sharp on dense screens"),
         modern_images_);
  display_size_ = NewLine(QStringLiteral("txtDisplaySize"), 60);
  display_size_->setMaximumWidth(72);
  AddRow(grid, OptionLabel(34, "Size of the picture on its page, in pi&xels"), display_size_);
  for (int i = 22; i <= 24; ++i) AddRow(grid, OptionLabel(i, ".."), nullptr);
  AddRow(grid, OptionLabel(25, "Open index file in b&rowser when done"), display_checks_[1]);
  AddRow(grid, OptionLabel(26, "Close this &program when done"), display_checks_[2]);
  FinishGrid(grid);
}

void OptionsWindow::SeedAndLoadOptions() {
  UpdateOptionStates();
  if (!GetBoolean(services_.store, kDataHasBeenSetUp)) {
    // First opening (or the flag was removed): every key gets its first-run
    // value, the template paths under the installation folder.
    SeedFirstRunValues(services_.store, services_.installation_folder);
  } else {
    SeedMissingValues(services_.store, services_.installation_folder);
  }
  LoadOptions();
}

void OptionsWindow::LoadOptions() {
  const SettingsStore& store = services_.store;
  for (const Binding& binding : bindings_) {
    if (binding.check != nullptr) {
      binding.check->setChecked(GetNumber(store, binding.key) != 0.0);
    } else if (binding.line != nullptr) {
      binding.line->setText(QString::fromStdString(GetText(store, binding.key)));
    } else {
      binding.text->setPlainText(ToEditText(GetText(store, binding.key)));
    }
  }
  // "0" a column, "1" a table, anything else the automatic choice.
  const std::string display = GetText(store, keys::kPictureDisplay);
  picture_display_[display == "0" ? 0 : display == "1" ? 1 : 2]->setChecked(true);
}

void OptionsWindow::SaveOptions() {
  SettingsStore& store = services_.store;
  for (const Binding& binding : bindings_) {
    if (binding.check != nullptr) {
      SaveVariable(store, binding.key, static_cast<std::int16_t>(binding.check->isChecked()));
    } else if (binding.line != nullptr) {
      SaveVariable(store, binding.key, binding.line->text().toStdString());
    } else {
      SaveVariable(store, binding.key, ToStoredText(binding.text->toPlainText()));
    }
  }
  std::string display;  // "Automatic" is stored as ""
  for (int i = 0; i < 2; ++i) {
    if (picture_display_[i]->isChecked()) display = std::to_string(i);
  }
  SaveVariable(store, keys::kPictureDisplay, display);
}

void OptionsWindow::UpdateOptionStates() {
  const bool show_pics = general_checks_[0]->isChecked();
  const bool scale_pics = general_checks_[1]->isChecked();
  const bool thumbnails = general_checks_[2]->isChecked();
  // Shown or hidden, never disabled; hidden rows keep their values.
  labels_[2]->setVisible(show_pics);
  general_checks_[1]->setVisible(show_pics);
  labels_[3]->setVisible(show_pics && scale_pics);
  general_texts_[1]->setVisible(show_pics && scale_pics);
  labels_[5]->setVisible(thumbnails);
  general_texts_[2]->setVisible(thumbnails);
  labels_[6]->setVisible(thumbnails);
  const bool subfolder = thumbnails && general_checks_[3]->isChecked();
  labels_[29]->setVisible(subfolder);
  thumbnail_folder_->setVisible(subfolder);
  for (QWidget* widget :
       {static_cast<QWidget*>(labels_[30]), static_cast<QWidget*>(labels_[31]),
        static_cast<QWidget*>(make_thumbnails_), static_cast<QWidget*>(thumbnail_size_)}) {
    widget->setVisible(thumbnails);
  }
  general_checks_[3]->setVisible(thumbnails);
}

void OptionsWindow::SaveAndClose() {
  SaveOptions();
  std::string error;
  if (!services_.store.Flush(&error)) {
    services_.prompter.ShowMessage(this, MessageIcon::kWarning, MessageButtons::kOk, kAppTitle,
                                   "The options could not be saved:\r\n" + error);
  }
  accept();
}

void OptionsWindow::ChooseTemplateFile(int index) {
  QLineEdit* field = template_files_[static_cast<std::size_t>(index)];
  const std::string chosen = services_.prompter.GetOpenFileName(
      this, kChooseTemplateTitle, services_.installation_folder, field->text().toStdString());
  if (!chosen.empty()) field->setText(QString::fromStdString(chosen));
}

bool CheckOptionsValid(WindowServices& services, QWidget* parent) {
  const std::vector<OptionProblem> problems = CheckOptions(services.store);
  if (problems.empty()) return true;
  OfferOptionsWindow(services, parent, problems);
  return false;
}

void OfferOptionsWindow(WindowServices& services, QWidget* parent,
                        const std::vector<OptionProblem>& problems) {
  const std::vector<std::string> lines = OptionProblemLines(problems);
  const MessageAnswer answer =
      services.prompter.ShowMessage(parent, MessageIcon::kCritical, MessageButtons::kOkCancel,
                                    kAppTitle, OptionsCheckMessage(lines));
  if (answer == MessageAnswer::kOk) {
    OptionsWindow window(services, parent);
    if (!problems.empty()) window.ShowOption(problems.front().key);
    window.exec();
  }
}

}  // namespace pelorin

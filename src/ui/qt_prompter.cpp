#include "ui/qt_prompter.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVBoxLayout>

namespace pelorin {

namespace {

// Message texts break lines with CR LF; a label wants LF alone.
QString DisplayText(const std::string& text) {
  QString display = QString::fromStdString(text);
  display.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  return display;
}

QMessageBox::Icon BoxIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::kInformation:
      return QMessageBox::Information;
    case MessageIcon::kWarning:
      return QMessageBox::Warning;
    case MessageIcon::kCritical:
      return QMessageBox::Critical;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

QtPrompter::QtPrompter(const std::string& state_folder) : native_dialogs_(false) {
  const QString folder = QString::fromStdString(state_folder);
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder);
}

MessageAnswer QtPrompter::ShowMessage(QWidget* parent, MessageIcon icon, MessageButtons buttons,
                                      const std::string& title, const std::string& text) {
  QMessageBox box(BoxIcon(icon), QString::fromStdString(title), DisplayText(text), QMessageBox::Ok,
                  parent);
  box.setTextFormat(Qt::PlainText);
  if (buttons != MessageButtons::kOk) {
    box.addButton(QMessageBox::Cancel);
    box.setEscapeButton(QMessageBox::Cancel);
  }
  box.setDefaultButton(buttons == MessageButtons::kOkCancelDefaultCancel ? QMessageBox::Cancel
                                                                         : QMessageBox::Ok);
  box.exec();
  return box.clickedButton() == box.button(QMessageBox::Ok) ? MessageAnswer::kOk
                                                            : MessageAnswer::kCancel;
}

std::string QtPrompter::GetOpenFileName(QWidget* parent, const std::string& title,
                                        const std::string& folder, const std::string& preset) {
  QFileDialog dialog(parent, QString::fromStdString(title), QString::fromStdString(folder));
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setOption(QFileDialog::DontUseNativeDialog, !native_dialogs_);
  if (!preset.empty()) dialog.selectFile(QString::fromStdString(preset));
  if (dialog.exec() != QDialog::Accepted) return {};
  const QStringList files = dialog.selectedFiles();
  return files.isEmpty() ? std::string() : files.first().toStdString();
}

bool QtPrompter::ShowReport(QWidget* parent, const std::string& title,
                            const std::vector<std::string>& summary,
                            const std::vector<std::string>& items, const std::string& action) {
  QDialog dialog(parent);
  dialog.setObjectName(QStringLiteral("dlgReport"));
  dialog.setWindowTitle(QString::fromStdString(title));
  auto* layout = new QVBoxLayout(&dialog);
  std::string text;
  for (const std::string& line : summary) text += (text.empty() ? "" : "\n") + line;
  auto* label = new QLabel(QString::fromStdString(text), &dialog);
  label->setObjectName(QStringLiteral("lblReportSummary"));
  label->setTextFormat(Qt::PlainText);
  layout->addWidget(label);
  auto* list = new QListWidget(&dialog);
  list->setObjectName(QStringLiteral("lstReportItems"));
  for (const std::string& item : items) list->addItem(QString::fromStdString(item));
  list->setVisible(!items.empty());
  layout->addWidget(list);
  auto* buttons = new QDialogButtonBox(&dialog);
  QPushButton* act =
      buttons->addButton(QString::fromStdString(action), QDialogButtonBox::AcceptRole);
  act->setObjectName(QStringLiteral("cmdReportAction"));
  act->setDefault(true);
  buttons->addButton(QDialogButtonBox::Close)->setObjectName(QStringLiteral("cmdReportClose"));
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addWidget(buttons);
  return dialog.exec() == QDialog::Accepted;
}

}  // namespace pelorin

#include "settings/qt_settings_store.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QSettings>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <cerrno>
#include <cstring>

#include "common/version.h"

namespace pelorin {

namespace {

QString KeyPath(const std::string& section, const std::string& key) {
  return QString::fromStdString(section) + QLatin1Char('/') + QString::fromStdString(key);
}

// Where QSettings keeps the per-user store on this system.
std::string PerUserFile() {
  const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  const QString app = QString::fromLatin1(kAppTitle);
  return (folder + QLatin1Char('/') + app + QLatin1Char('/') + app + QStringLiteral(".conf"))
      .toStdString();
}

bool ExistsAndIsNotRegular(const std::string& file) {
  struct stat st;
  return ::stat(file.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
}

}  // namespace

QtSettingsStore::QtSettingsStore(const std::string& file)
    : file_(file.empty() ? PerUserFile() : file) {
  // QSettings reads the file as it is made; that must not meet a FIFO.
  if (ExistsAndIsNotRegular(file_)) return;
  if (file.empty()) {
    settings_ =
        std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                    QString::fromLatin1(kAppTitle), QString::fromLatin1(kAppTitle));
    file_ = settings_->fileName().toStdString();
  } else {
    settings_ = std::make_unique<QSettings>(QString::fromStdString(file), QSettings::IniFormat);
  }
}

QtSettingsStore::~QtSettingsStore() = default;

std::string QtSettingsStore::FileFor(const std::string& file) {
  return file.empty() ? PerUserFile() : file;
}

std::string QtSettingsStore::GetSetting(const std::string& section, const std::string& key,
                                        const std::string& default_value) const {
  if (!settings_) return default_value;
  const QVariant value = settings_->value(KeyPath(section, key));
  if (!value.isValid()) return default_value;
  // A value written by hand with unquoted commas ("Hello, world") is read by
  // the INI format as a list; the person meant the text they wrote.
  if (value.typeId() == QMetaType::QStringList) {
    return value.toStringList().join(QStringLiteral(", ")).toStdString();
  }
  return value.toString().toStdString();
}

void QtSettingsStore::SaveSetting(const std::string& section, const std::string& key,
                                  const std::string& value) {
  if (settings_) settings_->setValue(KeyPath(section, key), QString::fromStdString(value));
}

std::string QtSettingsStore::FileName() const { return file_; }

bool QtSettingsStore::CheckReadable(std::string* error) const {
  const std::string file = FileName();
  if (!settings_) {
    *error = "cannot read the settings file " + file + ": not a regular file";
    return false;
  }
  if (::access(file.c_str(), F_OK) == 0 && ::access(file.c_str(), R_OK) != 0) {
    *error = "cannot read the settings file " + file + ": " + std::strerror(errno);
    return false;
  }
  if (settings_->status() == QSettings::FormatError) {
    *error = "the settings file " + file + " is not a valid settings file";
    return false;
  }
  if (settings_->status() == QSettings::AccessError) {
    *error = "cannot read the settings file " + file;
    return false;
  }
  return true;
}

bool QtSettingsStore::Flush(std::string* error) {
  if (!settings_) {
    *error = "cannot write the settings file " + FileName() + ": not a regular file";
    return false;
  }
  settings_->sync();
  if (settings_->status() != QSettings::NoError) {
    *error = "cannot write the settings file " + FileName();
    if (::access(FileName().c_str(), W_OK) != 0 && errno != ENOENT) {
      *error += std::string(": ") + std::strerror(errno);
    }
    return false;
  }
  return true;
}

}  // namespace pelorin

#include "settings/qt_settings_store.h"

#include <unistd.h>

#include <QSettings>
#include <QString>
#include <cerrno>
#include <cstring>

#include "common/version.h"

namespace pelorin {

namespace {

QString KeyPath(const std::string& section, const std::string& key) {
  return QString::fromStdString(section) + QLatin1Char('/') + QString::fromStdString(key);
}

}  // namespace

QtSettingsStore::QtSettingsStore(const std::string& file) {
  if (file.empty()) {
    settings_ =
        std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                    QString::fromLatin1(kAppTitle), QString::fromLatin1(kAppTitle));
  } else {
    settings_ = std::make_unique<QSettings>(QString::fromStdString(file), QSettings::IniFormat);
  }
}

QtSettingsStore::~QtSettingsStore() = default;

std::string QtSettingsStore::GetSetting(const std::string& section, const std::string& key,
                                        const std::string& default_value) const {
  const QVariant value = settings_->value(KeyPath(section, key));
  if (!value.isValid()) return default_value;
  return value.toString().toStdString();
}

void QtSettingsStore::SaveSetting(const std::string& section, const std::string& key,
                                  const std::string& value) {
  settings_->setValue(KeyPath(section, key), QString::fromStdString(value));
}

std::string QtSettingsStore::FileName() const { return settings_->fileName().toStdString(); }

bool QtSettingsStore::CheckReadable(std::string* error) const {
  const std::string file = FileName();
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

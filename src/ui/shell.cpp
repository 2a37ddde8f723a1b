#include "ui/shell.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

namespace pelorin {

void DesktopShell::Open(const std::string& path) {
  QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

// A folder's URL makes the desktop's opener start the file manager on it.
void DesktopShell::Explore(const std::string& folder) { Open(folder); }

}  // namespace pelorin

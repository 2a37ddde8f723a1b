// What the application asks of the desktop: open a document with its
// associated program, open a folder in the file manager. Tests record the
// requests instead.
#pragma once

#include <string>

namespace pelorin {

class Shell {
 public:
  virtual ~Shell() = default;
  // Failures (no associated program, no such file) are not reported.
  virtual void Open(const std::string& path) = 0;
  virtual void Explore(const std::string& folder) = 0;
};

// Hands both requests to the desktop's opener (xdg-open on Linux).
class DesktopShell : public Shell {
 public:
  void Open(const std::string& path) override;
  void Explore(const std::string& folder) override;
};

}  // namespace pelorin

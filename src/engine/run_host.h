// What an indexing run needs from the program that hosts it: the desktop
// window or the command line. The engine knows nothing else about either.
#pragma once

#include <string>

namespace pelorin {

struct Failure {
  // The folder's path, ending in a separator, or a picture's path.
  std::string folder;
  std::string reason;  // what went wrong, with the system's reason
  // A picture's thumbnail or page failed, not a folder's page.
  bool picture = false;
};

class RunHost {
 public:
  virtual ~RunHost() = default;
  // A yes/no question (the risky-folder warning); true means go on.
  virtual bool AskYesNo(const std::string& title, const std::string& text) = 0;
  // The status line after every report.
  virtual void ShowStatus(const std::string& line) = 0;
  // Lets the host handle its events; called once per report.
  virtual void Yield() = 0;
  // Opens a document (the top page) with the desktop's opener.
  virtual void OpenDocument(const std::string& path) = 0;
  // A folder failed; the run goes on. Called on the run's thread.
  virtual void FolderFailed(const Failure& failure) { (void)failure; }
  // The walk is about to start (any confirmation has been given) and has just
  // ended (after "Finish", before the top page is opened). A window enters
  // and leaves its busy state here.
  virtual void RunStarting() {}
  virtual void RunEnded() {}
};

}  // namespace pelorin

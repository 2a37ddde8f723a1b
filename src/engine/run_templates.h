// The templates of one run, each read once as one whole version before the
// first folder, so that every page of the run comes from the same text
// whatever happens to the files later; and, when the run ends, whether the
// files still hold what was read.
#pragma once

#include <sys/stat.h>

#include <memory>
#include <string>

#include "engine/page_generator.h"
#include "engine/page_writer.h"

namespace pelorin {

class RunTemplates {
 public:
  // Reads the page template; false with the reason when there is no whole
  // version of it to make pages from.
  bool LoadMain(const std::string& path, std::string* error);
  // Reads the picture template; when it cannot be read, picture() is null
  // and picture_error() says why.
  void LoadPicture(const std::string& path);

  const std::shared_ptr<const PageTemplate>& main() const { return main_.page; }
  const std::shared_ptr<const PageTemplate>& picture() const { return picture_.page; }
  const std::string& picture_error() const { return picture_error_; }
  std::size_t main_size() const { return main_.text.size(); }

  // Whether the file under name in the folder (as existing saw it, links
  // followed) is one of the templates: a page never overwrites its template.
  bool IsTemplateFile(int dir_fd, const std::string& name, const ExistingPage& existing) const;

  // A template loaded for the run no longer holds the text every page was
  // made from (edited, replaced, deleted or made unreadable). A change that
  // leaves the bytes as they were (a save of the same text) is no change.
  bool ChangedSinceLoaded() const;

 private:
  struct Loaded {
    std::string path;
    struct stat st {};  // the file as it was while it was read
    std::string text;
    std::shared_ptr<const PageTemplate> page;  // shared with pages still to be made
  };
  static bool Load(const std::string& path, Loaded* loaded, std::string* error);
  static bool Changed(const Loaded& loaded);

  Loaded main_;
  Loaded picture_;
  std::string picture_error_;
};

}  // namespace pelorin

// The thumbnail maker the programs use. libvips comes in a module
// (pelorin2-thumbnails.so, beside the program in the build tree or under the
// installation's library folder) that is loaded the first time a thumbnail
// is made, so commands and runs that make none never load it.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "engine/thumbnail_maker.h"

namespace pelorin {

class LazyThumbnailMaker : public ThumbnailMaker {
 public:
  LazyThumbnailMaker();
  ~LazyThumbnailMaker() override;

  // Loads the module on the first call; when it cannot be loaded, every
  // thumbnail fails with the reason.
  MakeResult Make(const ThumbnailJob& job) override;
  bool ReadPictureSize(int fd, int* width, int* height) override;
  bool ReadPictureHeader(int fd, PictureHeader* header) override;

 private:
  void Load();
  bool Loaded();

  std::once_flag loaded_;
  std::unique_ptr<ThumbnailMaker> maker_;
  std::string load_error_;
};

}  // namespace pelorin

#include "thumbnails/lazy_thumbnail_maker.h"

#include <dlfcn.h>

#include <string_view>

#include "common/install_paths.h"

namespace pelorin {

namespace {

constexpr char kModuleName[] = "pelorin2-thumbnails.so";
constexpr char kEntryPoint[] = "PelorinNewThumbnailMaker";

}  // namespace

LazyThumbnailMaker::LazyThumbnailMaker() = default;

// The module stays loaded: libvips keeps threads and state that do not
// survive being unloaded.
LazyThumbnailMaker::~LazyThumbnailMaker() = default;

void LazyThumbnailMaker::Load() {
  const std::string folder = ExecutableFolder();
  std::string reasons;
  for (const std::string& path : {folder + "/" + kModuleName,
                                  folder + "/" + PELORIN_MODULE_DIR_FROM_BIN + "/" + kModuleName}) {
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
      const char* reason = ::dlerror();
      reasons = reason != nullptr ? reason : path;
      continue;
    }
    using Factory = ThumbnailMaker* (*)();
    auto factory = reinterpret_cast<Factory>(::dlsym(handle, kEntryPoint));
    if (factory == nullptr) {
      reasons = path + ": no " + kEntryPoint;
      continue;
    }
    maker_.reset(factory());
    return;
  }
  load_error_ = "cannot load the picture library: " + reasons;
}

bool LazyThumbnailMaker::Loaded() {
  std::call_once(loaded_, [this] { Load(); });
  return maker_ != nullptr;
}

MakeResult LazyThumbnailMaker::Make(const ThumbnailJob& job) {
  if (!Loaded()) return {MakeStatus::kFailed, load_error_, {}};
  return maker_->Make(job);
}

bool LazyThumbnailMaker::ReadPictureSize(int fd, int* width, int* height) {
  return Loaded() && maker_->ReadPictureSize(fd, width, height);
}

bool LazyThumbnailMaker::ReadPictureHeader(int fd, PictureHeader* header) {
  return Loaded() && maker_->ReadPictureHeader(fd, header);
}

}  // namespace pelorin

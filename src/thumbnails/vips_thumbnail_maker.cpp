#include "thumbnails/vips_thumbnail_maker.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vips/vips.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <string_view>

namespace pelorin {

namespace {

// Owns one reference to a GObject (a source, a target, an image).
struct Unref {
  void operator()(void* object) const { g_object_unref(object); }
};
template <typename T>
using Ref = std::unique_ptr<T, Unref>;

// What each format is written with. JPEG is progressive, so that a page of
// thumbnails shows every one at once, coarse first; GIF keeps only the first
// frame, since the thumbnail loads only that one.
const char* SaveSuffix(ThumbnailFormat format) {
  switch (format) {
    case ThumbnailFormat::kJpeg:
      return ".jpg[Q=85,interlace,optimize_coding,strip]";
    case ThumbnailFormat::kPng:
      return ".png[strip]";
    case ThumbnailFormat::kGif:
      return ".gif[strip]";
    case ThumbnailFormat::kWebp:
      return ".webp[strip]";
  }
  return ".jpg";
}

// The loaders of the formats a thumbnail is made of (base classes). Every
// other loader is blocked: a picture's bytes come from whoever filled the
// tree, and a file named photo.jpg must not reach the PDF, SVG or matrix
// loaders.
constexpr const char* kAllowedLoaders[] = {"VipsForeignLoadJpeg", "VipsForeignLoadPng",
                                           "VipsForeignLoadNsgif", "VipsForeignLoadWebp"};

// True for the class name of a loader below one of kAllowedLoaders.
bool IsAllowedLoader(const char* name) {
  if (name == nullptr) return false;
  for (std::string_view allowed : kAllowedLoaders) {
    if (std::string_view(name).starts_with(allowed)) return true;
  }
  return false;
}

// libvips prints a decoder's warnings (a damaged strip, a bad checksum) on
// stderr; a run reports what failed itself, so they are dropped.
void DropWarning(const char*, GLogLevelFlags, const char*, void*) {}

// Starts libvips once per process; the reason it could not start, or empty.
const std::string& StartVips() {
  static std::once_flag once;
  static std::string failure;
  std::call_once(once, [] {
    if (VIPS_INIT("pelorin2") != 0) {
      failure = "libvips did not start";
      vips_error_clear();
      return;
    }
    // Each picture is opened once and streamed: caching operations would
    // only hold memory.
    vips_cache_set_max(0);
    vips_operation_block_set("VipsForeignLoad", TRUE);
    for (const char* loader : kAllowedLoaders) vips_operation_block_set(loader, FALSE);
    g_log_set_handler("VIPS", G_LOG_LEVEL_WARNING, DropWarning, nullptr);
  });
  return failure;
}

// libvips keeps one error text for the whole process. Failures on two
// threads at the same moment may therefore share or swap their detail; the
// reason given before it is always this call's own.
bool Fail(std::string* error, const char* reason, bool with_detail) {
  char* buffer = vips_error_buffer_copy();  // also clears it
  std::string detail;
  if (with_detail && buffer != nullptr) {
    // The first line says what went wrong; later ones what gave up because of it.
    detail = buffer;
    detail = detail.substr(0, detail.find('\n'));
    constexpr std::size_t kMaxDetail = 200;
    if (detail.size() > kMaxDetail) detail.resize(kMaxDetail);
  }
  g_free(buffer);
  *error = reason;
  if (!detail.empty()) *error += ": " + detail;
  return false;
}

}  // namespace

VipsThumbnailMaker::VipsThumbnailMaker(const VipsThumbnailOptions& options) : options_(options) {}

bool VipsThumbnailMaker::Make(int picture_fd, ThumbnailFormat format, int size, int out_fd,
                              std::string* error) {
  // libvips starts with the first thumbnail, not with the maker: a run
  // whose thumbnails are all up to date never pays for it.
  if (const std::string& failure = StartVips(); !failure.empty()) {
    *error = failure;
    return false;
  }
  std::call_once(threads_set_, [this] { vips_concurrency_set(options_.vips_threads); });
  if (size < 1) {
    *error = "thumbnail size below one pixel";
    return false;
  }
  struct stat st {};
  if (fstat(picture_fd, &st) != 0) {
    *error = std::strerror(errno);
    return false;
  }
  // A pipe would block the thread until someone writes to it, a device
  // never end; neither is a picture in a folder.
  if (!S_ISREG(st.st_mode)) {
    *error = "not a regular file";
    return false;
  }
  if (lseek(picture_fd, 0, SEEK_SET) != 0) {
    *error = std::strerror(errno);
    return false;
  }

  Ref<VipsSource> source(vips_source_new_from_descriptor(picture_fd));
  if (!source) return Fail(error, "cannot read", true);
  if (!IsAllowedLoader(vips_foreign_find_load_source(source.get()))) {
    return Fail(error, "not a picture", false);
  }

  // The header alone, to refuse a picture that claims more pixels than any
  // photograph before a single strip of it is decoded.
  bool has_profile = false;
  {
    Ref<VipsImage> header(
        vips_image_new_from_source(source.get(), "", "access", VIPS_ACCESS_SEQUENTIAL, nullptr));
    if (!header) return Fail(error, "damaged picture", true);
    const std::int64_t width = vips_image_get_width(header.get());
    const std::int64_t height = vips_image_get_height(header.get());
    if (width * height > options_.max_pixels) {
      vips_error_clear();
      *error = "too large: " + std::to_string(width) + " x " + std::to_string(height) + " pixels";
      return false;
    }
    has_profile = vips_image_get_typeof(header.get(), VIPS_META_ICC_NAME) != 0;
  }

  // Without a profile a picture is taken to be sRGB already, as browsers do;
  // with one, it is transformed, so that a wide-gamut photo keeps its look.
  // fail_on goes to the loader in the option string too: with the argument
  // alone, libvips 8.14 makes a thumbnail of a JPEG cut short, grey below
  // the cut.
  VipsImage* thumbnail = nullptr;
  const int made =
      has_profile ? vips_thumbnail_source(source.get(), &thumbnail, size, "height", size, "size",
                                          VIPS_SIZE_DOWN, "fail_on", VIPS_FAIL_ON_TRUNCATED,
                                          "option_string", "fail_on=truncated", "export_profile",
                                          "srgb", nullptr)
                  : vips_thumbnail_source(source.get(), &thumbnail, size, "height", size, "size",
                                          VIPS_SIZE_DOWN, "fail_on", VIPS_FAIL_ON_TRUNCATED,
                                          "option_string", "fail_on=truncated", nullptr);
  if (made != 0) return Fail(error, "damaged picture", true);
  Ref<VipsImage> thumbnail_ref(thumbnail);

  // Decoding happens here, strip by strip, as the encoder asks for pixels:
  // a picture cut short fails here as well as a full disk does.
  Ref<VipsTarget> target(vips_target_new_to_descriptor(out_fd));
  if (!target) return Fail(error, "cannot make thumbnail", true);
  if (vips_image_write_to_target(thumbnail, SaveSuffix(format), target.get(), nullptr) != 0) {
    return Fail(error, "cannot make thumbnail", true);
  }
  return true;
}

}  // namespace pelorin

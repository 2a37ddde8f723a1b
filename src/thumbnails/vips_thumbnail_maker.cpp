#include "thumbnails/vips_thumbnail_maker.h"

#include <fcntl.h>
#include <lcms2.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vips/vips.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>

#include "common/folder_reader.h"
#include "engine/thumbnail_mark.h"

namespace pelorin {

namespace {

// Owns one reference to a GObject (a source, a target, an image).
struct Unref {
  void operator()(void* object) const { g_object_unref(object); }
};
template <typename T>
using Ref = std::unique_ptr<T, Unref>;

// The loaders of the formats a thumbnail is made of (base classes, from the
// table of picture formats), with the word their error texts carry. Every
// other loader is blocked: a picture's bytes come from whoever filled the
// tree, and a file named photo.jpg must not reach the PDF, SVG or matrix
// loaders.
using Loader = PictureFormat;

// The allowed loader a class name belongs to, or null.
const Loader* AllowedLoader(const char* name) {
  if (name == nullptr) return nullptr;
  for (const Loader& loader : kPictureFormats) {
    if (!loader.loader.empty() && std::string_view(name).starts_with(loader.loader)) {
      return &loader;
    }
  }
  return nullptr;
}

// libvips gives a decoder's warnings (a bad checksum, a damaged strip) to
// GLib's log, on the thread that decodes. Every picture is decoded on the
// thread that makes its thumbnail, so the warnings are kept per thread as
// the detail of a failure; they never reach stderr.
thread_local std::vector<std::string>* t_warnings = nullptr;

void KeepWarning(const char*, GLogLevelFlags, const char* message, void*) {
  if (t_warnings != nullptr && message != nullptr && t_warnings->size() < 8) {
    t_warnings->emplace_back(message);
  }
}

// Collects this thread's warnings for as long as it lives.
class WarningCapture {
 public:
  WarningCapture() { t_warnings = &lines_; }
  ~WarningCapture() { t_warnings = nullptr; }
  WarningCapture(const WarningCapture&) = delete;
  WarningCapture& operator=(const WarningCapture&) = delete;
  const std::vector<std::string>& lines() const { return lines_; }

 private:
  std::vector<std::string> lines_;
};

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
    for (const Loader& loader : kPictureFormats) {
      if (loader.loader.empty()) continue;
      vips_operation_block_set(std::string(loader.loader).c_str(), FALSE);
    }
    g_log_set_handler("VIPS", G_LOG_LEVEL_WARNING, KeepWarning, nullptr);
  });
  return failure;
}

std::string AsciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return out;
}

// What kind of damage a line of a decoder's text tells of, or empty.
std::string DamageKind(const std::string& line) {
  const std::string text = AsciiLower(line);
  if (text.find("crc") != std::string::npos || text.find("checksum") != std::string::npos) {
    return "checksum error";
  }
  for (const char* cut : {"premature end", "truncated", "end of file", "not enough"}) {
    if (text.find(cut) != std::string::npos) return "cut short";
  }
  return {};
}

// The reason a picture that did not decode gets: always this maker's own
// words, with the kind of damage when the decoder told it. libvips keeps
// one error text for the whole process, where the failures of all threads
// meet: it is only read for lines of the picture's own decoder, after this
// thread's own warnings.
std::string DamageReason(const Loader* loader, const WarningCapture& capture) {
  static std::mutex mutex;
  std::string text;
  {
    std::lock_guard<std::mutex> lock(mutex);
    if (char* buffer = vips_error_buffer_copy(); buffer != nullptr) {  // also clears it
      text = buffer;
      g_free(buffer);
    }
  }
  std::vector<std::string> lines = capture.lines();
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    const std::size_t colon = line.find(':');
    if (loader != nullptr && colon != std::string::npos &&
        AsciiLower(line.substr(0, colon)).find(loader->error_word) != std::string::npos) {
      lines.push_back(line);
    }
  }
  for (const std::string& line : lines) {
    if (const std::string kind = DamageKind(line); !kind.empty()) {
      return "damaged picture data (" + kind + ")";
    }
  }
  return "damaged picture data";
}

MakeResult Failed(std::string reason) {
  vips_error_clear();
  MakeResult result;
  result.error = std::move(reason);
  return result;
}

// Bytes a picture takes while it is decoded whole, or 0 when it streams.
// Measured with libvips 8.14: an interlaced PNG takes its pixels and a
// quarter more, a progressive JPEG its coefficients (two bytes a sample,
// fewer where colour is subsampled), a GIF about five and a half bytes a
// pixel whatever its depth.
std::int64_t WholeDecodeBytes(const Loader& loader, VipsImage* header) {
  const std::int64_t pixels =
      std::int64_t{vips_image_get_width(header)} * vips_image_get_height(header);
  int interlaced = 0;
  if (vips_image_get_typeof(header, "interlaced") != 0) {
    vips_image_get_int(header, "interlaced", &interlaced);
  }
  const std::string_view word = loader.error_word;
  if (word == "gif") return pixels * 11 / 2;
  if (interlaced == 0) return 0;
  const int bands = vips_image_get_bands(header);
  if (word == "png") {
    return pixels * bands * static_cast<std::int64_t>(vips_format_sizeof(header->BandFmt)) * 5 / 4;
  }
  if (word == "jpeg") {
    const char* subsample = nullptr;
    const bool halved = vips_image_get_typeof(header, "jpeg-chroma-subsample") != 0 &&
                        vips_image_get_string(header, "jpeg-chroma-subsample", &subsample) == 0 &&
                        std::string_view(subsample) == "4:2:0";
    return pixels * (bands == 3 && halved ? 3 : 2 * bands) + (pixels / 16);
  }
  return 0;
}

// A progressive JPEG is decoded scan by scan inside libjpeg, where nothing
// can stop it; a legal file of 700 KB can hold thousands of scans and take
// a minute. Encoders write about ten; more than this is refused unread.
constexpr int kMaxJpegScans = 64;

// The number of scans in the JPEG open at fd, counting at most limit + 1.
int CountJpegScans(int fd, int limit) {
  char buffer[65536];
  off_t offset = 0;
  int scans = 0;
  bool marker = false;    // the last byte was 0xFF
  std::int64_t skip = 0;  // bytes of a marker segment still to pass over
  int length_bytes = 0;   // of the segment length still to read
  std::uint32_t length = 0;
  for (;;) {
    const ssize_t n = ::pread(fd, buffer, sizeof buffer, offset);
    if (n <= 0) return scans;
    offset += n;
    for (ssize_t i = 0; i < n; ++i) {
      const auto byte = static_cast<unsigned char>(buffer[i]);
      if (skip > 0) {
        const std::int64_t step = std::min<std::int64_t>(skip, n - i);
        skip -= step;
        i += step - 1;
        continue;
      }
      if (length_bytes > 0) {
        length = length << 8 | byte;
        if (--length_bytes == 0) skip = length > 2 ? length - 2 : 0;
        continue;
      }
      if (!marker) {
        marker = byte == 0xFF;
        continue;
      }
      marker = byte == 0xFF;  // fill bytes
      if (byte == 0x00 || byte == 0xFF || byte == 0xD8 || (byte >= 0xD0 && byte <= 0xD7)) {
        continue;
      }
      if (byte == 0xD9) return scans;
      if (byte == 0xDA && ++scans > limit) return scans;
      length_bytes = 2;
      length = 0;
    }
  }
}

// How a picture's colour profile is used: with the first rendering intent
// it supports (not every profile has the usual relative one), or not at
// all, with the reason as a warning.
struct ProfileUse {
  bool transform = false;
  VipsIntent intent = VIPS_INTENT_RELATIVE;
  std::string warning;
};

ProfileUse JudgeProfile(VipsImage* header) {
  ProfileUse use;
  const void* data = nullptr;
  std::size_t length = 0;
  if (vips_image_get_typeof(header, VIPS_META_ICC_NAME) == 0) return use;
  if (vips_image_get_blob(header, VIPS_META_ICC_NAME, &data, &length) != 0) {
    vips_error_clear();
    return use;
  }
  const cmsHPROFILE profile = cmsOpenProfileFromMem(data, static_cast<cmsUInt32Number>(length));
  if (profile == nullptr) {
    use.warning = "its colour profile cannot be read; the colours are shown as stored";
    return use;
  }
  const cmsColorSpaceSignature space = cmsGetColorSpace(profile);
  const int bands = vips_image_get_bands(header);
  const bool cmyk = vips_image_get_interpretation(header) == VIPS_INTERPRETATION_CMYK;
  const bool fits = cmyk ? space == cmsSigCmykData
                         : (bands >= 3 ? space == cmsSigRgbData : space == cmsSigGrayData);
  if (!fits) {
    use.warning = "its colour profile does not fit its colours; the colours are shown as stored";
  } else {
    constexpr struct {
      cmsUInt32Number lcms;
      VipsIntent vips;
    } kIntents[] = {{INTENT_RELATIVE_COLORIMETRIC, VIPS_INTENT_RELATIVE},
                    {INTENT_PERCEPTUAL, VIPS_INTENT_PERCEPTUAL},
                    {INTENT_SATURATION, VIPS_INTENT_SATURATION},
                    {INTENT_ABSOLUTE_COLORIMETRIC, VIPS_INTENT_ABSOLUTE}};
    for (const auto& intent : kIntents) {
      if (cmsIsIntentSupported(profile, intent.lcms, LCMS_USED_AS_INPUT)) {
        use.transform = true;
        use.intent = intent.vips;
        break;
      }
    }
    if (!use.transform) {
      use.warning = "its colour profile converts no colours; the colours are shown as stored";
    }
  }
  cmsCloseProfile(profile);
  return use;
}

// Every field that is not part of the pixels: EXIF (with the place a photo
// was taken), XMP, IPTC, the ICC profile, comments, frame counts. Some
// savers (WebP in libvips 8.14) write whatever fields remain whatever
// "strip" says, so the fields themselves go.
void RemoveMetadata(VipsImage* image) {
  gchar** fields = vips_image_get_fields(image);
  for (gchar** field = fields; *field != nullptr; ++field) vips_image_remove(image, *field);
  g_strfreev(fields);
}

// Every image of a pipeline checks its own kill flag whenever it is asked
// for pixels, so killing them all ends the decoding within a strip, even
// deep inside one request for a row of the thumbnail (a picture one pixel
// wide and millions high makes a single row cost seconds).
void KillPipeline(VipsImage* image) {
  vips_image_set_kill(image, TRUE);
  for (GSList* link = image->upstream; link != nullptr; link = link->next) {
    KillPipeline(static_cast<VipsImage*>(link->data));
  }
}

// Watches one thumbnail's decoding from a thread of its own and kills its
// pipeline at the stop or the deadline, whichever comes first.
class Watchdog {
 public:
  Watchdog(VipsImage* image, std::stop_token stop, std::chrono::steady_clock::time_point deadline)
      : thread_([this, image, stop, deadline] {
          std::unique_lock<std::mutex> lock(mutex_);
          if (wake_.wait_until(lock, stop, deadline, [this] { return done_; })) return;
          ended_ = stop.stop_requested() ? MakeStatus::kStopped : MakeStatus::kTookTooLong;
          KillPipeline(image);
        }) {}
  ~Watchdog() { Finish(); }
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

  // Ends the watch; kMade, or why the pipeline was killed.
  MakeStatus Finish() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
    return ended_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable_any wake_;
  bool done_ = false;
  MakeStatus ended_ = MakeStatus::kMade;
  std::thread thread_;  // last: started when the rest is ready
};

// Rows asked of a pipeline at a time: few enough that a stop or the time
// limit, which end the pipeline between two requests or inside one, are
// felt at once; enough that the pipeline is not entered once per row.
constexpr int kPullRows = 16;

// Decodes image, the end of a thumbnail pipeline, strip by strip on this
// thread (where the decoder's warnings can be told apart) into a picture
// in memory, under a watchdog for the stop and the time limit.
MakeStatus Pull(VipsImage* image, const std::stop_token& stop,
                std::chrono::steady_clock::time_point deadline, Ref<VipsImage>* out) {
  const int width = vips_image_get_width(image);
  const int height = vips_image_get_height(image);
  Ref<VipsImage> memory(vips_image_new_memory());
  vips_image_init_fields(memory.get(), width, height, vips_image_get_bands(image),
                         vips_image_get_format(image), VIPS_CODING_NONE,
                         vips_image_get_interpretation(image), 1.0, 1.0);
  if (vips_image_write_prepare(memory.get()) != 0) return MakeStatus::kFailed;
  const std::size_t line = VIPS_IMAGE_SIZEOF_LINE(image);
  Ref<VipsRegion> region(vips_region_new(image));
  Watchdog watchdog(image, stop, deadline);
  for (int y = 0; y < height; y += kPullRows) {
    const VipsRect strip{0, y, width, std::min(kPullRows, height - y)};
    if (vips_region_prepare(region.get(), &strip) != 0) {
      const MakeStatus ended = watchdog.Finish();
      return ended == MakeStatus::kMade ? MakeStatus::kFailed : ended;
    }
    for (int row = y; row < y + strip.height; ++row) {
      std::memcpy(VIPS_IMAGE_ADDR(memory.get(), 0, row), VIPS_REGION_ADDR(region.get(), 0, row),
                  line);
    }
  }
  if (const MakeStatus ended = watchdog.Finish(); ended != MakeStatus::kMade) return ended;
  *out = std::move(memory);
  return MakeStatus::kMade;
}

int WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return 0;
}

std::string Pixels(VipsImage* image) {
  return std::to_string(vips_image_get_width(image)) + " x " +
         std::to_string(vips_image_get_height(image)) + " pixels";
}

// The picture's header, opened without decoding; null when it is no
// picture the maker reads.
Ref<VipsImage> OpenHeader(int fd) {
  if (!StartVips().empty() || ::lseek(fd, 0, SEEK_SET) != 0) return nullptr;
  Ref<VipsSource> source(vips_source_new_from_descriptor(fd));
  if (!source || AllowedLoader(vips_foreign_find_load_source(source.get())) == nullptr) {
    vips_error_clear();
    return nullptr;
  }
  Ref<VipsImage> header(vips_image_new_from_source(source.get(), "", nullptr));
  if (!header) vips_error_clear();
  return header;
}

// An EXIF text field as the camera wrote it: libvips gives it as
// "VALUE (VALUE, ASCII, N components, N bytes)".
std::string ExifText(VipsImage* image, const char* field) {
  const char* text = nullptr;
  if (vips_image_get_typeof(image, field) == 0 || vips_image_get_string(image, field, &text) != 0 ||
      text == nullptr) {
    vips_error_clear();
    return {};
  }
  const std::string_view value(text);
  return std::string(value.substr(0, value.find(" (")));
}

// How much libjpeg shrinks a JPEG while it decodes it for a box of size.
// vips_thumbnail leaves its resampler at least a factor of two, so a photo
// between two and four times the box, as a photo is for a display copy,
// would be decoded whole; half its size still covers the box, and libjpeg
// halves in the frequency domain, a clean low-pass, where the whole decode
// costs half as much again (bench/README.md). 1: as vips_thumbnail decides.
int JpegHalving(const Loader& loader, VipsImage* header, int size) {
  if (std::string_view(loader.error_word) != "jpeg") return 1;
  const int longer = std::max(vips_image_get_width(header), vips_image_get_height(header));
  return longer >= 2 * size && longer < 4 * size ? 2 : 1;
}

// The pipeline of a thumbnail fitting a size x size box (never enlarged),
// upright, in sRGB: with a usable profile the picture is transformed, so
// that a wide-gamut photo keeps its look; without one it is taken to be
// sRGB already, as browsers do. fail_on goes to the loader in the option
// string too: with the argument alone, libvips 8.14 makes a thumbnail of a
// JPEG cut short, grey below the cut. Nonzero when it cannot be built.
int ThumbnailPipeline(VipsSource* source, int size, int jpeg_halving, const ProfileUse& profile,
                      Ref<VipsImage>* out) {
  VipsImage* thumbnail = nullptr;
  int failed = 0;
  if (jpeg_halving > 1) {
    const Ref<VipsImage> loaded(
        vips_image_new_from_source(source, "", "access", VIPS_ACCESS_SEQUENTIAL, "fail_on",
                                   VIPS_FAIL_ON_TRUNCATED, "shrink", jpeg_halving, nullptr));
    if (!loaded) return -1;
    failed = profile.transform
                 ? vips_thumbnail_image(loaded.get(), &thumbnail, size, "height", size, "size",
                                        VIPS_SIZE_DOWN, "export_profile", "srgb", "intent",
                                        profile.intent, nullptr)
                 : vips_thumbnail_image(loaded.get(), &thumbnail, size, "height", size, "size",
                                        VIPS_SIZE_DOWN, nullptr);
  } else {
    failed = profile.transform
                 ? vips_thumbnail_source(source, &thumbnail, size, "height", size, "size",
                                         VIPS_SIZE_DOWN, "fail_on", VIPS_FAIL_ON_TRUNCATED,
                                         "option_string", "fail_on=truncated", "export_profile",
                                         "srgb", "intent", profile.intent, nullptr)
                 : vips_thumbnail_source(source, &thumbnail, size, "height", size, "size",
                                         VIPS_SIZE_DOWN, "fail_on", VIPS_FAIL_ON_TRUNCATED,
                                         "option_string", "fail_on=truncated", nullptr);
  }
  if (failed != 0) return failed;
  out->reset(thumbnail);
  return 0;
}

// Marks an encoded image as made at size and writes it to fd; the reason
// when it cannot.
std::string WriteMarked(std::string bytes, ThumbnailFormat format, int size, int fd) {
  if (!AddThumbnailMark(&bytes, format, size)) return "cannot encode the thumbnail";
  if (const int error = WriteAll(fd, bytes.data(), bytes.size()); error != 0) {
    return ErrnoText(error);
  }
  return {};
}

// The PNG open at fd with only the chunks that make its pixels, or nullopt
// (then it is encoded anew) when it cannot be read or is larger than a
// picture that fits a box should be. Its data has just been decoded
// whole, so it is known to be sound.
std::optional<std::string> PngAsItIs(int fd) {
  constexpr off_t kLargest = off_t{64} << 20;
  struct stat st {};
  std::string file;
  std::string error;
  if (::fstat(fd, &st) != 0 || st.st_size > kLargest || ::lseek(fd, 0, SEEK_SET) != 0 ||
      !ReadWholeFile(fd, &file, &error)) {
    return std::nullopt;
  }
  return PngPixelChunks(file);
}

// Encodes a thumbnail's pixels in its format with no metadata, marks it as
// made at size and writes it to fd; the reason when it cannot.
std::string Save(VipsImage* pixels, ThumbnailFormat format, int size, int fd) {
  RemoveMetadata(pixels);
  void* data = nullptr;
  std::size_t length = 0;
  const bool large_jpeg = format == ThumbnailFormat::kJpeg &&
                          std::max(vips_image_get_width(pixels), vips_image_get_height(pixels)) >
                              kLargestProgressiveJpeg;
  const std::string suffix(large_jpeg ? kJpegLargeSave : RowOf(format).save_suffix);
  if (vips_image_write_to_buffer(pixels, suffix.c_str(), &data, &length, nullptr) != 0) {
    return "cannot encode the thumbnail";
  }
  std::string bytes(static_cast<const char*>(data), length);
  g_free(data);
  return WriteMarked(std::move(bytes), format, size, fd);
}

}  // namespace

VipsThumbnailMaker::VipsThumbnailMaker(const VipsThumbnailOptions& options)
    : options_(options), budget_(options.whole_decode_bytes) {}

bool VipsThumbnailMaker::ReadPictureSize(int fd, int* width, int* height) {
  const Ref<VipsImage> header = OpenHeader(fd);
  if (!header) return false;
  *width = vips_image_get_width(header.get());
  *height = vips_image_get_height(header.get());
  return true;
}

bool VipsThumbnailMaker::ReadPictureHeader(int fd, PictureHeader* out) {
  const Ref<VipsImage> header = OpenHeader(fd);
  if (!header) return false;
  out->width = vips_image_get_width(header.get());
  out->height = vips_image_get_height(header.get());
  out->orientation = vips_image_get_orientation(header.get());
  out->date_time_original = ExifText(header.get(), "exif-ifd2-DateTimeOriginal");
  out->make = ExifText(header.get(), "exif-ifd0-Make");
  out->model = ExifText(header.get(), "exif-ifd0-Model");
  return true;
}

MakeResult VipsThumbnailMaker::Make(const ThumbnailJob& job) {
  // libvips starts with the first thumbnail, not with the maker: a run
  // whose thumbnails are all up to date never pays for it.
  if (const std::string& failure = StartVips(); !failure.empty()) return Failed(failure);
  std::call_once(threads_set_, [this] { vips_concurrency_set(options_.vips_threads); });
  if (job.size < 1) return Failed("thumbnail size below one pixel");
  struct stat st {};
  if (fstat(job.picture_fd, &st) != 0) return Failed(ErrnoText(errno));
  // A pipe would block the thread until someone writes to it, a device
  // never end; neither is a picture in a folder.
  if (!S_ISREG(st.st_mode)) return Failed("not a regular file");
  if (lseek(job.picture_fd, 0, SEEK_SET) != 0) return Failed(ErrnoText(errno));

  Ref<VipsSource> source(vips_source_new_from_descriptor(job.picture_fd));
  if (!source) return Failed(ErrnoText(EIO));
  const Loader* loader = AllowedLoader(vips_foreign_find_load_source(source.get()));
  if (loader == nullptr) return Failed("not a picture");
  WarningCapture capture;

  // The header alone, to refuse a picture that claims more pixels than any
  // photograph, or more memory than the run may take, before a single
  // strip of it is decoded.
  std::int64_t whole_bytes = 0;
  ProfileUse profile;
  int jpeg_halving = 1;
  bool fits_as_it_is = false;  // a PNG already upright, in sRGB and inside the box
  {
    Ref<VipsImage> header(
        vips_image_new_from_source(source.get(), "", "access", VIPS_ACCESS_SEQUENTIAL, nullptr));
    if (!header) return Failed(DamageReason(loader, capture));
    const std::int64_t pixels =
        std::int64_t{vips_image_get_width(header.get())} * vips_image_get_height(header.get());
    if (pixels > options_.max_pixels) return Failed("too large: " + Pixels(header.get()));
    whole_bytes = WholeDecodeBytes(*loader, header.get());
    if (whole_bytes > budget_.limit()) {
      return Failed("too large to decode whole: " + Pixels(header.get()));
    }
    if (whole_bytes > 0 && std::string_view(loader->error_word) == "jpeg") {
      if (const int scans = CountJpegScans(job.picture_fd, kMaxJpegScans); scans > kMaxJpegScans) {
        return Failed("too many progressive scans (over " + std::to_string(kMaxJpegScans) + ")");
      }
    }
    profile = JudgeProfile(header.get());
    jpeg_halving = JpegHalving(*loader, header.get(), job.size);
    fits_as_it_is = std::string_view(loader->error_word) == "png" &&
                    job.format == ThumbnailFormat::kPng && !profile.transform &&
                    vips_image_get_orientation(header.get()) == 1 &&
                    std::max(vips_image_get_width(header.get()),
                             vips_image_get_height(header.get())) <= job.size;
  }

  std::optional<BudgetHold> hold;
  if (whole_bytes > 0) {
    if (!budget_.Acquire(whole_bytes, job.stop)) return {MakeStatus::kStopped, {}, {}};
    hold.emplace(&budget_, whole_bytes);
  }
  const auto deadline = std::chrono::steady_clock::now() + job.time_limit;

  Ref<VipsImage> thumbnail;
  if (ThumbnailPipeline(source.get(), job.size, jpeg_halving, profile, &thumbnail) != 0) {
    return Failed(DamageReason(loader, capture));
  }
  // Decoding happens here: a picture cut short fails here, and a stop or
  // the time limit ends it between two strips of the thumbnail.
  Ref<VipsImage> bare;
  MakeStatus pulled = Pull(thumbnail.get(), job.stop, deadline, &bare);
  if (pulled == MakeStatus::kMade) {
    // A PNG that fits is decoded all the same (it must be a whole picture,
    // and its copies are made from its pixels) but written as it is, without
    // its other chunks: zlib would take longer than everything else, and
    // give back the same pixels.
    std::optional<std::string> as_it_is;
    if (fits_as_it_is) as_it_is = PngAsItIs(job.picture_fd);
    if (std::string error =
            as_it_is ? WriteMarked(std::move(*as_it_is), job.format, job.size, job.out_fd)
                     : Save(bare.get(), job.format, job.size, job.out_fd);
        !error.empty()) {
      return Failed(std::move(error));
    }
    std::vector<ThumbnailCopy> copies = job.copies;
    std::sort(copies.begin(), copies.end(),
              [](const ThumbnailCopy& a, const ThumbnailCopy& b) { return a.size > b.size; });
    // Each copy from the smallest image made so far, which is upright and
    // in sRGB already: only resampled, by the factor vips_thumbnail would
    // take, never enlarged. gap 0: libvips 8.14 would first shrink by whole
    // pixels, which costs more than resampling all the way.
    for (const ThumbnailCopy& copy : copies) {
      const int longer =
          std::max(vips_image_get_width(bare.get()), vips_image_get_height(bare.get()));
      const double factor = std::max(1.0, static_cast<double>(longer) / copy.size);
      VipsImage* smaller = nullptr;
      if (vips_resize(bare.get(), &smaller, 1.0 / factor, "gap", 0.0, nullptr) != 0) {
        return Failed("cannot encode the thumbnail");
      }
      const Ref<VipsImage> smaller_ref(smaller);
      Ref<VipsImage> pixels;
      if (pulled = Pull(smaller, job.stop, deadline, &pixels); pulled != MakeStatus::kMade) break;
      if (std::string error = Save(pixels.get(), job.format, copy.size, copy.out_fd);
          !error.empty()) {
        return Failed(std::move(error));
      }
      bare = std::move(pixels);
    }
  }
  switch (pulled) {
    case MakeStatus::kMade:
      break;
    case MakeStatus::kStopped:
      vips_error_clear();
      return {MakeStatus::kStopped, {}, {}};
    case MakeStatus::kTookTooLong: {
      const auto ms = job.time_limit.count();
      MakeResult result =
          Failed("took too long (over " + (ms % 1000 == 0 ? std::to_string(ms / 1000) + " s)"
                                                          : std::to_string(ms) + " ms)"));
      result.status = MakeStatus::kTookTooLong;
      return result;
    }
    case MakeStatus::kFailed:
      return Failed(DamageReason(loader, capture));
  }
  MakeResult result;
  result.status = MakeStatus::kMade;
  if (!profile.warning.empty()) result.warnings.push_back(profile.warning);
  return result;
}

}  // namespace pelorin

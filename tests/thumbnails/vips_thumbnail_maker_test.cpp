#include "thumbnails/vips_thumbnail_maker.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <lcms2.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vips/vips.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "common/folder_reader.h"
#include "engine/thumbnail_mark.h"
#include "support/temp_tree.h"
#include "thumbnails/memory_budget.h"

namespace pelorin {
namespace {

using testing::TempTree;

// A picture of width x height with something in it: a gradient in two
// bands and a constant third, so that shrinking has work to do.
VipsImage* Gradient(int width, int height) {
  VipsImage* xy = nullptr;
  VipsImage* bytes = nullptr;
  VipsImage* rgb = nullptr;
  EXPECT_EQ(vips_xyz(&xy, width, height, nullptr), 0);
  EXPECT_EQ(vips_cast_uchar(xy, &bytes, nullptr), 0);
  EXPECT_EQ(vips_bandjoin_const1(bytes, &rgb, 90, nullptr), 0);
  g_object_unref(xy);
  g_object_unref(bytes);
  return rgb;
}

// The picture encoded by the saver for suffix (".jpg", ".png[...]", ...),
// with an EXIF orientation unless 0, in pages frames, and converted to the
// built-in ICC profile named, if any.
std::string Encode(int width, int height, const char* suffix, int orientation = 0, int pages = 1,
                   const char* profile = nullptr) {
  VipsImage* image = Gradient(width, height * pages);
  VipsImage* copy = nullptr;
  if (profile != nullptr) {
    EXPECT_EQ(vips_icc_transform(image, &copy, profile, "input_profile", "srgb", nullptr), 0);
  } else {
    EXPECT_EQ(vips_copy(image, &copy, nullptr), 0);
  }
  if (orientation != 0) vips_image_set_int(copy, VIPS_META_ORIENTATION, orientation);
  if (pages > 1) vips_image_set_int(copy, VIPS_META_PAGE_HEIGHT, height);
  void* data = nullptr;
  size_t length = 0;
  EXPECT_EQ(vips_image_write_to_buffer(copy, suffix, &data, &length, nullptr), 0)
      << vips_error_buffer();
  std::string bytes(static_cast<const char*>(data), length);
  g_free(data);
  g_object_unref(copy);
  g_object_unref(image);
  return bytes;
}

struct Outcome {
  bool made = false;
  std::string error;
  std::vector<std::string> warnings;
  std::string bytes;  // the thumbnail file
};

// Runs the maker on the file at path, writing the thumbnail to path.thumb.
Outcome MakeFromPath(ThumbnailMaker& maker, const TempTree& tree, const std::string& path,
                     ThumbnailFormat format, int size, int open_flags = O_RDONLY) {
  Outcome outcome;
  const int picture_fd = open(path.c_str(), open_flags | O_CLOEXEC);
  EXPECT_GE(picture_fd, 0) << path;
  const std::string out_path = path + ".thumb";
  const int out_fd = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  EXPECT_GE(out_fd, 0) << out_path;
  // As a caller that looked at the picture first would leave it: the maker
  // reads from the start anyway, and closes neither descriptor.
  lseek(picture_fd, 0, SEEK_END);
  const MakeResult made = maker.Make({picture_fd, format, size, out_fd});
  outcome.made = made.status == MakeStatus::kMade;
  outcome.error = made.error;
  outcome.warnings = made.warnings;
  EXPECT_EQ(close(picture_fd), 0);
  EXPECT_EQ(close(out_fd), 0);
  outcome.bytes = tree.ReadFile(out_path.substr(tree.root().size() + 1));
  return outcome;
}

Outcome MakeFromBytes(ThumbnailMaker& maker, const std::string& picture, ThumbnailFormat format,
                      int size) {
  TempTree tree;
  tree.WriteFile("picture", picture);
  return MakeFromPath(maker, tree, tree.Path("picture"), format, size);
}

struct Decoded {
  int width = 0;
  int height = 0;
  int pages = 0;
  bool has_exif = false;
  bool has_profile = false;
  bool has_xmp = false;
};

Decoded Decode(const std::string& bytes) {
  Decoded decoded;
  VipsImage* image = vips_image_new_from_buffer(bytes.data(), bytes.size(), "", nullptr);
  if (image == nullptr) {
    ADD_FAILURE() << "thumbnail does not decode: " << vips_error_buffer();
    vips_error_clear();
    return decoded;
  }
  decoded.width = vips_image_get_width(image);
  decoded.height = vips_image_get_height(image);
  decoded.pages = vips_image_get_n_pages(image);
  decoded.has_exif = vips_image_get_typeof(image, VIPS_META_EXIF_NAME) != 0;
  decoded.has_profile = vips_image_get_typeof(image, VIPS_META_ICC_NAME) != 0;
  decoded.has_xmp = vips_image_get_typeof(image, VIPS_META_XMP_NAME) != 0;
  g_object_unref(image);
  return decoded;
}

class VipsThumbnailMakerTest : public ::testing::Test {
 protected:
  // Made first, so that libvips is started before the helpers above use it.
  VipsThumbnailMaker maker_;
};

TEST_F(VipsThumbnailMakerTest, FitsTheBoxUprightAndNeverEnlarges) {
  const struct {
    int width, height, orientation, size, expected_width, expected_height;
  } cases[] = {
      {300, 200, 1, 160, 160, 107}, {300, 200, 6, 160, 107, 160}, {300, 200, 8, 160, 107, 160},
      {300, 200, 3, 160, 160, 107}, {100, 50, 1, 160, 100, 50},   {50, 400, 1, 160, 20, 160},
      {160, 160, 1, 160, 160, 160}, {300, 200, 6, 60, 40, 60},    {4, 4000, 1, 100, 1, 100},
  };
  for (const auto& c : cases) {
    const std::string picture = Encode(c.width, c.height, ".jpg", c.orientation);
    const Outcome out = MakeFromBytes(maker_, picture, ThumbnailFormat::kJpeg, c.size);
    ASSERT_TRUE(out.made) << out.error;
    const Decoded thumb = Decode(out.bytes);
    EXPECT_EQ(thumb.width, c.expected_width)
        << c.width << "x" << c.height << " orientation " << c.orientation << " size " << c.size;
    EXPECT_EQ(thumb.height, c.expected_height)
        << c.width << "x" << c.height << " orientation " << c.orientation << " size " << c.size;
    EXPECT_FALSE(thumb.has_exif) << "orientation " << c.orientation;
  }
}

// The copies come from the thumbnail's pixels, each in its own box with
// its own mark; a JPEG two to four times the box is decoded at half size.
TEST_F(VipsThumbnailMakerTest, MakesSmallerCopiesEachInItsBox) {
  const struct {
    const char* suffix;
    int width, height, orientation;
    ThumbnailFormat format;
    int expected[3][2];  // the thumbnail at 400, its copies at 100 and 200
  } cases[] = {
      {".jpg", 1000, 600, 6, ThumbnailFormat::kJpeg, {{240, 400}, {60, 100}, {120, 200}}},
      {".png", 150, 100, 0, ThumbnailFormat::kPng, {{150, 100}, {100, 67}, {150, 100}}},
  };
  for (const auto& c : cases) {
    TempTree tree;
    tree.WriteFile("picture", Encode(c.width, c.height, c.suffix, c.orientation));
    const UniqueFd picture(open(tree.Path("picture").c_str(), O_RDONLY | O_CLOEXEC));
    UniqueFd outs[3];
    for (int i = 0; i < 3; ++i) {
      outs[i] =
          UniqueFd(open(tree.Path(std::to_string(i)).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    }
    ThumbnailJob job{picture.get(), c.format, 400, outs[0].get()};
    job.copies = {{100, outs[1].get()}, {200, outs[2].get()}};
    const MakeResult made = maker_.Make(job);
    ASSERT_EQ(made.status, MakeStatus::kMade) << c.suffix << ": " << made.error;
    const int sizes[3] = {400, 100, 200};
    for (int i = 0; i < 3; ++i) {
      const Decoded image = Decode(tree.ReadFile(std::to_string(i)));
      EXPECT_EQ(image.width, c.expected[i][0]) << c.suffix << " " << sizes[i];
      EXPECT_EQ(image.height, c.expected[i][1]) << c.suffix << " " << sizes[i];
      EXPECT_EQ(ReadThumbnailMark(outs[i].get()), sizes[i]) << c.suffix;
    }
    // A PNG that fits the box keeps its own pixel data.
    const std::string original = tree.ReadFile("picture");
    const std::size_t data = original.find("IDAT");
    if (c.format == ThumbnailFormat::kPng && data != std::string::npos) {
      EXPECT_TRUE(tree.ReadFile("0").ends_with(original.substr(data - 4)));
    }
  }
}

TEST_F(VipsThumbnailMakerTest, WritesTheFormatAskedFor) {
  const struct {
    const char* suffix;
    ThumbnailFormat format;
    std::string magic;
    std::size_t magic_at;
  } cases[] = {
      {".jpg", ThumbnailFormat::kJpeg, "\xFF\xD8\xFF", 0},
      {".png", ThumbnailFormat::kPng, "\x89PNG\r\n\x1A\n", 0},
      {".gif", ThumbnailFormat::kGif, "GIF8", 0},
      {".webp", ThumbnailFormat::kWebp, "WEBP", 8},
  };
  for (const auto& c : cases) {
    const Outcome out = MakeFromBytes(maker_, Encode(400, 300, c.suffix), c.format, 160);
    ASSERT_TRUE(out.made) << c.suffix << ": " << out.error;
    EXPECT_EQ(out.bytes.substr(c.magic_at, c.magic.size()), c.magic) << c.suffix;
    const Decoded thumb = Decode(out.bytes);
    EXPECT_EQ(thumb.width, 160) << c.suffix;
    EXPECT_EQ(thumb.height, 120) << c.suffix;
  }
  // A picture's format need not match its name: a PNG named .jpg still makes a JPEG.
  const Outcome out = MakeFromBytes(maker_, Encode(400, 300, ".png"), ThumbnailFormat::kJpeg, 80);
  ASSERT_TRUE(out.made) << out.error;
  EXPECT_EQ(out.bytes.substr(0, 3), "\xFF\xD8\xFF");
}

TEST_F(VipsThumbnailMakerTest, TurnsAWideGamutPictureIntoPlainSrgb) {
  const std::string picture = Encode(300, 200, ".jpg", 0, 1, "p3");
  ASSERT_TRUE(Decode(picture).has_profile);
  const Outcome out = MakeFromBytes(maker_, picture, ThumbnailFormat::kJpeg, 160);
  ASSERT_TRUE(out.made) << out.error;
  EXPECT_EQ(Decode(out.bytes).width, 160);
  EXPECT_FALSE(Decode(out.bytes).has_profile);
}

TEST_F(VipsThumbnailMakerTest, AnimatedGifKeepsItsFirstFrame) {
  const std::string picture = Encode(200, 100, ".gif", 0, /*pages=*/3);
  ASSERT_EQ(Decode(picture).height, 100);  // a loader shows the first frame by default
  const Outcome out = MakeFromBytes(maker_, picture, ThumbnailFormat::kGif, 160);
  ASSERT_TRUE(out.made) << out.error;
  const Decoded thumb = Decode(out.bytes);
  EXPECT_EQ(thumb.width, 160);
  EXPECT_EQ(thumb.height, 80);
  EXPECT_EQ(thumb.pages, 1);
}

// A JPEG whose frame header claims width x height; the data after it is
// that of a small picture, never reached.
std::string JpegClaiming(int width, int height) {
  std::string jpeg = Encode(64, 48, ".jpg");
  const std::size_t sof = jpeg.find("\xFF\xC0");
  EXPECT_NE(sof, std::string::npos);
  // FF C0, length (2), precision (1), height (2), width (2).
  jpeg[sof + 5] = static_cast<char>(height >> 8);
  jpeg[sof + 6] = static_cast<char>(height & 0xFF);
  jpeg[sof + 7] = static_cast<char>(width >> 8);
  jpeg[sof + 8] = static_cast<char>(width & 0xFF);
  return jpeg;
}

TEST_F(VipsThumbnailMakerTest, RefusesWhatIsNotAWholePicture) {
  const std::string jpeg = Encode(300, 200, ".jpg");
  std::string png = Encode(300, 200, ".png");
  png.replace(png.size() / 2, 64, std::string(64, '\x55'));   // inside the image data
  const std::string half_decoded = Encode(400, 300, ".jpg");  // 2 to 4 times the box
  std::string fits = Encode(150, 100, ".png");                // would be kept as it is
  fits.replace(fits.size() / 2, 64, std::string(64, '\x55'));
  const struct {
    std::string name;
    std::string bytes;
    std::string error_start;
  } cases[] = {
      {"text", "hello, world\n", "not a picture"},
      {"empty", "", "not a picture"},
      {"tiff", Encode(30, 20, ".tif"), "not a picture"},  // no loader for it is allowed
      {"truncated jpeg", jpeg.substr(0, jpeg.size() / 2), "damaged picture data (cut short)"},
      {"jpeg header only", jpeg.substr(0, 700), "damaged picture data (cut short)"},
      {"damaged png", png, "damaged picture data"},
      {"truncated jpeg decoded at half size", half_decoded.substr(0, half_decoded.size() / 2),
       "damaged picture data (cut short)"},
      {"damaged png that fits", fits, "damaged picture data"},
      {"bomb", JpegClaiming(20000, 15000), "too large: 20000 x 15000 pixels"},
  };
  for (const auto& c : cases) {
    const ThumbnailFormat format =
        c.name.ends_with("fits") ? ThumbnailFormat::kPng : ThumbnailFormat::kJpeg;
    const Outcome out = MakeFromBytes(maker_, c.bytes, format, 160);
    EXPECT_FALSE(out.made) << c.name;
    EXPECT_EQ(out.error.substr(0, c.error_start.size()), c.error_start)
        << c.name << ": " << out.error;
  }
  EXPECT_EQ(vips_error_buffer(), std::string()) << "the maker leaves no error behind";
}

TEST_F(VipsThumbnailMakerTest, RefusesPicturesAboveThePixelLimitFromTheirHeader) {
  const std::string picture = Encode(300, 200, ".png");
  const struct {
    std::int64_t max_pixels;
    bool made;
  } cases[] = {{300 * 200, true}, {300 * 200 - 1, false}, {200'000'000, true}};
  for (const auto& c : cases) {
    VipsThumbnailMaker maker({.max_pixels = c.max_pixels});
    const Outcome out = MakeFromBytes(maker, picture, ThumbnailFormat::kPng, 160);
    EXPECT_EQ(out.made, c.made) << c.max_pixels << ": " << out.error;
    if (!c.made) {
      EXPECT_EQ(out.error, "too large: 300 x 200 pixels");
    }
  }
}

TEST_F(VipsThumbnailMakerTest, RefusesFoldersAndPipes) {
  TempTree tree;
  tree.MakeFolder("folder.jpg");
  ASSERT_EQ(mkfifo(tree.Path("pipe.jpg").c_str(), 0600), 0);
  // A pipe opened for reading and writing does not wait for a writer.
  const struct {
    const char* name;
    int flags;
  } cases[] = {{"folder.jpg", O_RDONLY | O_DIRECTORY}, {"pipe.jpg", O_RDWR | O_NONBLOCK}};
  for (const auto& c : cases) {
    const Outcome out =
        MakeFromPath(maker_, tree, tree.Path(c.name), ThumbnailFormat::kJpeg, 160, c.flags);
    EXPECT_FALSE(out.made) << c.name;
    EXPECT_EQ(out.error, "not a regular file") << c.name;
  }
}

// Every failure gives its own picture's reason, though libvips keeps one
// error text for the process: PNGs with a bad checksum and JPEGs cut short
// fail on four threads at once.
TEST_F(VipsThumbnailMakerTest, MakesThumbnailsOnSeveralThreadsAtOnce) {
  TempTree tree;
  constexpr int kThreads = 4;
  constexpr int kEach = 6;
  const std::string good = Encode(640, 480, ".jpg", 6);
  const std::string cut = good.substr(0, good.size() / 3);
  std::string crc = Encode(640, 480, ".png");
  const std::size_t idat = crc.find("IDAT");
  const std::size_t length =
      static_cast<unsigned char>(crc[idat - 2]) << 8 | static_cast<unsigned char>(crc[idat - 1]);
  crc[idat + 4 + length] ^= 1;  // the chunk's checksum
  for (int i = 0; i < kThreads * kEach; ++i) {
    tree.WriteFile(std::to_string(i), i % 3 != 2 ? good : i % 2 != 0 ? cut : crc);
  }
  std::vector<Outcome> outcomes(kThreads * kEach);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = t; i < kThreads * kEach; i += kThreads) {
        outcomes[i] =
            MakeFromPath(maker_, tree, tree.Path(std::to_string(i)), ThumbnailFormat::kJpeg, 160);
      }
      vips_thread_shutdown();
    });
  }
  for (auto& thread : threads) thread.join();
  for (int i = 0; i < kThreads * kEach; ++i) {
    EXPECT_EQ(outcomes[i].made, i % 3 != 2) << i << ": " << outcomes[i].error;
    if (outcomes[i].made) {
      EXPECT_EQ(Decode(outcomes[i].bytes).height, 160) << i;
    } else if (i % 2 == 0) {
      EXPECT_EQ(outcomes[i].error, "damaged picture data (checksum error)") << i;
    } else {
      EXPECT_TRUE(outcomes[i].error == "damaged picture data (cut short)" ||
                  outcomes[i].error == "damaged picture data")
          << i << ": " << outcomes[i].error;
    }
  }
}

// A picture carrying EXIF (the camera's owner, the place), XMP and a
// wide-gamut ICC profile, in the format of suffix.
std::string WithMetadata(const char* suffix) {
  VipsImage* image = Gradient(400, 300);
  VipsImage* tagged = nullptr;
  EXPECT_EQ(vips_icc_transform(image, &tagged, "p3", "input_profile", "srgb", nullptr), 0);
  vips_image_set_string(tagged, "exif-ifd0-Artist", "Camera Owner");
  vips_image_set_string(tagged, "exif-ifd3-GPSLatitudeRef", "N");
  static const char kXmp[] = "<x:xmpmeta>GPS 51.5 N</x:xmpmeta>";
  vips_image_set_blob_copy(tagged, VIPS_META_XMP_NAME, kXmp, sizeof kXmp - 1);
  void* data = nullptr;
  size_t length = 0;
  EXPECT_EQ(vips_image_write_to_buffer(tagged, suffix, &data, &length, nullptr), 0);
  std::string bytes(static_cast<const char*>(data), length);
  g_free(data);
  g_object_unref(tagged);
  g_object_unref(image);
  return bytes;
}

std::optional<int> MarkOf(const std::string& bytes) {
  TempTree tree;
  tree.WriteFile("t", bytes);
  const UniqueFd fd(open(tree.Path("t").c_str(), O_RDONLY | O_CLOEXEC));
  return ReadThumbnailMark(fd.get());
}

TEST_F(VipsThumbnailMakerTest, ThumbnailsCarryTheirMarkAndNoMetadata) {
  const struct {
    const char* suffix;
    ThumbnailFormat format;
    bool profile, xmp;  // what libvips 8.14 writes into such a picture
  } cases[] = {{".jpg", ThumbnailFormat::kJpeg, true, true},
               {".png", ThumbnailFormat::kPng, true, false},
               {".gif", ThumbnailFormat::kGif, false, false},
               {".webp", ThumbnailFormat::kWebp, true, true}};
  for (const auto& c : cases) {
    const std::string picture = WithMetadata(c.suffix);
    EXPECT_EQ(picture.find("xmpmeta") != std::string::npos, c.xmp) << c.suffix;
    EXPECT_EQ(Decode(picture).has_profile, c.profile) << c.suffix;
    EXPECT_EQ(MarkOf(picture), std::nullopt) << c.suffix;
    const Outcome out = MakeFromBytes(maker_, picture, c.format, 120);
    ASSERT_TRUE(out.made) << c.suffix << ": " << out.error;
    const Decoded thumb = Decode(out.bytes);
    EXPECT_EQ(thumb.width, 120) << c.suffix;
    EXPECT_FALSE(thumb.has_exif || thumb.has_xmp || thumb.has_profile) << c.suffix;
    for (const char* text : {"Camera Owner", "xmpmeta", "GPS"}) {
      EXPECT_EQ(out.bytes.find(text), std::string::npos) << c.suffix << " keeps " << text;
    }
    EXPECT_EQ(MarkOf(out.bytes), 120) << c.suffix;
  }
}

TEST_F(VipsThumbnailMakerTest, GivesUpOnASlowPictureAndAtAStop) {
  TempTree tree;
  tree.WriteFile("tall.png", Encode(1, 1'000'000, ".png"));  // seconds to shrink
  const UniqueFd picture(open(tree.Path("tall.png").c_str(), O_RDONLY | O_CLOEXEC));
  const UniqueFd out(open(tree.Path("out").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
  const auto start = std::chrono::steady_clock::now();
  const MakeResult slow = maker_.Make(
      {picture.get(), ThumbnailFormat::kPng, 160, out.get(), {}, std::chrono::milliseconds(300)});
  EXPECT_EQ(slow.status, MakeStatus::kTookTooLong);
  EXPECT_EQ(slow.error, "took too long (over 300 ms)");
  std::stop_source stop;
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    stop.request_stop();
  });
  const MakeResult stopped =
      maker_.Make({picture.get(), ThumbnailFormat::kPng, 160, out.get(), stop.get_token()});
  stopper.join();
  EXPECT_EQ(stopped.status, MakeStatus::kStopped);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
}

TEST(MemoryBudget, OnePictureAlwaysRunsOthersWaitForRoomOrAStop) {
  MemoryBudget budget(100);
  EXPECT_TRUE(budget.Acquire(150, {}));  // alone, more than the whole budget
  std::atomic<int> got{-1};
  std::thread waiting([&] { got = budget.Acquire(10, {}); });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(got, -1);
  budget.Release(150);
  waiting.join();
  EXPECT_EQ(got, 1);
  EXPECT_TRUE(budget.Acquire(90, {}));  // 10 and 90 fit together
  std::stop_source stop;
  std::thread stopped([&] { got = budget.Acquire(1, stop.get_token()); });
  stop.request_stop();
  stopped.join();
  EXPECT_EQ(got, 0);
}

TEST_F(VipsThumbnailMakerTest, RefusesAPictureThatMustBeDecodedWholeBeyondTheBudget) {
  VipsThumbnailMaker maker({.whole_decode_bytes = 400'000});
  const struct {
    const char* suffix;
    const char* error;  // empty: made
  } cases[] = {{".png", ""},
               {".png[interlace]", "too large to decode whole: 400 x 300 pixels"},
               {".jpg[interlace]", ""},  // subsampled: 367,500 bytes of coefficients
               {".jpg[interlace,Q=95]", "too large to decode whole: 400 x 300 pixels"},
               {".gif", "too large to decode whole: 400 x 300 pixels"}};
  for (const auto& c : cases) {
    const Outcome out = MakeFromBytes(maker, Encode(400, 300, c.suffix), ThumbnailFormat::kPng, 80);
    EXPECT_EQ(out.error, c.error) << c.suffix;
  }
}

// An RGB profile that turns every colour into middle grey, through a table
// for the perceptual intent only, as old scanner profiles have.
std::string PerceptualOnlyProfile() {
  cmsHPROFILE profile = cmsCreateProfilePlaceholder(nullptr);
  cmsSetProfileVersion(profile, 4.3);
  cmsSetDeviceClass(profile, cmsSigInputClass);
  cmsSetColorSpace(profile, cmsSigRgbData);
  cmsSetPCS(profile, cmsSigLabData);
  cmsUInt16Number grey[8 * 3];  // Lab 50, 0, 0 at every corner
  for (int i = 0; i < 8 * 3; ++i) grey[i] = i % 3 == 0 ? 0x8000 : 0x8080;
  // A version 4 table needs curves before and after it.
  cmsToneCurve* linear = cmsBuildGamma(nullptr, 1.0);
  cmsToneCurve* curves[3] = {linear, linear, linear};
  cmsPipeline* pipeline = cmsPipelineAlloc(nullptr, 3, 3);
  cmsPipelineInsertStage(pipeline, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, curves));
  cmsPipelineInsertStage(pipeline, cmsAT_END, cmsStageAllocCLut16bit(nullptr, 2, 3, 3, grey));
  cmsPipelineInsertStage(pipeline, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, curves));
  cmsWriteTag(profile, cmsSigAToB0Tag, pipeline);
  std::string bytes(65536, '\0');
  cmsUInt32Number size = static_cast<cmsUInt32Number>(bytes.size());
  EXPECT_TRUE(cmsSaveProfileToMem(profile, bytes.data(), &size));
  bytes.resize(static_cast<unsigned char>(bytes[2]) << 8 | static_cast<unsigned char>(bytes[3]));
  cmsFreeToneCurve(linear);
  cmsPipelineFree(pipeline);
  cmsCloseProfile(profile);
  return bytes;
}

// A JPEG carrying profile, put in as it is: libvips would leave out one
// that it cannot use.
std::string JpegWithProfile(const std::string& profile) {
  const std::string jpeg = Encode(300, 200, ".jpg[strip]");
  const std::string segment = std::string("ICC_PROFILE\0\1\1", 14) + profile;
  const std::size_t size = segment.size() + 2;
  return jpeg.substr(0, 2) + "\xFF\xE2" + static_cast<char>(size >> 8) +
         static_cast<char>(size & 0xFF) + segment + jpeg.substr(2);
}

TEST_F(VipsThumbnailMakerTest, UsesAProfileByTheIntentItHasAndIgnoresOneItCannotRead) {
  const Outcome broken =
      MakeFromBytes(maker_, JpegWithProfile("7 bytes"), ThumbnailFormat::kJpeg, 100);
  ASSERT_TRUE(broken.made) << broken.error;
  EXPECT_EQ(broken.warnings,
            std::vector<std::string>{
                "its colour profile cannot be read; the colours are shown as stored"});

  const Outcome perceptual =
      MakeFromBytes(maker_, JpegWithProfile(PerceptualOnlyProfile()), ThumbnailFormat::kPng, 100);
  ASSERT_TRUE(perceptual.made) << perceptual.error;
  EXPECT_TRUE(perceptual.warnings.empty());
  VipsImage* thumb =
      vips_image_new_from_buffer(perceptual.bytes.data(), perceptual.bytes.size(), "", nullptr);
  ASSERT_NE(thumb, nullptr);
  double deviation = 0;
  ASSERT_EQ(vips_deviate(thumb, &deviation, nullptr), 0);
  g_object_unref(thumb);
  EXPECT_LT(deviation, 2) << "the profile turns every colour into one grey";
}

}  // namespace
}  // namespace pelorin

// The thumbnail benchmark's pictures: deterministic (every picture's content
// follows from its number), with gradients, stripes and noise so that the
// encoders and decoders have real work, in the formats and sizes a picture
// folder holds.
//
//   picture_gen [--small] FOLDER   makes FOLDER (which must not exist yet)
//
// Full set: 200 JPEG of 4000 x 3000, 4 more turned by EXIF orientation 6 and
// 8, 40 PNG of 1600 x 1200, 20 GIF of 800 x 600, 10 WebP of 2000 x 1500.
// --small: 10 JPEG of 1200 x 900, 2 turned, 4 PNG, 2 GIF, 2 WebP, a quarter
// of the size each, for a quick check.
#include <sys/stat.h>
#include <vips/vips.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>

namespace {

// splitmix64, as tree_gen: small, fast and the same everywhere.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  double Between(double low, double high) {
    return low + (high - low) * static_cast<double>(Next() >> 11) / 9007199254740992.0;
  }

 private:
  std::uint64_t state_;
};

struct Kind {
  const char* prefix;
  const char* suffix;  // the saver and its options
  int count;
  int width;
  int height;
  int orientation;  // EXIF orientation written, 0 for none
};

constexpr Kind kFull[] = {
    {"photo", ".jpg[Q=90]", 200, 4000, 3000, 0},
    {"turned6-", ".jpg[Q=90]", 2, 4000, 3000, 6},
    {"turned8-", ".jpg[Q=90]", 2, 4000, 3000, 8},
    {"drawing", ".png", 40, 1600, 1200, 0},
    {"anim", ".gif", 20, 800, 600, 0},
    {"web", ".webp", 10, 2000, 1500, 0},
};
constexpr Kind kSmall[] = {
    {"photo", ".jpg[Q=90]", 10, 1200, 900, 0},
    {"turned6-", ".jpg[Q=90]", 1, 1200, 900, 6},
    {"turned8-", ".jpg[Q=90]", 1, 1200, 900, 8},
    {"drawing", ".png", 4, 400, 300, 0},
    {"anim", ".gif", 2, 200, 150, 0},
    {"web", ".webp", 2, 500, 375, 0},
};

// A picture of three bands: x, y and their mean, each scaled and shifted by
// numbers drawn from seed so that no two are alike, diagonal stripes from a
// sine, and gaussian noise as a camera would add.
VipsImage* Picture(int width, int height, std::uint64_t seed) {
  Random random(seed);
  VipsImage* t[8] = {};
  VipsImage* out = nullptr;
  double scale[3] = {random.Between(0.2, 2.0) * 255.0 / width,
                     random.Between(0.2, 2.0) * 255.0 / height,
                     random.Between(0.2, 2.0) * 255.0 / (width + height) * 2};
  double offset[3] = {random.Between(0, 60), random.Between(0, 60), random.Between(0, 60)};
  const double stripes = random.Between(0.002, 0.02);
  const double sigma = random.Between(4, 16);
  const int ok = vips_xyz(&t[0], width, height, nullptr) == 0 &&
                 vips_bandmean(t[0], &t[1], nullptr) == 0 &&  // (x + y) / 2
                 vips_bandjoin2(t[0], t[1], &t[2], nullptr) == 0 &&
                 vips_linear(t[2], &t[3], scale, offset, 3, nullptr) == 0 &&
                 vips_linear1(t[1], &t[4], stripes * 57.29578, 0, nullptr) == 0 &&  // in degrees
                 vips_sin(t[4], &t[5], nullptr) == 0 &&
                 vips_gaussnoise(&t[6], width, height, "sigma", sigma, "mean", 0.0, "seed",
                                 static_cast<int>(seed & 0x7FFFFFFF), nullptr) == 0 &&
                 vips_linear1(t[5], &t[7], 40.0, 0, nullptr) == 0;
  if (ok) {
    VipsImage* sum[3] = {};
    if (vips_add(t[3], t[7], &sum[0], nullptr) == 0 &&
        vips_add(sum[0], t[6], &sum[1], nullptr) == 0 &&
        vips_cast_uchar(sum[1], &sum[2], nullptr) == 0) {
      out = sum[2];
      sum[2] = nullptr;
    }
    for (VipsImage* image : sum) {
      if (image != nullptr) g_object_unref(image);
    }
  }
  for (VipsImage* image : t) {
    if (image != nullptr) g_object_unref(image);
  }
  return out;
}

bool Write(const std::string& folder, const Kind& kind, int index, std::uint64_t seed) {
  const int pages = std::strcmp(kind.suffix, ".gif") == 0 ? 3 : 1;
  VipsImage* picture = Picture(kind.width, kind.height * pages, seed);
  if (picture == nullptr) return false;
  VipsImage* tagged = nullptr;
  bool ok = vips_copy(picture, &tagged, nullptr) == 0;
  if (ok) {
    if (kind.orientation != 0) vips_image_set_int(tagged, VIPS_META_ORIENTATION, kind.orientation);
    if (pages > 1) vips_image_set_int(tagged, VIPS_META_PAGE_HEIGHT, kind.height);
    const std::string ext(kind.suffix, std::strcspn(kind.suffix, "["));
    char name[64];
    std::snprintf(name, sizeof name, "%s%03d", kind.prefix, index);
    const std::string path = folder + "/" + name + ext + (kind.suffix + ext.size());
    ok = vips_image_write_to_file(tagged, path.c_str(), nullptr) == 0;
    g_object_unref(tagged);
  }
  g_object_unref(picture);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (VIPS_INIT(argv[0]) != 0) return 1;
  bool small = false;
  const char* folder = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--small") == 0) {
      small = true;
    } else if (folder == nullptr && argv[i][0] != '-') {
      folder = argv[i];
    } else {
      folder = nullptr;
      break;
    }
  }
  if (folder == nullptr) {
    std::fprintf(stderr, "usage: picture_gen [--small] FOLDER\n");
    return 2;
  }
  if (mkdir(folder, 0755) != 0) {
    std::perror(folder);
    return 1;
  }
  const Kind* first = small ? std::begin(kSmall) : std::begin(kFull);
  const Kind* last = small ? std::end(kSmall) : std::end(kFull);
  std::uint64_t seed = 1;
  int made = 0;
  for (const Kind* kind = first; kind != last; ++kind) {
    for (int i = 1; i <= kind->count; ++i, ++seed) {
      if (!Write(folder, *kind, i, seed)) {
        std::fprintf(stderr, "picture_gen: %s", vips_error_buffer());
        return 1;
      }
      ++made;
    }
  }
  std::printf("%d pictures in %s\n", made, folder);
  return 0;
}

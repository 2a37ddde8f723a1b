// The thumbnail benchmark's pictures: deterministic (every picture's content
// follows from its number), with gradients, stripes and noise so that the
// encoders and decoders have real work, in the formats and sizes a picture
// folder holds. Also the sample tree's pictures: small drawn scenes.
//
//   picture_gen [--small] FOLDER   makes FOLDER (which must not exist yet)
//   picture_gen --samples TREE     writes the sample pictures into TREE's
//                                  folders (scripts/make-sample-pictures.sh)
//
// Full set: 200 JPEG of 4000 x 3000, 4 more turned by EXIF orientation 6 and
// 8, 40 PNG of 1600 x 1200, 20 GIF of 800 x 600, 10 WebP of 2000 x 1500.
// --small: 10 JPEG of 1200 x 900, 2 turned, 4 PNG, 2 GIF, 2 WebP, a quarter
// of the size each, for a quick check.
#include <sys/stat.h>
#include <vips/vips.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <iterator>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "random.h"

namespace {

using bench::Random;

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
  double scale[3] = {random.Real(0.2, 2.0) * 255.0 / width,
                     random.Real(0.2, 2.0) * 255.0 / height,
                     random.Real(0.2, 2.0) * 255.0 / (width + height) * 2};
  double offset[3] = {random.Real(0, 60), random.Real(0, 60), random.Real(0, 60)};
  const double stripes = random.Real(0.002, 0.02);
  const double sigma = random.Real(4, 16);
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

// The sample tree's pictures: scenes drawn in code, so that they carry no
// one else's rights, and the same bytes from the same libvips.

struct Rgb {
  double r, g, b;
};

constexpr Rgb Hex(unsigned value) {
  return {static_cast<double>(value >> 16 & 255), static_cast<double>(value >> 8 & 255),
          static_cast<double>(value & 255)};
}

Rgb Mix(const Rgb& a, const Rgb& b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

struct Point {
  double x, y;
};

// An RGB picture in doubles. Shapes are given by their signed distance in
// pixels (positive inside), smoothed over one pixel at the edge.
class Canvas {
 public:
  Canvas(int width, int height)
      : width_(width), height_(height), pixels_(static_cast<std::size_t>(width) * height) {}
  int width() const { return width_; }
  int height() const { return height_; }

  // Rows top..bottom from the first stop's colour to the last's.
  void Gradient(double top, double bottom, std::initializer_list<std::pair<double, Rgb>> stops) {
    for (int y = std::max(0, static_cast<int>(top));
         y < std::min(height_, static_cast<int>(bottom)); ++y) {
      const double t = (y + 0.5 - top) / (bottom - top);
      Rgb colour = stops.begin()->second;
      for (auto it = stops.begin(); it + 1 != stops.end(); ++it) {
        if (t >= it->first && t <= (it + 1)->first) {
          colour =
              Mix(it->second, (it + 1)->second, (t - it->first) / ((it + 1)->first - it->first));
        } else if (t > (it + 1)->first) {
          colour = (it + 1)->second;
        }
      }
      for (int x = 0; x < width_; ++x) At(x, y) = colour;
    }
  }

  // Paints colour over the box x0..x1, y0..y1 where inside(x, y), the
  // signed distance of a pixel's centre, says it belongs to the shape.
  template <typename Inside>
  void Paint(double x0, double y0, double x1, double y1, const Rgb& colour, double alpha,
             Inside inside) {
    const int left = std::max(0, static_cast<int>(std::floor(x0)) - 1);
    const int right = std::min(width_, static_cast<int>(std::ceil(x1)) + 1);
    const int top = std::max(0, static_cast<int>(std::floor(y0)) - 1);
    const int bottom = std::min(height_, static_cast<int>(std::ceil(y1)) + 1);
    for (int y = top; y < bottom; ++y) {
      for (int x = left; x < right; ++x) {
        const double cover = std::clamp(inside(x + 0.5, y + 0.5) + 0.5, 0.0, 1.0) * alpha;
        if (cover > 0) At(x, y) = Mix(At(x, y), colour, cover);
      }
    }
  }

  void Circle(double cx, double cy, double r, const Rgb& colour, double alpha = 1) {
    Paint(cx - r, cy - r, cx + r, cy + r, colour, alpha,
          [=](double x, double y) { return r - std::hypot(x - cx, y - cy); });
  }

  void Ellipse(double cx, double cy, double rx, double ry, const Rgb& colour, double alpha = 1) {
    Paint(cx - rx, cy - ry, cx + rx, cy + ry, colour, alpha, [=](double x, double y) {
      return (1 - std::hypot((x - cx) / rx, (y - cy) / ry)) * std::min(rx, ry);
    });
  }

  void Rect(double x0, double y0, double x1, double y1, const Rgb& colour, double alpha = 1) {
    Paint(x0, y0, x1, y1, colour, alpha, [=](double x, double y) {
      return std::min(std::min(x - x0, x1 - x), std::min(y - y0, y1 - y));
    });
  }

  void Triangle(Point a, Point b, Point c, const Rgb& colour, double alpha = 1) {
    Paint(std::min({a.x, b.x, c.x}), std::min({a.y, b.y, c.y}), std::max({a.x, b.x, c.x}),
          std::max({a.y, b.y, c.y}), colour, alpha,
          [=](double x, double y) { return TriangleDistance(a, b, c, x, y); });
  }

  // A stroke of the given width with round ends.
  void Line(Point a, Point b, double width, const Rgb& colour, double alpha = 1) {
    const double h = width / 2;
    Paint(std::min(a.x, b.x) - h, std::min(a.y, b.y) - h, std::max(a.x, b.x) + h,
          std::max(a.y, b.y) + h, colour, alpha, [=](double x, double y) {
            const double dx = b.x - a.x;
            const double dy = b.y - a.y;
            const double length2 = std::max(1e-9, dx * dx + dy * dy);
            const double t = std::clamp(((x - a.x) * dx + (y - a.y) * dy) / length2, 0.0, 1.0);
            return h - std::hypot(x - a.x - t * dx, y - a.y - t * dy);
          });
  }

  // Land or water below a wavy line, its colour going from top to bottom.
  void Ground(double base, double amplitude, double wavelength, double phase, const Rgb& top,
              const Rgb& bottom, double alpha = 1) {
    for (int x = 0; x < width_; ++x) {
      const double edge = GroundAt(base, amplitude, wavelength, phase, x + 0.5);
      for (int y = std::max(0, static_cast<int>(edge) - 1); y < height_; ++y) {
        const double t = std::clamp((y + 0.5 - base) / (height_ - base), 0.0, 1.0);
        const double cover = std::clamp(y + 1.0 - edge, 0.0, 1.0) * alpha;
        At(x, y) = Mix(At(x, y), Mix(top, bottom, t), cover);
      }
    }
  }

  static double GroundAt(double base, double amplitude, double wavelength, double phase, double x) {
    return base + amplitude * std::sin(x / wavelength * 6.283185307179586 + phase);
  }

  static double TriangleDistance(Point a, Point b, Point c, double x, double y) {
    // Inside when on the same side of every edge as the third corner.
    const double area = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
    const double sign = area < 0 ? -1 : 1;
    auto edge = [&](Point p, Point q) {
      const double length = std::max(1e-9, std::hypot(q.x - p.x, q.y - p.y));
      return sign * ((q.x - p.x) * (y - p.y) - (q.y - p.y) * (x - p.x)) / length;
    };
    return std::min({edge(a, b), edge(b, c), edge(c, a)});
  }

  // A new 8-bit RGB image of the canvas; nullptr when libvips failed.
  VipsImage* ToImage() const {
    std::vector<unsigned char> bytes;
    bytes.reserve(pixels_.size() * 3);
    for (const Rgb& p : pixels_) {
      for (double v : {p.r, p.g, p.b}) {
        bytes.push_back(static_cast<unsigned char>(std::clamp(std::lround(v), 0L, 255L)));
      }
    }
    return vips_image_new_from_memory_copy(bytes.data(), bytes.size(), width_, height_, 3,
                                           VIPS_FORMAT_UCHAR);
  }

 private:
  Rgb& At(int x, int y) { return pixels_[static_cast<std::size_t>(y) * width_ + x]; }

  int width_;
  int height_;
  std::vector<Rgb> pixels_;
};

void Cloud(Canvas& canvas, double x, double y, double scale) {
  const Rgb white = Hex(0xffffff);
  canvas.Ellipse(x, y + 14 * scale, 78 * scale, 20 * scale, white, 0.9);
  canvas.Circle(x - 36 * scale, y, 26 * scale, white, 0.9);
  canvas.Circle(x + 4 * scale, y - 12 * scale, 36 * scale, white, 0.9);
  canvas.Circle(x + 42 * scale, y + 2 * scale, 24 * scale, white, 0.9);
}

void Pine(Canvas& canvas, double x, double base, double height, const Rgb& colour) {
  canvas.Rect(x - height * 0.035, base - height * 0.2, x + height * 0.035, base, Hex(0x5a3d25));
  for (int tier = 0; tier < 3; ++tier) {
    const double top = base - height + tier * height * 0.22;
    const double half = height * (0.15 + tier * 0.065);
    canvas.Triangle({x, top}, {x - half, top + height * 0.42}, {x + half, top + height * 0.42},
                    Mix(colour, Hex(0x000000), tier * 0.06));
  }
}

// A hot-air balloon whose envelope is a circle of radius r at cx, cy with
// gores in two colours, tapering to the mouth, with ropes and a basket.
void Balloon(Canvas& canvas, double cx, double cy, double r, const Rgb& a, const Rgb& b,
             double alpha) {
  const Point mouth_left{cx - r * 0.24, cy + r * 1.3};
  const Point mouth_right{cx + r * 0.24, cy + r * 1.3};
  const double basket_top = cy + r * 1.62;
  canvas.Line(mouth_left, {cx - r * 0.15, basket_top}, std::max(1.5, r * 0.025), Hex(0x4a3526),
              alpha);
  canvas.Line(mouth_right, {cx + r * 0.15, basket_top}, std::max(1.5, r * 0.025), Hex(0x4a3526),
              alpha);
  canvas.Rect(cx - r * 0.17, basket_top, cx + r * 0.17, cy + r * 1.88, Hex(0x8b5a2b), alpha);
  canvas.Rect(cx - r * 0.17, basket_top, cx + r * 0.17, basket_top + r * 0.05, Hex(0x5e3b1c),
              alpha);
  auto envelope = [=](double x, double y) {
    const double round = r - std::hypot(x - cx, y - cy);
    const double taper = Canvas::TriangleDistance(
        {cx - r * 0.92, cy + r * 0.38}, {cx + r * 0.92, cy + r * 0.38}, {cx, cy + r * 1.9}, x, y);
    return std::max(round, std::min(taper, cy + r * 1.3 - y));
  };
  canvas.Paint(cx - r, cy - r, cx + r, cy + r * 1.3, a, alpha, envelope);
  // Gores: bands of equal angle around the envelope, narrowing towards the top
  // and the mouth.
  canvas.Paint(cx - r, cy - r, cx + r, cy + r * 1.3, b, alpha, [=](double x, double y) {
    const double across = r * std::sqrt(std::max(0.02, 1 - std::pow((y - cy) / (r * 1.45), 2)));
    const double u = std::asin(std::clamp((x - cx) / across, -1.0, 1.0)) / 1.5707963;  // -1..1
    const double band = std::fabs(std::fmod(u * 3.5 + 10.25, 1.0) - 0.5) - 0.25;  // >0 in b's gores
    return std::min(envelope(x, y), band * across * 0.9);
  });
  canvas.Ellipse(cx - r * 0.38, cy - r * 0.42, r * 0.2, r * 0.32, Hex(0xffffff), 0.22 * alpha);
}

void Flower(Canvas& canvas, double x, double y, double size, const Rgb& petal, const Rgb& heart) {
  canvas.Line({x, y}, {x + size * 0.2, y + size * 3.2}, std::max(2.0, size * 0.22), Hex(0x3d7a35));
  canvas.Ellipse(x + size * 0.75, y + size * 1.8, size * 0.7, size * 0.28, Hex(0x4f9a45));
  for (int i = 0; i < 6; ++i) {
    const double angle = i * 1.0471975512 + size;
    canvas.Circle(x + std::cos(angle) * size * 0.6, y + std::sin(angle) * size * 0.6, size * 0.48,
                  petal);
  }
  canvas.Circle(x, y, size * 0.38, heart);
}

Canvas Beach() {
  Canvas canvas(800, 600);
  canvas.Gradient(0, 350, {{0, Hex(0x3d7cc9)}, {1, Hex(0xc4e8f7)}});
  canvas.Circle(640, 120, 120, Hex(0xfff6d0), 0.15);
  canvas.Circle(640, 120, 82, Hex(0xfff6d0), 0.25);
  canvas.Circle(640, 120, 52, Hex(0xfff4c2));
  Cloud(canvas, 180, 110, 1.1);
  Cloud(canvas, 420, 70, 0.7);
  canvas.Ground(345, 0, 1, 0, Hex(0x2a7fb5), Hex(0x5cc2d0));
  Random random(11);
  for (int i = 0; i < 40; ++i) {
    const double x = random.Real(0, 800);
    const double y = random.Real(360, 440);
    const double half = random.Real(8, 26) * (y - 330) / 100;
    canvas.Line({x - half, y}, {x + half, y}, 2.5, Hex(0xffffff), 0.45);
  }
  canvas.Ground(438, 12, 260, 0.7, Hex(0xffffff), Hex(0xffffff), 0.8);
  canvas.Ground(448, 12, 260, 0.7, Hex(0xf3dca6), Hex(0xdcb071));
  // A parasol in red and white, and a striped towel.
  canvas.Line({560, 368}, {588, 545}, 7, Hex(0x6b4a2b));
  auto canopy = [](double x, double y) {
    return std::min((1 - std::hypot((x - 556) / 110, (y - 372) / 62)) * 62, 372 - y);
  };
  canvas.Paint(446, 310, 666, 372, Hex(0xe63946), 1, canopy);
  canvas.Paint(446, 310, 666, 372, Hex(0xfaf3e3), 1, [&](double x, double y) {
    const double angle = std::atan2(372 - y, x - 556) / 3.14159265 * 6;  // 0..6 over the arc
    return std::min(canopy(x, y), (std::fabs(std::fmod(angle, 2.0) - 1) - 0.5) * 30);
  });
  canvas.Rect(190, 500, 360, 548, Hex(0x2a9d8f));
  for (int i = 0; i < 4; ++i) canvas.Rect(210 + i * 40, 500, 226 + i * 40, 548, Hex(0xf4f1de));
  canvas.Circle(420, 530, 20, Hex(0xffbe0b));
  canvas.Paint(400, 510, 440, 550, Hex(0x3a86ff), 1, [](double x, double y) {
    return std::min(20 - std::hypot(x - 420, y - 530), 6 - std::fabs(x - 420 + (y - 530) * 0.3));
  });
  return canvas;
}

Canvas Sunset() {
  Canvas canvas(800, 600);
  canvas.Gradient(
      0, 385,
      {{0, Hex(0x2d1b4e)}, {0.5, Hex(0xb8487c)}, {0.82, Hex(0xff9a4d)}, {1, Hex(0xffd27f)}});
  canvas.Circle(400, 385, 150, Hex(0xffe29a), 0.12);
  canvas.Circle(400, 385, 100, Hex(0xffe29a), 0.2);
  canvas.Circle(400, 385, 68, Hex(0xffe6a8));
  canvas.Ellipse(120, 386, 170, 28, Hex(0x3b2450));
  canvas.Ellipse(700, 386, 110, 16, Hex(0x4a2a5a));
  canvas.Ground(385, 0, 1, 0, Hex(0x4a2d5e), Hex(0x0f1430));
  for (int i = 0; i < 16; ++i) {
    const double y = 392 + i * 11.5;
    const double half = 72 - i * 3.4 + (i % 3) * 6;
    canvas.Line({400 - half, y}, {400 + half, y}, 3 + i * 0.15, Hex(0xffc46b), 0.75 - i * 0.04);
  }
  const Rgb shadow = Hex(0x1a1030);
  canvas.Triangle({598, 300}, {598, 428}, {540, 428}, shadow);
  canvas.Triangle({604, 318}, {604, 428}, {648, 428}, shadow);
  canvas.Triangle({530, 434}, {670, 434}, {650, 452}, shadow);
  canvas.Triangle({530, 434}, {650, 452}, {550, 452}, shadow);
  canvas.Rect(598, 296, 604, 436, shadow);
  for (Point bird : {Point{220, 150}, Point{258, 172}, Point{196, 190}}) {
    canvas.Line({bird.x - 14, bird.y - 6}, bird, 2.5, Hex(0x2d1b4e));
    canvas.Line(bird, {bird.x + 14, bird.y - 6}, 2.5, Hex(0x2d1b4e));
  }
  return canvas;
}

// Drawn upright, 600 x 800; written turned, with EXIF orientation 6.
Canvas Balloons() {
  Canvas canvas(600, 800);
  canvas.Gradient(0, 800, {{0, Hex(0x6fb1e8)}, {0.75, Hex(0xf8d9b6)}, {1, Hex(0xfbe6c8)}});
  Cloud(canvas, 470, 140, 0.8);
  Cloud(canvas, 110, 420, 0.6);
  Balloon(canvas, 470, 470, 42, Hex(0x8338ec), Hex(0x06d6a0), 0.85);
  Balloon(canvas, 130, 560, 34, Hex(0x3a86ff), Hex(0xfaf3e3), 0.8);
  Balloon(canvas, 290, 230, 112, Hex(0xe63946), Hex(0xffd166), 1);
  canvas.Ground(690, 22, 520, 0.5, Hex(0x8fc27a), Hex(0x6aa35a));
  canvas.Ground(735, 16, 330, 2.1, Hex(0x5c9a4c), Hex(0x3f7a3a));
  return canvas;
}

Canvas Forest() {
  Canvas canvas(800, 600);
  canvas.Gradient(0, 600, {{0, Hex(0xbfe6f2)}, {0.6, Hex(0xf3f8e6)}, {1, Hex(0xf3f8e6)}});
  canvas.Circle(150, 110, 70, Hex(0xfffbe0), 0.35);
  canvas.Circle(150, 110, 44, Hex(0xfffbe0));
  canvas.Ground(320, 28, 540, 1.0, Hex(0xa3cfa4), Hex(0x8cbf8e));
  Random random(5);
  for (double x = 10; x < 800; x += random.Real(28, 44)) {
    const double base = Canvas::GroundAt(320, 28, 540, 1.0, x) + 12;
    Pine(canvas, x, base, random.Real(55, 80), Hex(0x6a9f75));
  }
  canvas.Ground(420, 22, 400, 2.3, Hex(0x78b565), Hex(0x4c8a3f));
  for (double x = 30; x < 800; x += random.Real(70, 110)) {
    const double base = Canvas::GroundAt(420, 22, 400, 2.3, x) + random.Real(20, 60);
    Pine(canvas, x, base, random.Real(150, 210), Hex(0x2f6b3a));
  }
  for (int i = 0; i < 70; ++i) {
    const double x = random.Real(0, 800);
    const double y = random.Real(480, 600);
    canvas.Circle(x, y, random.Real(2, 4.5), i % 3 ? Hex(0xfff7d6) : Hex(0xffd23f), 0.9);
  }
  return canvas;
}

Canvas Garden() {
  Canvas canvas(800, 600);
  canvas.Gradient(0, 600, {{0, Hex(0x8ccbf2)}, {0.7, Hex(0xe8f6fd)}, {1, Hex(0xe8f6fd)}});
  Cloud(canvas, 600, 90, 0.9);
  Cloud(canvas, 230, 60, 0.6);
  // A picket fence.
  const Rgb paint = Hex(0xf6f1e7);
  canvas.Rect(0, 330, 800, 346, Hex(0xe4ddcf));
  canvas.Rect(0, 392, 800, 408, Hex(0xe4ddcf));
  for (double x = 12; x < 800; x += 48) {
    canvas.Rect(x, 300, x + 30, 440, paint);
    canvas.Triangle({x, 300}, {x + 30, 300}, {x + 15, 282}, paint);
  }
  canvas.Ground(420, 6, 600, 0, Hex(0x86c96f), Hex(0x4f9a45));
  Random random(3);
  constexpr Rgb kPetals[] = {Hex(0xff6b8b), Hex(0xffd23f), Hex(0xf7f7ff), Hex(0xb185db),
                             Hex(0xff9f43)};
  for (int i = 0; i < 30; ++i) {
    const double y = 430 + i * 4.6 + random.Real(-4, 4);
    const double x = random.Real(20, 780);
    const double size = 8 + (y - 430) * 0.09;
    const Rgb& petal = kPetals[random.Next() % std::size(kPetals)];
    Flower(canvas, x, y, size, petal, i % 2 ? Hex(0xffc93c) : Hex(0x7a4a1f));
  }
  return canvas;
}

Canvas Chart() {
  Canvas canvas(800, 600);
  canvas.Gradient(0, 600, {{0, Hex(0xeef1f6)}, {1, Hex(0xeef1f6)}});
  canvas.Rect(46, 48, 766, 568, Hex(0x000000), 0.06);
  canvas.Rect(40, 40, 760, 560, Hex(0xffffff));
  canvas.Rect(40, 40, 760, 52, Hex(0x2f3e5c));
  for (int k = 0; k < 5; ++k) {
    const double y = 140 + k * 90;
    canvas.Rect(90, y - 1, 720, y + 1, Hex(0xe3e7ee));
  }
  canvas.Rect(88, 110, 91, 502, Hex(0x8a94a6));
  canvas.Rect(88, 499, 722, 502, Hex(0x8a94a6));
  constexpr double kValues[] = {0.42, 0.58, 0.51, 0.74, 0.66, 0.88};
  Point last{};
  for (int i = 0; i < 6; ++i) {
    const double x = 120 + i * 100;
    const double top = 500 - kValues[i] * 360;
    canvas.Rect(x, top, x + 64, 500, i == 5 ? Hex(0xf58518) : Hex(0x4c78a8));
    const Point point{x + 32, top - 34};
    if (i > 0) canvas.Line(last, point, 4, Hex(0xe45756));
    last = point;
  }
  for (int i = 0; i < 6; ++i) {
    const Point point{120 + i * 100 + 32.0, 500 - kValues[i] * 360 - 34};
    canvas.Circle(point.x, point.y, 8, Hex(0xe45756));
    canvas.Circle(point.x, point.y, 4, Hex(0xffffff));
  }
  return canvas;
}

struct Sample {
  const char* path;   // under the tree
  const char* saver;  // the saver's options
  Canvas (*draw)();
  int orientation;  // EXIF orientation written, 0 for none
};

constexpr Sample kSamples[] = {
    {"Holiday/beach.jpg", "[Q=85,optimize_coding,strip]", Beach, 0},
    {"Holiday/sea.webp", "[Q=82,strip]", Sunset, 0},
    {"Holiday/balloons.jpg", "[Q=85,optimize_coding]", Balloons, 6},
    {"Holiday/2001/May/forest.jpg", "[Q=85,optimize_coding,strip]", Forest, 0},
    {"Family & Friends/garden.webp", "[Q=82,strip]", Garden, 0},
    {"Work/chart.png", "[compression=9,strip]", Chart, 0},
};

bool WriteSample(const std::string& tree, const Sample& sample) {
  const std::string path = tree + "/" + sample.path;
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
  if (error) {
    std::fprintf(stderr, "picture_gen: %s: %s\n", path.c_str(), error.message().c_str());
    return false;
  }
  VipsImage* image = sample.draw().ToImage();
  if (image == nullptr) return false;
  if (sample.orientation == 6) {
    // Turned a quarter anticlockwise, so that a viewer turning it a quarter
    // clockwise, as orientation 6 asks, shows it upright.
    VipsImage* turned = nullptr;
    const int failed = vips_rot(image, &turned, VIPS_ANGLE_D270, nullptr);
    g_object_unref(image);
    if (failed != 0) return false;
    image = turned;
    vips_image_set_int(image, VIPS_META_ORIENTATION, sample.orientation);
  }
  const bool ok = vips_image_write_to_file(image, (path + sample.saver).c_str(), nullptr) == 0;
  g_object_unref(image);
  if (ok) std::printf("%s\n", path.c_str());
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (VIPS_INIT(argv[0]) != 0) return 1;
  bool small = false;
  bool samples = false;
  const char* folder = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--small") == 0) {
      small = true;
    } else if (std::strcmp(argv[i], "--samples") == 0) {
      samples = true;
    } else if (folder == nullptr && argv[i][0] != '-') {
      folder = argv[i];
    } else {
      folder = nullptr;
      break;
    }
  }
  if (folder == nullptr || (small && samples)) {
    std::fprintf(stderr, "usage: picture_gen [--small] FOLDER | --samples TREE\n");
    return 2;
  }
  if (samples) {
    for (const Sample& sample : kSamples) {
      if (!WriteSample(folder, sample)) {
        std::fprintf(stderr, "picture_gen: %s", vips_error_buffer());
        return 1;
      }
    }
    return 0;
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

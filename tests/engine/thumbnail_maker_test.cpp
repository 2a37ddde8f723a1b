#include "engine/thumbnail_maker.h"

#include <gtest/gtest.h>

namespace pelorin {
namespace {

TEST(ThumbnailFormatOf, PicksTheFormatByExtensionIgnoringCase) {
  using F = ThumbnailFormat;
  const struct {
    const char* name;
    std::optional<ThumbnailFormat> expected;
  } cases[] = {
      {"a.jpg", F::kJpeg},         {"A.JPEG", F::kJpeg},    {"scan.Jpe", F::kJpeg},
      {"logo.png", F::kPng},       {"anim.GIF", F::kGif},   {"x.y.webp", F::kWebp},
      {"a.bmp", std::nullopt},     {"a.svg", std::nullopt}, {"a.jpgx", std::nullopt},
      {"jpg", std::nullopt},       {"a.", std::nullopt},    {"", std::nullopt},
      {"a.png.txt", std::nullopt}, {"a.tif", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ThumbnailFormatOf(c.name), c.expected) << c.name;
}

}  // namespace
}  // namespace pelorin

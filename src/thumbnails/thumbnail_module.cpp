// The entry point of the thumbnail module, which the programs load when
// they make their first thumbnail (lazy_thumbnail_maker.h).
#include "thumbnails/vips_thumbnail_maker.h"

extern "C" __attribute__((visibility("default"))) pelorin::ThumbnailMaker*
PelorinNewThumbnailMaker() {
  return new pelorin::VipsThumbnailMaker();
}

// What both windows are handed instead of reaching for globals: the settings
// store, the prompts, the desktop and the folder that holds the data files.
#pragma once

#include <string>

#include "engine/thumbnail_maker.h"
#include "settings/settings_store.h"
#include "ui/prompter.h"
#include "ui/shell.h"

namespace pelorin {

struct WindowServices {
  SettingsStore& store;
  Prompter& prompter;
  Shell& shell;
  // Where template.htm, picture_template.htm and specialtags.txt lie.
  std::string installation_folder;
  // Makes missing thumbnails; none: no thumbnail is made.
  ThumbnailMaker* thumbnail_maker = nullptr;
};

}  // namespace pelorin

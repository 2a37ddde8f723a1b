// The generated HTML behind the list and count tags of a page.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/folder_reader.h"
#include "engine/file_type_list.h"
#include "engine/page_options.h"
#include "engine/picture_info.h"

namespace pelorin {

enum class ListMode {
  SubdirectoryList = 0,
  FileList = 1,
  NumberOfSubdirectories = 2,
  NumberOfFiles = 3,
};

// The header of a name relative to the folder, or nullptr.
const PictureHeader* HeaderOf(const PictureHeaders* headers, const std::string& name);

// What ModernImages adds to the IMG of a picture, thumbnail or display copy:
// ' loading="lazy" decoding="async"' and, when the header gives the size and
// no Width scales the picture (scaled), ' width="W" height="H"', upright.
void AppendModernImageAttributes(std::string& out, const PictureHeader* header, bool scaled);

// folder/name as a srcset URL: as in href, with spaces and commas encoded too.
void AppendSrcsetUrl(std::string& out, std::string_view folder, std::string_view name);

// 'Width="60%" ' from ScalePics and ScalePercent, or nothing.
std::string PictureWidthAttribute(const PageOptions& options);

// For each entry of the listing, whether it is a listed file (IsListedFile).
// Worked out once for a page that asks about files twice.
std::vector<bool> ListedFiles(const FolderListing& listing, const PageOptions& options,
                              const FileTypeList& filter);

// Appends the lines of the list (modes 0 and 1, each line ended by CR LF) to
// *out and returns 0, or returns the count (modes 2 and 3) without writing.
// Names are escaped wherever they enter the page. listed: ListedFiles of the
// same listing and filter, or nullptr to ask the filter. thumbnails: the
// listing of the thumbnail subfolder, when thumbnails live in one and it
// exists. headers: what the pictures and thumbnails shown say about their
// size, for ModernImages.
std::int64_t BuildLists(const FolderListing& listing, ListMode mode, const PageOptions& options,
                        const FileTypeList& filter, std::string* out,
                        const std::vector<bool>* listed = nullptr,
                        const FolderListing* thumbnails = nullptr,
                        const PictureHeaders* headers = nullptr);

}  // namespace pelorin

#include "engine/prune.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "common/path_routines.h"
#include "engine/pictures.h"
#include "engine/walker.h"

namespace pelorin {

namespace {

bool AnyPictureThere(const FolderListing& folder, const std::vector<std::string>& pictures) {
  return std::any_of(pictures.begin(), pictures.end(),
                     [&](const std::string& picture) { return HasFile(folder, picture); });
}

// The pictures a file in the thumbnail subfolder could belong to: a
// thumbnail's, its sharper copy's, a display copy's.
std::vector<std::string> PicturesOfSubfolderFile(const std::string& name,
                                                 const PageOptions& options) {
  std::vector<std::string> pictures;
  const std::string& prefix = options.thumbnail_prefix;
  if (name.starts_with(prefix)) {
    std::string rest = name.substr(prefix.size());
    if (std::optional<std::string> single = SingleDensityNameOf(rest)) {
      pictures.push_back(std::move(*single));
    }
    pictures.push_back(std::move(rest));
  }
  if (name.starts_with(kDisplayCopyPrefix)) {
    pictures.push_back(name.substr(kDisplayCopyPrefix.size()));
  }
  return pictures;
}

std::vector<std::string> PicturesOfBesideFile(const std::string& name, const PageOptions& options) {
  std::vector<std::string> pictures;
  if (!options.use_thumbnails || options.thumbnail_subdir || options.thumbnail_prefix.empty() ||
      !name.starts_with(options.thumbnail_prefix)) {
    return pictures;  // with an empty prefix a picture is its own thumbnail
  }
  std::string rest = name.substr(options.thumbnail_prefix.size());
  if (std::optional<std::string> single = SingleDensityNameOf(rest)) {
    pictures.push_back(std::move(*single));
  }
  pictures.push_back(std::move(rest));
  return pictures;
}

bool IsPicturePage(const std::string& name, const PageOptions& options) {
  return name != options.index_filename && IsPicturePageName(name);
}

// Whether the file says the program made it; never follows a link and
// never waits on a FIFO.
bool IsMadeFile(int dir_fd, const std::string& name, bool page, const MadeImageTest& made_image) {
  const UniqueFd fd(
      ::openat(dir_fd, name.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY));
  struct stat st;
  if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  return page ? EndsWithMadeByLine(fd.get()) : made_image(fd.get());
}

// One folder's orphans, judged on its open descriptor. thumbnail_fd: the
// thumbnail subfolder, open, or -1.
void FindInFolder(const std::string& path, int dir_fd, const FolderListing& folder,
                  int thumbnail_fd, const FolderListing* thumbnails, const PageOptions& options,
                  const MadeImageTest& made_image, std::vector<Orphan>* orphans) {
  const std::string subfolder = options.thumbnail_folder + kSeparator;
  std::size_t in_subfolder = 0;
  for (const std::string& name : OrphanCandidates(folder, thumbnails, options)) {
    const bool sub = name.starts_with(subfolder);
    const std::string base = sub ? name.substr(subfolder.size()) : name;
    if (!IsMadeFile(sub ? thumbnail_fd : dir_fd, base, !sub && IsPicturePage(name, options),
                    made_image)) {
      continue;
    }
    orphans->push_back({path, name});
    in_subfolder += sub;
  }
  if (thumbnails == nullptr || in_subfolder == 0) return;
  if (in_subfolder == thumbnails->entries.size()) orphans->push_back({path, subfolder});
}

struct ThumbnailFolder {
  UniqueFd fd;
  FolderListing listing;
  bool read = false;
};

ThumbnailFolder ReadThumbnailFolderOf(int dir_fd, const PageOptions& options, std::string* error) {
  ThumbnailFolder folder;
  folder.fd = OpenFolder(dir_fd, options.thumbnail_folder, /*follow_links=*/false);
  if (!folder.fd.valid()) {
    if (errno != ENOENT) *error = ErrnoText(errno);
    return folder;
  }
  folder.read = ReadFolder(folder.fd.get(), &folder.listing, error, /*just_opened=*/true);
  return folder;
}

class OrphanWalk : public WalkCallback {
 public:
  OrphanWalk(const PageOptions& options, const MadeImageTest& made_image, std::stop_token stop,
             OrphanList& list)
      : options_(options), made_image_(made_image), stop_(std::move(stop)), list_(list) {}

  bool SetStatus(WalkEvent event) override {
    if (event != WalkEvent::kFolder || !stop_.stop_requested()) return false;
    list_.stopped = true;
    return true;
  }

  void ProcessDirectory(WalkFolder& folder) override {
    ThumbnailFolder thumbnails;
    if (ThumbnailsInSubfolder(options_)) {
      auto& subfolders = folder.subfolders;
      const auto it = std::find(subfolders.begin(), subfolders.end(), options_.thumbnail_folder);
      if (it != subfolders.end()) {
        subfolders.erase(it);  // no folder of the tree
        std::string error;
        thumbnails = ReadThumbnailFolderOf(folder.fd, options_, &error);
        if (!error.empty()) {
          list_.failures.push_back({folder.path + options_.thumbnail_folder + kSeparator,
                                    "cannot read the folder: " + error});
        }
      }
    }
    FindInFolder(folder.path, folder.fd, folder.listing, thumbnails.fd.get(),
                 thumbnails.read ? &thumbnails.listing : nullptr, options_, made_image_,
                 &list_.orphans);
  }

  void FolderFailed(const std::string& path, const std::string& reason) override {
    list_.failures.push_back({path, "cannot read the folder: " + reason});
  }

 private:
  const PageOptions& options_;
  const MadeImageTest& made_image_;
  std::stop_token stop_;
  OrphanList& list_;
};

}  // namespace

std::vector<std::string> OrphanCandidates(const FolderListing& folder,
                                          const FolderListing* thumbnail_folder,
                                          const PageOptions& options) {
  std::vector<std::string> candidates;
  for (const FolderEntry& entry : folder.entries) {
    if (entry.kind != EntryKind::kFile) continue;
    const std::string& name = entry.name;
    if (IsPicturePage(name, options)) {
      if (!HasFile(folder, name.substr(0, name.size() - kPicturePageSuffix.size()))) {
        candidates.push_back(name);
      }
    } else if (IsPictureName(name)) {
      const std::vector<std::string> pictures = PicturesOfBesideFile(name, options);
      if (!pictures.empty() && !AnyPictureThere(folder, pictures)) candidates.push_back(name);
    }
  }
  if (thumbnail_folder == nullptr || !ThumbnailsInSubfolder(options)) return candidates;
  for (const FolderEntry& entry : thumbnail_folder->entries) {
    if (entry.kind != EntryKind::kFile || !IsPictureName(entry.name)) continue;
    const std::vector<std::string> pictures = PicturesOfSubfolderFile(entry.name, options);
    if (!pictures.empty() && !AnyPictureThere(folder, pictures)) {
      candidates.push_back(options.thumbnail_folder + kSeparator + entry.name);
    }
  }
  return candidates;
}

bool EndsWithMadeByLine(int fd) {
  // The line, its line end, and the end of the line before it.
  char tail[kMadeByLine.size() + 4];
  struct stat st;
  if (::fstat(fd, &st) != 0) return false;
  const off_t want = std::min<off_t>(st.st_size, sizeof tail);
  if (::pread(fd, tail, want, st.st_size - want) != want) return false;
  std::string_view text(tail, static_cast<std::size_t>(want));
  if (text.ends_with("\r\n")) {
    text.remove_suffix(2);
  } else if (text.ends_with('\n') || text.ends_with('\r')) {
    text.remove_suffix(1);
  }
  if (!text.ends_with(kMadeByLine)) return false;
  text.remove_suffix(kMadeByLine.size());
  // Nothing before it: the file is that one line.
  return text.empty() || text.back() == '\n' || text.back() == '\r';
}

OrphanList FindOrphans(const std::string& root, const PageOptions& options,
                       const MadeImageTest& made_image, std::stop_token stop) {
  OrphanList list;
  OrphanWalk walk(options, made_image, std::move(stop), list);
  std::string path = root;
  WalkDirectory(path, walk);
  return list;
}

PruneResult RemoveOrphans(const std::vector<Orphan>& orphans, const PageOptions& options,
                          const MadeImageTest& made_image, std::stop_token stop) {
  PruneResult result;
  const std::string subfolder = options.thumbnail_folder + kSeparator;
  std::size_t i = 0;
  while (i < orphans.size()) {
    if (stop.stop_requested()) {
      result.stopped = true;
      break;
    }
    // One folder at a time, judged again as it is now.
    const std::string& path = orphans[i].folder;
    std::size_t end = i;
    while (end < orphans.size() && orphans[end].folder == path) ++end;
    const UniqueFd dir(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    FolderListing listing;
    std::string error;
    if (!dir.valid() || !ReadFolder(dir.get(), &listing, &error, /*just_opened=*/true)) {
      if (!dir.valid()) error = ErrnoText(errno);
      result.failures.push_back({path, "cannot read the folder: " + error});
      i = end;
      continue;
    }
    ThumbnailFolder thumbnails;
    if (ThumbnailsInSubfolder(options))
      thumbnails = ReadThumbnailFolderOf(dir.get(), options, &error);
    std::vector<Orphan> now;
    FindInFolder(path, dir.get(), listing, thumbnails.fd.get(),
                 thumbnails.read ? &thumbnails.listing : nullptr, options, made_image, &now);
    for (; i < end; ++i) {
      const std::string& name = orphans[i].name;
      const bool still = std::any_of(now.begin(), now.end(),
                                     [&](const Orphan& orphan) { return orphan.name == name; });
      if (!still) continue;
      const bool sub = name.starts_with(subfolder) && name != subfolder;
      int status;
      if (name == subfolder) {
        // Emptied by the removals before it; anything left in it stays.
        status = ::unlinkat(dir.get(), options.thumbnail_folder.c_str(), AT_REMOVEDIR);
        if (status != 0 && (errno == ENOTEMPTY || errno == EEXIST)) continue;
      } else {
        const std::string base = sub ? name.substr(subfolder.size()) : name;
        status = ::unlinkat(sub ? thumbnails.fd.get() : dir.get(), base.c_str(), 0);
      }
      if (status == 0) {
        ++(name == subfolder ? result.folders_removed : result.removed);
      } else {
        result.failures.push_back({path + name, "cannot remove: " + ErrnoText(errno)});
      }
    }
  }
  return result;
}

}  // namespace pelorin

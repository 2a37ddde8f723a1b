// The benchmark's folder trees: deterministic, so every machine and every
// round indexes the same names. Files are empty, as an indexer reads folder
// entries and never file contents.
//
//   tree_gen make PRESET FOLDER   S, M, L, NET, NET_SMALL: nested trees; BIG10K, BIG100K:
//                                 one folder of 10,000 or 100,000 files
//   tree_gen clean FOLDER NAME    removes every file NAME in the tree (and
//                                 picture pages and leftover temporary
//                                 pages) and prints how many it removed
//   tree_gen count FOLDER         prints "folders entries" of the tree
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "random.h"

namespace {

using bench::Random;

struct Level {
  int min_children;
  int max_children;
  int percent_with_children;  // folders at this depth that have any
};

struct Preset {
  const char* name;
  Level levels[5];  // depth 0 (the root) to 4; depth 5 never has children
  int min_files;
  int max_files;
  int single_folder_files;  // > 0: one flat folder instead of a tree
};

// Leaves lie 3 to 5 levels below the root; about 20 files per folder.
constexpr Preset kPresets[] = {
    {"S", {{5, 5, 100}, {3, 5, 100}, {3, 5, 100}, {4, 8, 55}, {3, 7, 50}}, 0, 36, 0},
    {"M", {{10, 10, 100}, {4, 8, 100}, {4, 8, 100}, {6, 14, 60}, {6, 11, 50}}, 0, 40, 0},
    {"L", {{20, 20, 100}, {6, 10, 100}, {6, 10, 100}, {6, 14, 60}, {8, 16, 50}}, 0, 38, 0},
    // The latency benchmark's trees, behind a slow file system: 2,000
    // folders and 40,000 files, and a small one for a quick check.
    {"NET", {{6, 6, 100}, {4, 6, 100}, {4, 6, 100}, {6, 10, 66}, {2, 4, 40}}, 0, 40, 0},
    {"NET_SMALL", {{4, 4, 100}, {2, 4, 100}, {2, 3, 60}, {}, {}}, 0, 30, 0},
    {"BIG10K", {}, 0, 0, 10000},
    {"BIG100K", {}, 0, 0, 100000},
};

struct Counts {
  std::int64_t folders = 0;
  std::int64_t files = 0;
  std::int64_t removed = 0;
};

bool Fail(const std::string& what) {
  std::fprintf(stderr, "tree_gen: %s: %s\n", what.c_str(), std::strerror(errno));
  return false;
}

bool MakeFile(int dir_fd, const std::string& name, Counts* counts) {
  const int fd = ::openat(dir_fd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return Fail(name);
  ::close(fd);
  ++counts->files;
  return true;
}

// Names a real collection has: camera pictures with their small_ thumbnails,
// documents, music, pages, files without an extension, now and then one with
// spaces, HTML characters, non-ASCII letters, or a very long name.
std::string OddName(Random& random, int index) {
  static const char* const kOdd[] = {
      "Fish & Chips %d.jpg", "<b>bold<b> %d.png",
      "quote \"%d\".gif",    "Caf\xC3\xA9 %d.jpeg",
      "100%% sure %d.jpg",   "hash #%d.html",
      "  leading %d.gif",    "\xE6\x97\xA5\xE6\x9C\xAC %d.png",
  };
  char buffer[256];
  const char* format = kOdd[random.Next() % (sizeof kOdd / sizeof kOdd[0])];
  std::snprintf(buffer, sizeof buffer, format, index);
  return buffer;
}

bool FillFolder(int dir_fd, Random& random, int count, Counts* counts) {
  char name[300];
  const bool pictures = random.Chance(50);
  int i = 0;
  if (pictures) {
    const int base = random.Between(1, 9000);
    for (; i + 1 < count * 4 / 5; i += 2) {  // picture and thumbnail
      std::snprintf(name, sizeof name, "IMG_%04d.JPG", base + i / 2);
      if (!MakeFile(dir_fd, name, counts)) return false;
      std::snprintf(name, sizeof name, "small_IMG_%04d.JPG", base + i / 2);
      if (!MakeFile(dir_fd, name, counts)) return false;
    }
  }
  static const char* const kOther[] = {
      "report-%03d.pdf", "notes %d.txt",   "track_%02d.mp3", "page%d.html", "data-%d.csv",
      "README%d",        "photo_%05d.png", "scan %d.jpeg",   "clip%d.mp4",  "archive-%d.tar.gz",
  };
  for (int k = 0; i < count; ++i, ++k) {
    if (random.Chance(3)) {
      const std::string odd = OddName(random, k);
      if (!MakeFile(dir_fd, odd, counts)) return false;
      continue;
    }
    if (random.Chance(1)) {
      std::string long_name(150 + random.Between(0, 80), 'x');
      long_name += std::to_string(k) + ".jpg";
      if (!MakeFile(dir_fd, long_name, counts)) return false;
      continue;
    }
    std::snprintf(name, sizeof name, kOther[random.Next() % 10], k);
    if (!MakeFile(dir_fd, name, counts)) return false;
  }
  return true;
}

int MakeFolder(int parent_fd, const std::string& name) {
  if (::mkdirat(parent_fd, name.c_str(), 0755) != 0) return -1;
  return ::openat(parent_fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

std::string FolderName(Random& random, int depth, int index) {
  static const char* const kNames[] = {"Album %02d", "Trip_%d",       "20%02d",
                                       "Event-%d",   "misc%d",        "Family & Friends %d",
                                       "Scans %d",   "Caf\xC3\xA9 %d"};
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, kNames[(random.Next() + depth) % 8], index);
  return buffer;
}

bool MakeLevel(int dir_fd, const Preset& preset, int depth, Random& random, Counts* counts) {
  if (!FillFolder(dir_fd, random, random.Between(preset.min_files, preset.max_files), counts)) {
    return false;
  }
  // A few hidden folders with files of their own, and hidden files: no page
  // goes there, but every folder read meets them.
  if (random.Chance(2)) {
    const int hidden = MakeFolder(dir_fd, ".thumbnails");
    if (hidden < 0) return Fail(".thumbnails");
    ++counts->folders;
    const bool ok = FillFolder(hidden, random, 10, counts);
    ::close(hidden);
    if (!ok) return false;
  }
  if (random.Chance(5) && !MakeFile(dir_fd, ".DS_Store", counts)) return false;

  if (depth >= 5) return true;
  const Level& level = preset.levels[depth];
  if (!random.Chance(level.percent_with_children)) return true;
  const int children = random.Between(level.min_children, level.max_children);
  for (int i = 0; i < children; ++i) {
    const std::string name = FolderName(random, depth, i + 1);
    const int child = MakeFolder(dir_fd, name);
    if (child < 0) return Fail(name);
    ++counts->folders;
    const bool ok = MakeLevel(child, preset, depth + 1, random, counts);
    ::close(child);
    if (!ok) return false;
  }
  return true;
}

int Make(const std::string& preset_name, const std::string& folder) {
  const Preset* preset = nullptr;
  for (const Preset& p : kPresets) {
    if (preset_name == p.name) preset = &p;
  }
  if (preset == nullptr) {
    std::fprintf(stderr, "tree_gen: unknown preset %s (S, M, L, NET, NET_SMALL, BIG10K, BIG100K)\n",
                 preset_name.c_str());
    return 2;
  }
  const int root = MakeFolder(AT_FDCWD, folder);
  if (root < 0) {
    Fail(folder);
    return 1;
  }
  Counts counts;
  counts.folders = 1;
  std::uint64_t seed = 0x5045'4C4F'5249'4E32ull;  // FNV-1a of the preset's name on top
  for (const char* c = preset->name; *c != '\0'; ++c)
    seed = (seed ^ static_cast<unsigned char>(*c)) * 0x100000001B3ull;
  Random random(seed);
  bool ok;
  if (preset->single_folder_files > 0) {
    ok = FillFolder(root, random, preset->single_folder_files, &counts);
  } else {
    ok = MakeLevel(root, *preset, 0, random, &counts);
  }
  ::close(root);
  if (!ok) return 1;
  std::printf("%lld folders, %lld files\n", static_cast<long long>(counts.folders),
              static_cast<long long>(counts.files));
  return 0;
}

bool IsTempPage(const char* name) {
  const std::size_t length = std::strlen(name);
  return std::strncmp(name, ".pelorin2-", 10) == 0 && length > 14 &&
         std::strcmp(name + length - 4, ".tmp") == 0;
}

// With a name: removes every file of that name and every temporary page, in
// hidden folders too. Without: counts the folders an indexer visits (hidden
// ones are entries, not visited) and the entries it reads there.
// (IsPicturePage: "x.jpg.html" and the like, which no generated name is.)
bool IsPicturePage(const char* raw) {
  const std::size_t n = std::strlen(raw);
  if (n < 6 || ::strcasecmp(raw + n - 5, ".html") != 0) return false;
  const std::string picture(raw, n - 5);
  for (const char* e : {".gif", ".png", ".jpg", ".jpeg", ".jpe", ".webp", ".bmp", ".svg"}) {
    const std::size_t m = std::strlen(e);
    if (picture.size() > m && ::strcasecmp(picture.c_str() + picture.size() - m, e) == 0) {
      return true;
    }
  }
  return false;
}

bool Visit(int dir_fd, const char* name, Counts* counts) {
  DIR* dir = ::fdopendir(dir_fd);
  if (dir == nullptr) return Fail("fdopendir");
  ++counts->folders;
  std::vector<std::string> subfolders;
  while (const dirent* entry = ::readdir(dir)) {
    const char* raw = entry->d_name;
    if (std::strcmp(raw, ".") == 0 || std::strcmp(raw, "..") == 0) continue;
    unsigned char type = entry->d_type;
    if (type == DT_UNKNOWN) {
      struct stat st;
      if (::fstatat(dir_fd, raw, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
      type = S_ISDIR(st.st_mode) ? DT_DIR : DT_REG;
    }
    if (type == DT_DIR) {
      if (name != nullptr || raw[0] != '.') subfolders.emplace_back(raw);
      if (name == nullptr) ++counts->files;
      continue;
    }
    if (name != nullptr && (std::strcmp(raw, name) == 0 || IsTempPage(raw) || IsPicturePage(raw))) {
      if (::unlinkat(dir_fd, raw, 0) == 0) ++counts->removed;
      continue;
    }
    ++counts->files;
  }
  bool ok = true;
  for (const std::string& sub : subfolders) {
    const int fd = ::openat(dir_fd, sub.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) continue;
    ok = Visit(fd, name, counts) && ok;
  }
  ::closedir(dir);
  return ok;
}

int CleanOrCount(const std::string& folder, const char* name) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    Fail(folder);
    return 1;
  }
  Counts counts;
  if (!Visit(fd, name, &counts)) return 1;
  if (name == nullptr) {
    std::printf("%lld %lld\n", static_cast<long long>(counts.folders),
                static_cast<long long>(counts.files));
  } else {
    std::printf("%lld\n", static_cast<long long>(counts.removed));
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 3 && args[0] == "make") return Make(args[1], args[2]);
  if (args.size() == 3 && args[0] == "clean") return CleanOrCount(args[1], args[2].c_str());
  if (args.size() == 2 && args[0] == "count") return CleanOrCount(args[1], nullptr);
  std::fprintf(stderr,
               "usage: tree_gen make S|M|L|NET|NET_SMALL|BIG10K|BIG100K FOLDER\n"
               "       tree_gen clean FOLDER NAME\n"
               "       tree_gen count FOLDER\n");
  return 2;
}

#include "support/temp_tree.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace pelorin::testing {

namespace fs = std::filesystem;

TempTree::TempTree() {
  std::string pattern = (fs::temp_directory_path() / "pelorin-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  ::chmod(pattern.c_str(), 0777);  // reachable by the unprivileged child
  root_ = pattern;
}

TempTree::~TempTree() {
  std::error_code ec;
  // Permission tests may leave folders closed; open them so removal works.
  for (auto it = fs::recursive_directory_iterator(
           root_, fs::directory_options::skip_permission_denied, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_directory(ec) && !it->is_symlink(ec)) {
      ::chmod(it->path().c_str(), 0777);
    }
  }
  ::chmod(root_.c_str(), 0777);
  fs::remove_all(root_, ec);
}

std::string TempTree::Path(std::string_view relative) const {
  if (relative.empty()) return root_;
  return root_ + "/" + std::string(relative);
}

void TempTree::MakeFolder(std::string_view relative) const {
  fs::create_directories(Path(relative));
}

void TempTree::WriteFile(std::string_view relative, std::string_view content) const {
  const fs::path path = Path(relative);
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string TempTree::ReadFile(std::string_view relative) const {
  std::ifstream in(Path(relative), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool TempTree::Exists(std::string_view relative) const {
  struct stat st;
  return ::lstat(Path(relative).c_str(), &st) == 0;
}

void TempTree::GiveTo(unsigned uid, unsigned gid) const {
  std::error_code ec;
  bool given = ::lchown(root_.c_str(), uid, gid) == 0;
  for (auto it = fs::recursive_directory_iterator(root_, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    given = ::lchown(it->path().c_str(), uid, gid) == 0 && given;
  }
  EXPECT_TRUE(given) << "giving " << root_ << " away";
}

}  // namespace pelorin::testing

// Real temporary folder trees for tests, removed afterwards.
#pragma once

#include <string>
#include <string_view>

namespace pelorin::testing {

class TempTree {
 public:
  TempTree();
  ~TempTree();
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;

  // The tree's folder, absolute, without a trailing separator.
  const std::string& root() const { return root_; }
  std::string Path(std::string_view relative) const;
  void MakeFolder(std::string_view relative) const;
  void WriteFile(std::string_view relative, std::string_view content = "x") const;
  std::string ReadFile(std::string_view relative) const;
  bool Exists(std::string_view relative) const;
  // Hands the whole tree to an ordinary user, for permission tests.
  void GiveTo(unsigned uid, unsigned gid) const;

 private:
  std::string root_;
};

}  // namespace pelorin::testing

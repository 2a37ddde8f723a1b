// The pages of a tree of hostile names, loaded in headless Chromium: the DOM
// must hold no element or attribute that came from a name, and every link and
// picture must resolve to the very file it names.
//
// The template carries a probe script that reports the DOM after loading, one
// line per element, link and picture, into a <pre> that --dump-dom prints.
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <map>
#include <sstream>

#include "integration/hostile_names.h"
#include "integration/index_fixture.h"

namespace pelorin::testing {
namespace {

constexpr char kProbeTemplate[] = R"(<!DOCTYPE html>
<html><head><meta charset="utf-8">
<script id="trap">window.__calls = 0; window.alert = window.confirm = window.prompt = function () { window.__calls++; };</script>
<!--#title-->
<!--#metakeywords-->
<!--#metadescription-->
</head><body>
<h1>
<!--#fullcategory-->
</h1>
<div>
<!--#category-->
</div>
<!--#uponelevel-->
<!--#subdirectorylist-->
<!--#filelist-->
<script id="probe">
window.addEventListener('load', function () {
  var e = encodeURIComponent, lines = [], i, j;
  var all = document.getElementsByTagName('*');
  for (i = 0; i < all.length; i++) {
    var names = [];
    for (j = 0; j < all[i].attributes.length; j++) names.push(all[i].attributes[j].name);
    lines.push('E ' + all[i].tagName.toLowerCase() + ' ' + e(names.join(',')));
  }
  var links = document.getElementsByTagName('a');
  for (i = 0; i < links.length; i++) lines.push('A ' + e(links[i].href) + ' ' + e(links[i].textContent));
  var pictures = document.getElementsByTagName('img');
  for (i = 0; i < pictures.length; i++) lines.push('I ' + e(pictures[i].src) + ' ' + e(pictures[i].alt));
  lines.push('T ' + e(document.title));
  lines.push('X ' + window.__calls);
  var pre = document.createElement('pre');
  pre.id = 'probe-report';
  pre.textContent = lines.join('\n');
  document.body.appendChild(pre);
});
</script>
</body></html>
)";

enum class Form { kList, kPictures, kThumbnails };

struct Report {
  std::map<std::string, int> tags;
  std::vector<std::pair<std::string, std::string>> elements;  // tag, attribute names
  std::vector<std::pair<std::string, std::string>> links;     // href, text
  std::vector<std::pair<std::string, std::string>> pictures;  // src, alt
  std::string title;
  std::string calls;
};

std::string FindChromium() {
  if (const char* path = std::getenv("PELORIN_CHROMIUM"); path != nullptr && *path != '\0') {
    return path;
  }
  const char* path_list = std::getenv("PATH");
  std::stringstream folders(path_list != nullptr ? path_list : "/usr/bin");
  std::string folder;
  while (std::getline(folders, folder, ':')) {
    for (const char* name : {"chromium", "chromium-browser"}) {
      const std::string candidate = folder + "/" + name;
      if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
  }
  return {};
}

std::string FileUrl(const std::string& path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string url = "file://";
  for (unsigned char c : path) {
    if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
      url += static_cast<char>(c);
    } else {
      url += '%';
      url += kHex[c >> 4];
      url += kHex[c & 15];
    }
  }
  return url;
}

// A resolved file: URL back to the path it opens.
std::string PathOfUrl(const std::string& url) {
  if (url.rfind("file://", 0) != 0) return "<not a file URL: " + url + ">";
  return PercentDecode(url.substr(7));
}

Report ParseReport(const std::string& dump) {
  Report report;
  const std::string start = "<pre id=\"probe-report\">";
  const std::size_t begin = dump.find(start);
  const std::size_t end = dump.find("</pre>", begin);
  if (begin == std::string::npos || end == std::string::npos) return report;
  for (const std::string& line :
       Lines(dump.substr(begin + start.size(), end - begin - start.size()))) {
    std::istringstream fields(line);
    std::string kind, first, second;
    fields >> kind >> first >> second;
    first = PercentDecode(first);
    second = PercentDecode(second);
    if (kind == "E") {
      ++report.tags[first];
      report.elements.emplace_back(first, second);
    } else if (kind == "A") {
      report.links.emplace_back(PathOfUrl(first), second);
    } else if (kind == "I") {
      report.pictures.emplace_back(PathOfUrl(first), second);
    } else if (kind == "T") {
      report.title = first;
    } else if (kind == "X") {
      report.calls = first;
    }
  }
  return report;
}

// Names a browser shows exactly as they are: valid UTF-8, no control bytes.
bool ShowsAsIs(const std::string& name) {
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7F) return false;
  }
  std::size_t i = 0;
  while (i < name.size()) {
    const auto c = static_cast<unsigned char>(name[i]);
    int extra = -1;
    if (c < 0x80) {
      extra = 0;
    } else if ((c & 0xE0) == 0xC0) {
      extra = 1;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3;
    }
    if (extra < 0 || i + extra >= name.size()) return false;
    for (int k = 1; k <= extra; ++k) {
      if ((static_cast<unsigned char>(name[i + k]) & 0xC0) != 0x80) return false;
    }
    i += extra + 1;
  }
  return true;
}

std::string CollapseSpaces(const std::string& text) {
  std::string out;
  for (char c : text) {
    const bool space = c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
    if (space) {
      if (!out.empty() && out.back() != ' ') out += ' ';
    } else {
      out += c;
    }
  }
  if (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

class HostileNamesInBrowser : public IndexFixture {
 protected:
  void SetUp() override {
    IndexFixture::SetUp();
    chromium_ = FindChromium();
    ASSERT_FALSE(chromium_.empty())
        << "chromium not found (install it with scripts/install-deps.sh, or set "
           "PELORIN_CHROMIUM)";
    ASSERT_TRUE(WriteFileAt(Workspace(), "probe.htm", kProbeTemplate));
    SetOption("MainTemplate", Workspace("probe.htm"));
  }

  Report Load(const std::string& page) const {
    const ProcessResult run = RunProgram(
        chromium_,
        {"--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         "--user-data-dir=" + Workspace("browser-profile"), "--dump-dom", FileUrl(page)},
        {.timeout_seconds = 120});
    EXPECT_EQ(run.exit_code, 0) << run.Describe();
    Report report = ParseReport(run.out);
    EXPECT_FALSE(report.calls.empty()) << "no probe report in the DOM:\n" << run.Describe();
    return report;
  }

  std::string chromium_;
};

// One folder of the tree as the checks need it.
struct FolderModel {
  std::string relative;
  std::vector<std::string> subfolders;
  std::vector<std::string> files;  // listed files
};

void ExpectPage(const Report& report, const FolderModel& folder, Form form,
                const std::string& tree) {
  SCOPED_TRACE("page of '" + folder.relative + "'");
  const std::string base = folder.relative.empty() ? tree : tree + "/" + folder.relative;
  const bool top = folder.relative.empty();
  const std::size_t subfolders = folder.subfolders.size();

  std::vector<std::string> thumbnails;
  for (const std::string& file : folder.files) {
    if (file.rfind("small_", 0) == 0) thumbnails.push_back(file);
  }
  const std::size_t shown = form == Form::kThumbnails ? thumbnails.size() : folder.files.size();

  // Elements: exactly those of the template and the list forms.
  std::map<std::string, int> tags = {{"html", 1},  {"head", 1}, {"meta", 3}, {"script", 2},
                                     {"title", 1}, {"body", 1}, {"h1", 1},   {"div", 1}};
  auto add = [&tags](const char* tag, std::size_t count) {
    if (count > 0) tags[tag] += static_cast<int>(count);
  };
  add("p", top ? 0 : 1);
  add("a", (top ? 0 : 1) + subfolders + shown);
  if (subfolders > 0) add("h2", 1), add("p", 1);
  switch (form) {
    case Form::kList:
      add("h2", 1), add("ul", 1), add("li", shown);
      break;
    case Form::kPictures:
      add("p", shown), add("img", shown);
      break;
    case Form::kThumbnails:
      add("table", 1), add("tbody", 1), add("tr", 1 + shown / 5), add("td", shown);
      add("img", shown);
      break;
  }
  EXPECT_EQ(report.tags, tags);
  const std::map<std::string, std::set<std::string>> allowed = {
      {"meta", {"charset", "name,content"}},
      {"script", {"id"}},
      {"a", {"href"}},
      {"img", {"src,alt,width,border", "src,alt,border", "src,align,alt,border"}},
      {"p", {"", "align"}},
      {"td", {"align,valign"}},
      {"table", {"border"}}};
  for (const auto& [tag, attributes] : report.elements) {
    const auto it = allowed.find(tag);
    const bool ok = it == allowed.end() ? attributes.empty() : it->second.count(attributes) > 0;
    EXPECT_TRUE(ok) << "<" << tag << "> with attributes '" << attributes << "'";
  }
  EXPECT_EQ(report.calls, "0") << "script from a name ran";

  // Links and pictures: each resolves to the file it stands for.
  std::multiset<std::string> links, pictures;
  std::multiset<std::pair<std::string, std::string>> link_texts, picture_texts;
  if (!top)
    links.insert(tree + (folder.relative.find('/') == std::string::npos
                             ? "/index.html"
                             : "/" + ParentOf(folder.relative) + "/index.html"));
  for (const std::string& sub : folder.subfolders) {
    links.insert(base + "/" + sub + "/index.html");
    if (ShowsAsIs(sub)) link_texts.emplace(base + "/" + sub + "/index.html", sub);
  }
  if (form == Form::kThumbnails) {
    for (const std::string& thumbnail : thumbnails) {
      links.insert(base + "/" + thumbnail.substr(6));
      pictures.insert(base + "/" + thumbnail);
      if (ShowsAsIs(thumbnail)) picture_texts.emplace(base + "/" + thumbnail, thumbnail);
    }
  } else {
    for (const std::string& file : folder.files) {
      links.insert(base + "/" + file);
      if (form == Form::kList && ShowsAsIs(file)) link_texts.emplace(base + "/" + file, file);
      if (form == Form::kPictures) {
        pictures.insert(base + "/" + file);
        if (ShowsAsIs(file)) picture_texts.emplace(base + "/" + file, file);
      }
    }
  }
  std::multiset<std::string> seen_links, seen_pictures;
  for (const auto& [path, text] : report.links) {
    seen_links.insert(path);
    struct stat st;
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << "link to a missing file: " << path;
  }
  for (const auto& [path, alt] : report.pictures) seen_pictures.insert(path);
  EXPECT_EQ(seen_links, links);
  EXPECT_EQ(seen_pictures, pictures);
  const std::multiset<std::pair<std::string, std::string>> all_links(report.links.begin(),
                                                                     report.links.end());
  const std::multiset<std::pair<std::string, std::string>> all_pictures(report.pictures.begin(),
                                                                        report.pictures.end());
  for (const auto& pair : link_texts) {
    EXPECT_EQ(all_links.count(pair), 1u) << "link text '" << pair.second << "'";
  }
  for (const auto& pair : picture_texts) {
    EXPECT_EQ(all_pictures.count(pair), 1u) << "picture text '" << pair.second << "'";
  }
  const std::string category = top ? "Main directory" : folder.relative;
  if (ShowsAsIs(category)) {
    EXPECT_EQ(report.title, CollapseSpaces("Pictures - " + category));
  }
}

TEST_F(HostileNamesInBrowser, NamesNeverBecomeMarkupAndLinksFindTheirFiles) {
  struct Variant {
    Form form;
    const char* show_pics;
    const char* use_thumbnails;
    bool every_page;
  };
  for (const Variant& variant :
       {Variant{Form::kList, "0", "0", true}, Variant{Form::kPictures, "1", "0", false},
        Variant{Form::kThumbnails, "1", "1", false}}) {
    SCOPED_TRACE("ShowPics " + std::string(variant.show_pics) + ", UseThumbnails " +
                 variant.use_thumbnails);
    SetOption("ShowPics", variant.show_pics);
    SetOption("UseThumbnails", variant.use_thumbnails);
    SetOption("ScalePics", "1");
    const bool thumbnails = variant.form == Form::kThumbnails;

    std::vector<FolderModel> folders(1);
    std::vector<std::string> top_files = HostileFileNames();
    for (const std::string& name : EveryByteFileNames()) top_files.push_back(name);
    for (const std::string& name : top_files) {
      MakeFile(name);
      folders[0].files.push_back(name);
      if (thumbnails) MakeFile("small_" + name), folders[0].files.push_back("small_" + name);
    }
    for (const HostileFolder& hostile : HostileFolders()) {
      FolderModel folder{hostile.name, {}, {}};
      for (const std::string& file : hostile.files) {
        MakeFile(hostile.name + "/" + file);
        folder.files.push_back(file);
        if (thumbnails) {
          MakeFile(hostile.name + "/small_" + file);
          folder.files.push_back("small_" + file);
        }
      }
      folders[0].subfolders.push_back(hostile.name);
      folders.push_back(folder);
    }

    const ProcessResult result = Index();
    ASSERT_EQ(result.exit_code, 0) << result.Describe();

    for (const FolderModel& folder : folders) {
      if (!variant.every_page && !folder.relative.empty()) continue;
      const std::string page =
          (folder.relative.empty() ? Tree() : Tree(folder.relative)) + "/index.html";
      ExpectPage(Load(page), folder, variant.form, Tree());
    }
    RemoveWholeTree();
  }
}

}  // namespace
}  // namespace pelorin::testing

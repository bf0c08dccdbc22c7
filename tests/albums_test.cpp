// Folders as albums (listing mode 2): each subfolder's cover by its rules
// (a picture named folder or cover, the first in the folder's order, the
// cover of its first subfolder with one, none), the count of what its page
// lists, in every listing mode, and a cover whose thumbnail cannot be
// written.
#include <gtest/gtest.h>

#include "support/gallery.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

const fs::path kPhoto = PathOf(PAGRIMO_SOURCE_DIR "/tests/pictures/baseline.jpg");
const fs::path kClip = PathOf(PAGRIMO_SOURCE_DIR "/tests/pictures/clips/scene.mp4");
const char kSettingsLines[] = "thumbsize=64\r\nvideos=mp4\r\n";
const std::string kFolderItem = "<[reldir]|[count]|[cover]|[coverwidth]x[coverheight]>";

// A tree of albums: each folder with the files given (pictures are copies of
// one 240x160 photo, so every thumbnail is 64x43).
struct Albums {
  Installation installation;
  TempFolder root;
  Albums(const std::string& settings, int mode, const std::string& folderItem = kFolderItem) {
    Install(installation, std::string(kSettings) + kSettingsLines + settings,
            {{"t.dat", TemplateText({std::to_string(mode) + ",0", "[dirlist]", "*", folderItem, "*",
                                     "", "*"})}});
    const std::pair<const char*, std::vector<const char*>> tree[] = {
        {"a", {"b.jpg", "Folder.JPG", "cover.jpg"}},
        {"b", {"x.jpg", "cover.png"}},
        {"c", {"z2.jpg", "z1.jpg"}},
        {"year", {}},
        {"year/m0", {"bad.mp4"}},  // a clip without a poster: no cover
        {"year/m1", {"p.jpg"}},
        {"year/m2", {"q.jpg"}},
        {"empty", {}},
        {"vids", {"clip.mp4"}},
    };
    for (const auto& [folder, names] : tree) {
      fs::create_directories(root.path / PathOf(folder));
      for (const char* name : names) {
        fs::path to = root.path / PathOf(folder) / PathOf(name);
        if (std::string(name) == "bad.mp4") {
          WriteFile(to, "");
        } else {
          fs::copy_file(std::string(name).ends_with(".mp4") ? kClip : kPhoto, to);
        }
      }
    }
  }
  RunResult Run() { return RunProgram(installation.program, {root.Text()}, kGalleryEnvironment); }
  std::string Page(const std::string& folder = "") {
    return ReadFile(root.path / PathOf(folder) / "index.html");
  }
};

std::string Thumb(const std::string& folder, const std::string& name) {
  return folder + kSep + ".thumbs" + kSep + name + ".jpg";
}

// The page's items, each on its line.
std::string Lines(const std::vector<std::string>& items) {
  std::string page;
  for (const std::string& item : items) page += "<" + item + ">\r\n";
  return page + "\r\n";
}

TEST(AlbumsTest, CoversFollowTheirRulesInTheFolderOrder) {
  const std::string a = "a|3|" + Thumb("a", "Folder.JPG") + "|64x43",
                    b = "b|2|" + Thumb("b", "cover.png") + "|64x43",
                    vids = "vids|1|" + Thumb("vids", "clip.mp4") + "|64x38",
                    m1 = "m1|1|" + Thumb("m1", "p.jpg") + "|64x43",
                    m2 = "m2|1|" + Thumb("m2", "q.jpg") + "|64x43";
  struct Case {
    std::string sort;
    std::vector<std::string> top, year;
  } const cases[] = {
      {"",
       {a, b, "c|2|" + Thumb("c", "z1.jpg") + "|64x43", vids, "year|0|year" + kSep + m1.substr(5)},
       {"m0|1||x", m1, m2}},
      // Reversed: the first picture and the first subfolder change, the
      // pictures named for it do not.
      {"sort=-name\r\n",
       {"year|0|year" + kSep + m2.substr(5), vids, "c|2|" + Thumb("c", "z2.jpg") + "|64x43", b, a},
       {m2, m1, "m0|1||x"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sort);
    Albums albums(c.sort, 2);
    RunResult run = albums.Run();
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(albums.Page(), Lines(c.top));
    EXPECT_EQ(albums.Page("year"), Lines(c.year));
  }
}

TEST(AlbumsTest, CountsAloneMakeNoThumbnailAndOtherModesListNoFolder) {
  for (int mode : {0, 1, 2}) {
    Albums albums("", mode, "<[reldir] [count]>");
    ASSERT_EQ(albums.Run().status, mode == 0 ? 1 : 0) << mode;  // the top holds no picture
    if (mode == 0) continue;
    EXPECT_EQ(albums.Page(), mode == 1 ? "\r\n" : Lines({"a 3", "b 2", "c 2", "vids 1", "year 0"}))
        << mode;
    EXPECT_FALSE(fs::exists(albums.root.path / "a" / ".thumbs")) << mode;
  }
}

#ifndef _WIN32
TEST(AlbumsTest, ACoverWhoseThumbnailCannotBeWrittenIsThePictureItself) {
  Albums albums("", 2, "<[reldir]|[cover]|[coverwidth]x[coverheight]>");
  ChownTree(albums.root.Text(), kNobody);
  fs::create_directory(albums.root.path / "c" / ".thumbs");  // root's, read-only to nobody
  RunResult run =
      RunUnprivileged(albums.installation.program, {albums.root.Text()}, kGalleryEnvironment);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(albums.Page().find("<c|c" + kSep + "z1.jpg|64x43>"), std::string::npos)
      << albums.Page();
}
#endif

}  // namespace

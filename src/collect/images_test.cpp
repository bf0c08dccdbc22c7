#include "collect/images.h"

#include <gtest/gtest.h>

#include "collect/subfolders.h"
#include "platform/platform.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

ImageList Collect(const std::string& folder, bool recurse) {
  ImageList list{"stale", "entries"};
  CollectImages(folder, list, recurse);
  return list;
}

TEST(ImageTest, RecognisesImagesByTheEndOfTheirName) {
  struct Case {
    const char* name;
    bool image;
  } cases[] = {
      {"a.gif", true},
      {"IMG_0001.JPG", true},
      {"Logo.Png", true},
      {"x.jpeg", true},
      {"x.JPEG", true},
      {"x.bmp", true},
      {"archive.tar.gif", true},
      {".png", true},
      {"photo.gif.txt", false},
      {"photo.jpg.bak", false},
      {"photo.tif", false},
      {"clip.jpe", false},
      {"readme.txt", false},
      {"index.html", false},
      {"jpg", false},
      {"x.jpg ", false},
      {"写真.JpG", true},
      {"", false},
      // Every extension needs its dot.
      {"gif", false},
      {"notes-gif", false},
      {"xjpeg", false},
      {"png", false},
      {"bmp", false},
      {"a_jpg", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsImageName(c.name), c.image) << c.name;
}

TEST(ImageTest, CollectsTheTreeSubfoldersFirst) {
  TempFolder f;
  for (const char* name : {"B.gif", "c.JPEG", "readme.txt", "Zoo/b.PNG", "Zoo/a.jpg",
                           "Zoo/notes.txt", "album/x.gif", "album/old/p.bmp"}) {
    WriteFile(f.path / name, name);
  }
  ImageList tree{"album" + kSep + "old" + kSep + "p.bmp",
                 "album" + kSep + "x.gif",
                 "Zoo" + kSep + "a.jpg",
                 "Zoo" + kSep + "b.PNG",
                 "B.gif",
                 "c.JPEG"};
  EXPECT_EQ(Collect(f.Text(), true), tree);
  EXPECT_EQ(Collect(f.Text() + kSep, true), tree);
  EXPECT_EQ(Collect(f.Text(), false), (ImageList{"B.gif", "c.JPEG"}));
  EXPECT_TRUE(HasAnyImage(f.Text(), false));
}

TEST(ImageTest, EmptyAndImagelessFoldersGiveAnEmptyList) {
  TempFolder f;
  EXPECT_EQ(Collect(f.Text(), false), ImageList{});
  EXPECT_EQ(Collect(f.Text(), true), ImageList{});
  for (const char* name : {"readme.txt", "index.html", "photo.tif", "clip.jpe", ".hidden.jpg",
                           ".secret/a.jpg", "x.jpg/inner.txt"}) {
    WriteFile(f.path / name, "x");
  }
  EXPECT_EQ(Collect(f.Text(), true), ImageList{});
  EXPECT_FALSE(HasAnyImage(f.Text(), true));
  // A folder named like an image is visited, never listed.
  WriteFile(f.path / "x.jpg" / "in.png", "x");
  EXPECT_EQ(Collect(f.Text(), false), ImageList{});
  EXPECT_FALSE(HasAnyImage(f.Text(), false));
  EXPECT_EQ(Collect(f.Text(), true), (ImageList{"x.jpg" + kSep + "in.png"}));
  EXPECT_TRUE(HasAnyImage(f.Text(), true));
  EXPECT_EQ(Collect(f.Text() + kSep + "missing", true), ImageList{});
}

TEST(ImageTest, ManyImagesAreAllKeptInOrder) {
  TempFolder f;
  for (int i = 250; i >= 1; --i) WriteFile(f.path / ("p" + std::to_string(1000 + i) + ".jpg"), "");
  ImageList list = Collect(f.Text(), false);
  ASSERT_EQ(list.size(), 250u);
  for (int i = 0; i < 250; ++i) EXPECT_EQ(list[i], "p" + std::to_string(1001 + i) + ".jpg");
}

TEST(ImageTest, LinksAreFollowedButCyclesAreNotEntered) {
  TempFolder f;
  WriteFile(f.path / "a.jpg", "");
  WriteFile(f.path / "sub" / "b.jpg", "");
  WriteFile(f.path / "other" / "c.jpg", "");
  if (!MakeLink("..", f.path / "sub" / "loop")) GTEST_SKIP() << "no links on this platform";
  MakeLink(fs::path("..") / "other", f.path / "sub" / "sibling");
  MakeLink("missing", f.path / "dangling.jpg");
  MakeLink(f.path / "a.jpg", f.path / "sub" / "linked.png");
  ImageList list = Collect(f.Text(), true);
  EXPECT_EQ(list, (ImageList{"other" + kSep + "c.jpg", "sub" + kSep + "sibling" + kSep + "c.jpg",
                             "sub" + kSep + "b.jpg", "sub" + kSep + "linked.png", "a.jpg"}));
}

TEST(ImageTest, ScanFolderGivesTheListsOfTheSeparateWalks) {
  // One enumeration must give exactly what ListSubfolders and a collection
  // without recursion give, for every kind of folder.
  struct Case {
    const char* what;
    std::vector<std::string> files;
  } cases[] = {
      {"empty", {}},
      {"files only", {"b.JPG", "A.png", "notes.txt", ".hidden.gif", "a.gif"}},
      {"folders only", {"Zoo/x.txt", "album/y.txt", ".secret/z.jpg", "x.jpg/in.txt"}},
      {"both, case ties in listing order",
       {"Beta/a.jpg", "beta/b.jpg", "IMG.jpg", "img.JPG", "写真.jpeg", "café.Gif", "cafe.gif",
        "readme.md", "sub one/deeper/w.png"}},
  };
  for (const auto& c : cases) {
    TempFolder f;
    for (const auto& name : c.files) WriteFile(f.path / name, "x");
    NameList subfolders{"stale"}, expectedSubfolders;
    ImageList images{"stale"}, expectedImages;
    ScanFolder(f.Text(), &subfolders, &images);
    ListSubfolders(f.Text(), expectedSubfolders);
    CollectImages(f.Text(), expectedImages, false);
    EXPECT_EQ(subfolders, expectedSubfolders) << c.what;
    EXPECT_EQ(images, expectedImages) << c.what;
    ImageList only;
    ScanFolder(f.Text() + kSep, nullptr, &only);
    EXPECT_EQ(only, expectedImages) << c.what;
  }
}

}  // namespace

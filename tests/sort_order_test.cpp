// The sort setting: name, natural and taken orders, reversed with "-", on real
// dated JPEGs, and an unknown value refused like a broken template.
#include <gtest/gtest.h>

#include "support/pictures.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

std::string Settings(const std::string& sortLine) {
  return "[Pagrimo]\r\ndefault=t.dat\r\n" + sortLine;
}

// Folders and pictures as "a;b;" lists, split by "|".
std::string TreeTemplate(int mode) {
  return TemplateText({std::to_string(mode) + ",0", "[dirlist]|[filelist]", "*", "[reldir];", "*",
                       "[filename];", "*"});
}

std::string Page(const std::vector<std::string>& folders, const std::vector<std::string>& files) {
  std::string page;
  for (const std::string& f : folders) page += f + ";\r\n";
  page += "|";
  for (const std::string& f : files) page += f + ";\r\n";
  return page + "\r\n";
}

std::vector<std::string> Reversed(std::vector<std::string> list) {
  return {list.rbegin(), list.rend()};
}

// Camera pictures whose dates run against their names, pictures without EXIF
// (dated by their files) among them, and three subfolders.
void MakePictures(const fs::path& root) {
  const std::int64_t k1998 = 897912000, k2022 = 1655294400;
  WriteFile(root / "IMG_10.jpg", JpegTaken("2020:05:01 08:00:00"));
  WriteFile(root / "IMG_9.jpg", JpegTaken("2021:01:01 00:00:00", true));
  WriteFile(root / "img_2.JPG", PlainJpeg());
  SetModified(root / "img_2.JPG", k1998);
  WriteFile(root / "IMG_02.jpg", JpegTaken("2019:12:31 23:59:59", true));
  WriteFile(root / "photo.png",
            ReadFile(PathOf(std::string(PAGRIMO_SOURCE_DIR) + "/tests/pictures/rgb.png")));
  SetModified(root / "photo.png", k2022);
  for (const char* folder : {"Day 10", "day 2", "Day 1"}) {
    WriteFile(root / folder / "b.jpg", JpegTaken("2001:01:01 00:00:00"));
    WriteFile(root / folder / "a.jpg", JpegTaken("2002:01:01 00:00:00"));
  }
}

TEST(SortOrderTest, EachOrderOnPicturesAndSubfolders) {
  TempFolder photos;
  MakePictures(photos.path);
  const std::vector<std::string> byName = {"IMG_02.jpg", "IMG_10.jpg", "img_2.JPG", "IMG_9.jpg",
                                           "photo.png"};
  const std::vector<std::string> natural = {"img_2.JPG", "IMG_02.jpg", "IMG_9.jpg", "IMG_10.jpg",
                                            "photo.png"};
  const std::vector<std::string> taken = {"img_2.JPG", "IMG_02.jpg", "IMG_10.jpg", "IMG_9.jpg",
                                          "photo.png"};
  const std::vector<std::string> foldersByName = {"Day 1", "Day 10", "day 2"};
  const std::vector<std::string> foldersNatural = {"Day 1", "day 2", "Day 10"};
  struct Case {
    std::string sortLine;
    std::vector<std::string> folders, files, subfolderFiles;
  };
  const Case cases[] = {
      {"", foldersByName, byName, {"a.jpg", "b.jpg"}},
      {"sort=name\r\n", foldersByName, byName, {"a.jpg", "b.jpg"}},
      {"sort=\r\n", foldersByName, byName, {"a.jpg", "b.jpg"}},
      {"sort=-name\r\n", Reversed(foldersByName), Reversed(byName), {"b.jpg", "a.jpg"}},
      {"sort=natural\r\n", foldersNatural, natural, {"a.jpg", "b.jpg"}},
      {"Sort = Natural\r\n", foldersNatural, natural, {"a.jpg", "b.jpg"}},
      {"sort=-natural\r\n", Reversed(foldersNatural), Reversed(natural), {"b.jpg", "a.jpg"}},
      {"sort=taken\r\n", foldersByName, taken, {"b.jpg", "a.jpg"}},
      {"sort=-taken\r\n", Reversed(foldersByName), Reversed(taken), {"a.jpg", "b.jpg"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sortLine);
    Installation app;
    Install(app, Settings(c.sortLine), {{"t.dat", TreeTemplate(2)}});
    RunResult r = RunProgram(app.program, {photos.Text()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(ReadFile(photos.path / "index.html"), Page(c.folders, c.files));
    EXPECT_EQ(ReadFile(photos.path / "Day 10" / "index.html"), Page({}, c.subfolderFiles));
  }
  // The whole tree in one list: each folder's pictures by date, the newest
  // first, subfolders (by name, reversed) before the folder's own.
  Installation tree;
  Install(tree, Settings("sort=-taken\r\n"), {{"t.dat", TreeTemplate(1)}});
  RunResult r = RunProgram(tree.program, {photos.Text()});
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<std::string> all;
  for (const char* folder : {"day 2", "Day 10", "Day 1"}) {
    for (const char* name : {"a.jpg", "b.jpg"}) all.push_back(folder + kSep + name);
  }
  for (const std::string& name : Reversed(taken)) all.push_back(name);
  EXPECT_EQ(ReadFile(photos.path / "index.html"), Page({}, all));
}

TEST(SortOrderTest, UnknownValueIsASettingsError) {
  TempFolder photos;
  WriteFile(photos.path / "a.jpg", PlainJpeg());
  for (const char* value : {"date", "--taken", "- taken", "name,taken", "-", "natural2"}) {
    SCOPED_TRACE(value);
    Installation app;
    Install(app, Settings(std::string("sort=") + value + "\r\n"), {{"t.dat", TreeTemplate(0)}});
    RunResult r = RunProgram(app.program, {photos.Text()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, kLoadFailedMessage);
    EXPECT_FALSE(fs::exists(photos.path / "index.html"));
  }
}

}  // namespace

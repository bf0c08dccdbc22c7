// Thumbnails, picture sizes and dates on real pictures (the small committed
// set in tests/pictures/pages): the placeholders' values, the work a re-run
// spares, pictures that change or go, bad pictures and unwritable folders.
#include <gtest/gtest.h>

#include <chrono>
#include <map>

#include "support/gallery.h"
#include "support/test_support.h"
#include "text/forms.h"
#ifndef _WIN32
#include "support/hostile.h"
#endif

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

const fs::path kPictures = PathOf(PAGRIMO_SOURCE_DIR "/tests/pictures/pages");
const char* const kAll[] = {"alpha.png",   "big.jpg",   "landscape.jpg", "plain.png",
                            "rotated.jpg", "small.gif", "tiny.bmp"};

const auto& kEnvironment = kGalleryEnvironment;

const std::string kFields =
    "[filename]|[thumb]|[thumbwidth]x[thumbheight]|[width]x[height]|[exifdate]";

// A gallery of all the committed pictures.
struct Gallery : testing_support::Gallery {
  explicit Gallery(const std::string& templateText, const std::string& extraSettings = "")
      : testing_support::Gallery(templateText, extraSettings, kPictures,
                                 std::vector<std::string>(std::begin(kAll), std::end(kAll))) {}
};

std::string Thumb(const std::string& name) { return ".thumbs" + kSep + name; }

// The pictures' modification times as [filedate] shows them, by name. The
// page is written again (with other items).
std::map<std::string, std::string> FileDates(Gallery& g) {
  Installation plain;
  Install(plain, kSettings, {{"t.dat", Item("[filename]|[filedate]")}});
  RunProgram(plain.program, {g.photos.Text()}, kEnvironment);
  return g.Items();
}

// A date as shown: exact in the C locale; elsewhere (the locales of the
// Windows tests) as the user's locale writes that local time.
void ExpectDate(const std::string& shown, const std::string& iso) {
#ifdef _WIN32
  auto number = [&](size_t at, size_t length) { return std::stoi(iso.substr(at, length)); };
  std::int64_t seconds = 0;
  ASSERT_TRUE(platform::LocalTimeSeconds(number(0, 4), number(5, 2), number(8, 2), number(11, 2),
                                         number(14, 2), number(17, 2), seconds));
  EXPECT_EQ(shown, platform::LocalDateTimeText(seconds));
#else
  EXPECT_EQ(shown, iso);
#endif
}

TEST(ThumbnailsTest, PlaceholdersGiveThumbnailsSizesAndDates) {
  Gallery g(Item(kFields + "|[thumb%]|[thumb&]|[thumb\\]"));
  fs::copy_file(kPictures / "plain.png", g.photos.path / "a [b] & c.png");
  RunResult run = g.Run();
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  struct Expected {
    const char* name;
    std::string thumb, thumbSize, size, date;
  };
  std::string fileDate = "file";
  const Expected expected[] = {
      {"a [b] & c.png", Thumb("a [b] & c.png.jpg"), "30x20", "30x20", fileDate},
      {"alpha.png", Thumb("alpha.png.png"), "40x40", "40x40", fileDate},
      {"big.jpg", Thumb("big.jpg.jpg"), "400x300", "800x600", fileDate},
      {"landscape.jpg", Thumb("landscape.jpg.jpg"), "64x48", "64x48", "2021-06-15 14:30:05"},
      {"plain.png", Thumb("plain.png.jpg"), "30x20", "30x20", fileDate},
      {"rotated.jpg", Thumb("rotated.jpg.jpg"), "48x64", "48x64", "2020-01-02 03:04:05"},
      {"small.gif", Thumb("small.gif.jpg"), "20x10", "20x10", fileDate},
      {"tiny.bmp", Thumb("tiny.bmp.jpg"), "12x8", "12x8", fileDate},
  };
  auto items = g.Items();
  ASSERT_EQ(items.size(), std::size(expected)) << g.Page();
  auto dates = FileDates(g);
  for (const auto& e : expected) {
    SCOPED_TRACE(e.name);
    std::vector<std::string> f = Split(items[e.name]);
    ASSERT_EQ(f.size(), 7u) << items[e.name];
    EXPECT_EQ(f[0], e.thumb);
    EXPECT_EQ(f[1], e.thumbSize);
    EXPECT_EQ(f[2], e.size);
    EXPECT_TRUE(fs::is_regular_file(g.photos.path / PathOf(e.thumb)));
    if (e.date == "file") {
      EXPECT_EQ(f[3], dates[e.name]);
    } else {
      ExpectDate(f[3], e.date);
    }
  }
  std::vector<std::string> odd = Split(items["a [b] & c.png"]);
  EXPECT_EQ(odd[4], ".thumbs/a%20%5Bb%5D%20%26%20c.png.jpg");
  EXPECT_EQ(odd[5], Thumb("a &#91;b&#93; &amp; c.png.jpg"));
  EXPECT_LT(fs::file_size(g.photos.path / ".thumbs" / "big.jpg.jpg"),
            fs::file_size(g.photos.path / "big.jpg"));
  EXPECT_TRUE(fs::is_regular_file(g.photos.path / ".thumbs" / "index"));
}

TEST(ThumbnailsTest, SubfoldersCarryTheirPathAndThumbnailsAreNeverListed) {
  for (int mode : {1, 2}) {
    SCOPED_TRACE(mode);
    Gallery g(TemplateText({std::to_string(mode) + ",0", "[dirlist][filelist]", "*", "[reldir];",
                            "*", "[thumb]@[thumbwidth]x[thumbheight];", "*"}));
    fs::create_directory(g.photos.path / "sub");
    fs::copy_file(kPictures / "big.jpg", g.photos.path / "sub" / "b.jpg");
    for (int run = 0; run < 2; ++run) {
      RunResult result = g.Run();
      ASSERT_EQ(result.status, 0) << result.err;
      std::string page = g.Page();
      std::string sub = "sub" + kSep + Thumb("b.jpg.jpg") + "@400x300;";
      if (mode == 1) {
        EXPECT_EQ(page.find(sub), 0u) << page;  // the subfolder's picture first
      } else {
        EXPECT_EQ(page.find("sub;"), 0u) << page;
        EXPECT_EQ(ReadFile(g.photos.path / "sub" / "index.html"),
                  Thumb("b.jpg.jpg") + "@400x300;\r\n\r\n");
      }
      EXPECT_EQ(page.find(".thumbs" + kSep + ".thumbs"), std::string::npos) << page;
      EXPECT_EQ(page.find(".thumbs;"), std::string::npos) << page;
      EXPECT_FALSE(fs::exists(g.photos.path / ".thumbs" / "index.html"));
      EXPECT_FALSE(fs::exists(g.photos.path / "sub" / ".thumbs" / "index.html"));
    }
  }
}

#ifndef _WIN32
// In the whole-tree mode a linked folder's pictures are listed, but nothing is
// written into it: it may lie outside the tree the user chose.
TEST(ThumbnailsTest, ALinkedFolderGetsNoThumbnails) {
  Gallery g(TemplateText(
      {"1,0", "[filelist]", "*", "*", "[filename]|[thumb]|[thumbwidth]x[thumbheight]|", "*"}));
  TempFolder outside;
  fs::copy_file(kPictures / "big.jpg", outside.path / "b.jpg");
  fs::create_directory_symlink(outside.path, g.photos.path / "linked");
  RunResult run = g.Run();
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(g.Items()["linked/b.jpg"], "linked/b.jpg|400x300");
  EXPECT_FALSE(fs::exists(outside.path / ".thumbs"));
}
#endif

// What a run left in the thumbnail folder: name -> size and time.
TEST(ThumbnailsTest, AReRunOpensNoPictureAndKeepsEveryThumbnail) {
  Gallery g(Item(kFields));
  ASSERT_EQ(g.Run().status, 0);
  std::string page = g.Page();
  auto before = g.Copies();
  ASSERT_EQ(before.size(), std::size(kAll) + 1);
  RunResult again = g.RunWithPicturesUnreadable();
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(again.err, "");
  EXPECT_EQ(g.Page(), page);
  EXPECT_EQ(g.Copies(), before);
}

TEST(ThumbnailsTest, ChangedPicturesGetNewThumbnailsAndGoneOnesLoseThem) {
  Gallery g(Item(kFields));
  ASSERT_EQ(g.Run().status, 0);
  // landscape.jpg becomes a large picture; plain.png goes; the thumbnail of
  // small.gif is deleted by hand.
  fs::remove(g.photos.path / "landscape.jpg");
  fs::copy_file(kPictures / "big.jpg", g.photos.path / "landscape.jpg");
  fs::remove(g.photos.path / "plain.png");
  fs::remove(g.photos.path / ".thumbs" / "small.gif.jpg");
  // tiny.bmp becomes transparent: its JPEG thumbnail gives way to a PNG.
  fs::remove(g.photos.path / "tiny.bmp");
  fs::copy_file(kPictures / "alpha.png", g.photos.path / "tiny.bmp");
  RunResult run = g.Run();
  ASSERT_EQ(run.status, 0) << run.err;
  auto items = g.Items();
  EXPECT_EQ(Split(items["landscape.jpg"])[1], "400x300");
  EXPECT_EQ(Split(items["landscape.jpg"])[2], "800x600");
  EXPECT_EQ(items.count("plain.png"), 0u);
  EXPECT_FALSE(fs::exists(g.photos.path / ".thumbs" / "plain.png.jpg"));
  EXPECT_TRUE(fs::exists(g.photos.path / ".thumbs" / "small.gif.jpg"));
  EXPECT_EQ(Split(items["tiny.bmp"])[0], Thumb("tiny.bmp.png"));
  EXPECT_FALSE(fs::exists(g.photos.path / ".thumbs" / "tiny.bmp.jpg"));
  std::string index = ReadFile(g.photos.path / ".thumbs" / "index");
  EXPECT_EQ(index.find("plain.png"), std::string::npos) << index;

  // Another thumbnail size remakes them all.
  Gallery smaller(Item(kFields), "thumbsize=100\r\n");
  ASSERT_EQ(smaller.Run().status, 0);
  EXPECT_EQ(Split(smaller.Items()["big.jpg"])[1], "100x75");
  fs::remove(smaller.installation.folder.path / "pagrimo.ini");
  WriteFile(smaller.installation.folder.path / "pagrimo.ini", kSettings);
  ASSERT_EQ(smaller.Run().status, 0);
  EXPECT_EQ(Split(smaller.Items()["big.jpg"])[1], "400x300");
}

// A picture one byte larger at the same time, or one second newer at the same
// size, is looked at again: its thumbnail is remade, the others are kept.
TEST(ThumbnailsTest, APictureChangedByOneByteOrOneSecondIsRemade) {
  Gallery g(Item(kFields));
  ASSERT_EQ(g.Run().status, 0);
  const fs::path thumbs = g.photos.path / ".thumbs";
  for (const char* thumb : {"big.jpg.jpg", "landscape.jpg.jpg", "small.gif.jpg"}) {
    WriteFile(thumbs / thumb, "stale");
  }
  fs::path longer = g.photos.path / "landscape.jpg", newer = g.photos.path / "small.gif";
  fs::file_time_type time = fs::last_write_time(longer);
  WriteFile(longer, ReadFile(longer) + '\0');
  fs::last_write_time(longer, time);
  fs::last_write_time(newer, fs::last_write_time(newer) + std::chrono::seconds(1));
  ASSERT_EQ(g.Run().status, 0);
  EXPECT_EQ(ReadFile(thumbs / "big.jpg.jpg"), "stale");
  EXPECT_NE(ReadFile(thumbs / "landscape.jpg.jpg"), "stale");
  EXPECT_NE(ReadFile(thumbs / "small.gif.jpg"), "stale");
}

// Each placeholder alone decides what is made: thumbnails for the [thumb...]
// ones, the picture's facts (and no thumbnail folder) for the others.
TEST(ThumbnailsTest, EachPictureValueAloneIsMade) {
  const struct {
    const char* placeholder;
    std::string big;  // big.jpg's value
    bool thumbnails;
  } cases[] = {
      {"[thumb]", Thumb("big.jpg.jpg"), true},
      {"[thumb\\]", DoubleBackslashes(Thumb("big.jpg.jpg")), true},
      {"[thumb%]", ".thumbs/big.jpg.jpg", true},
      {"[thumb&]", Thumb("big.jpg.jpg"), true},
      {"[thumbwidth]", "400", true},
      {"[thumbheight]", "300", true},
      {"[width]", "800", false},
      {"[height]", "600", false},
      {"[exifdate]", "", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.placeholder);
    Gallery g(Item(std::string("[filename]|") + c.placeholder));
    ASSERT_EQ(g.Run().status, 0);
    auto items = g.Items();
    if (c.big.empty()) {
      ExpectDate(items["landscape.jpg"], "2021-06-15 14:30:05");
    } else {
      EXPECT_EQ(items["big.jpg"], c.big);
    }
    EXPECT_EQ(fs::exists(g.photos.path / ".thumbs" / "big.jpg.jpg"), c.thumbnails);
  }
}

// A folder whose pictures have all gone gets no page, but loses their
// thumbnails all the same.
TEST(ThumbnailsTest, AFolderWhosePicturesAllWentLosesTheirThumbnails) {
  Gallery g(TemplateText({"2,0", "[dirlist][filelist]", "*", "[dirname]", "*", "[thumb]|", "*"}));
  fs::create_directory(g.photos.path / "sub");
  fs::copy_file(kPictures / "small.gif", g.photos.path / "sub" / "small.gif");
  ASSERT_EQ(g.Run().status, 0);
  const fs::path thumbs = g.photos.path / "sub" / ".thumbs";
  ASSERT_TRUE(fs::exists(thumbs / "small.gif.jpg"));
  fs::remove(g.photos.path / "sub" / "small.gif");
  RunResult run = g.Run();
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_FALSE(fs::exists(thumbs / "small.gif.jpg"));
  EXPECT_EQ(ReadFile(thumbs / "index").find("small.gif"), std::string::npos);
  EXPECT_EQ(g.Page().find("sub"), std::string::npos) << g.Page();
}

TEST(ThumbnailsTest, BadPicturesKeepTheirRowsAndAreNamed) {
  Gallery g(Item(kFields));
  std::string big = ReadFile(kPictures / "big.jpg");
  WriteFile(g.photos.path / "cut.jpg", big.substr(0, big.size() / 3));
  WriteFile(g.photos.path / "empty.png", "");
  WriteFile(g.photos.path / "text.gif", "not a picture at all");
  for (int run = 0; run < 2; ++run) {  // the second run knows them from the index
    SCOPED_TRACE(run);
    RunResult result = g.Run();
    ASSERT_EQ(result.status, 0) << result.err;
    auto items = g.Items();
    EXPECT_EQ(items.size(), std::size(kAll) + 3);
    auto dates = FileDates(g);
    for (const std::string name : {"cut.jpg", "empty.png", "text.gif"}) {
      std::vector<std::string> f = Split(items[name]);
      ASSERT_EQ(f.size(), 4u) << items[name];
      EXPECT_EQ(f[0], name);
      EXPECT_EQ(f[1], "x");
      EXPECT_EQ(f[2], "x");
      EXPECT_EQ(f[3], dates[name]);
      std::string named =
          "pagrimo: cannot make a thumbnail of " + g.photos.Text() + kSep + name + ": ";
      EXPECT_NE(result.err.find(named), std::string::npos) << result.err;
      // The second run does not open them again: the index says they failed.
      if (run == 1) {
        EXPECT_NE(result.err.find(named + "it could not be decoded\n"), std::string::npos);
      }
    }
    EXPECT_EQ(Split(items["big.jpg"])[1], "400x300");
  }
}

#ifndef _WIN32
TEST(ThumbnailsTest, AFolderWithoutRoomForThumbnailsStillGetsItsPage) {
  // A read-only subfolder in the whole-tree mode, and a read-only thumbnail
  // folder: the page is written with the pictures' own paths, the folder is
  // named once.
  struct Case {
    const char* what;
    int mode;
    fs::path locked;  // relative to the photos
    std::string thumbs;
  } cases[] = {{"read-only subfolder", 1, "sub", "sub/.thumbs/"},
               {"read-only thumbnail folder", 0, ".thumbs", ".thumbs/"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Gallery g(
        TemplateText({std::to_string(c.mode) + ",0", "[filelist]", "*", "*",
                      "[filename]|[thumb]|[thumbwidth]x[thumbheight]|[width]x[height]|", "*"}));
    fs::create_directory(g.photos.path / "sub");
    for (const char* name : {"big.jpg", "rotated.jpg"}) {
      fs::copy_file(kPictures / name, g.photos.path / "sub" / name);
    }
    fs::create_directory(g.photos.path / ".thumbs");
    ChownTree(g.photos.Text(), kNobody);
    fs::permissions(g.photos.path / c.locked, fs::perms::owner_read | fs::perms::owner_exec |
                                                  fs::perms::group_read | fs::perms::others_read |
                                                  fs::perms::group_exec | fs::perms::others_exec);
    RunResult run = RunUnprivileged(g.installation.program, {g.photos.Text()}, kEnvironment);
    ASSERT_EQ(run.status, 0) << run.err;
    std::string named = "pagrimo: cannot write thumbnails in " + g.photos.Text() + "/" + c.thumbs;
    size_t at = run.err.find(named);
    EXPECT_NE(at, std::string::npos) << run.err;
    EXPECT_EQ(run.err.find(named, at + 1), std::string::npos) << run.err;
    std::string page = g.Page();
    if (c.mode == 1) {
      EXPECT_NE(page.find("sub/big.jpg|sub/big.jpg|400x300|800x600|"), std::string::npos) << page;
      EXPECT_NE(page.find("sub/rotated.jpg|sub/rotated.jpg|48x64|48x64|"), std::string::npos);
      EXPECT_NE(page.find("big.jpg|.thumbs/big.jpg.jpg|400x300|"), std::string::npos) << page;
    } else {
      EXPECT_NE(page.find("big.jpg|big.jpg|400x300|800x600|"), std::string::npos) << page;
    }
  }
}
#endif

#ifndef _WIN32
// Where no thumbnail can be made, [thumbwidth] and [thumbheight] give the
// size it would have: the same as where one is made, rounded to the nearest.
TEST(ThumbnailsTest, SizesWithoutAThumbnailAreThoseOfOne) {
  for (bool writable : {true, false}) {
    SCOPED_TRACE(writable);
    Gallery g(Item("[filename]|[thumbwidth]x[thumbheight]"), "thumbsize=25\r\n");
    fs::create_directory(g.photos.path / ".thumbs");
    ChownTree(g.photos.Text(), kNobody);
    if (!writable) {
      fs::permissions(g.photos.path / ".thumbs", fs::perms::owner_read | fs::perms::owner_exec);
    }
    RunResult run = RunUnprivileged(g.installation.program, {g.photos.Text()}, kEnvironment);
    ASSERT_EQ(run.status, 0) << run.err;
    auto items = g.Items();
    EXPECT_EQ(items["plain.png"], "25x17");    // 30x20: 16.7 high
    EXPECT_EQ(items["big.jpg"], "25x19");      // 800x600: 18.75 high
    EXPECT_EQ(items["rotated.jpg"], "19x25");  // shown 48x64
    EXPECT_EQ(items["tiny.bmp"], "12x8");      // never enlarged
  }
}
#endif

TEST(ThumbnailsTest, ATemplateWithoutThemReadsNoPictureAndWritesNoThumbnail) {
  Gallery g(Item("[filename] [filesize]"));
  fs::copy_file(kPictures / "plain.png", g.photos.path / "[thumb] [width].png");
  RunResult run = g.Run();
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  // Every picture's line as the existing steps make it, and nothing else.
  std::vector<std::string> names(std::begin(kAll), std::end(kAll));
  names.push_back("[thumb] [width].png");
  std::string page = g.Page();
  size_t length = 2;
  for (const auto& name : names) {
    std::string line = name + " " + std::to_string(fs::file_size(g.photos.path / PathOf(name)));
    EXPECT_NE(page.find(line + "|\r\n"), std::string::npos) << page;
    length += line.size() + 3;
  }
  EXPECT_EQ(page.size(), length) << page;
  EXPECT_FALSE(fs::exists(g.photos.path / ".thumbs"));
}

TEST(ThumbnailsTest, AThumbnailSizeThatIsNoNumberStopsTheRun) {
  for (const char* value : {"0", "15", "4097", "abc", "400px", "-400"}) {
    SCOPED_TRACE(value);
    Gallery g(Item(kFields), std::string("thumbsize=") + value + "\r\n");
    RunResult run = g.Run();
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, kLoadFailedMessage);
    EXPECT_FALSE(fs::exists(g.photos.path / "index.html"));
  }
  // The bounds themselves are sizes (a picture is never enlarged).
  for (auto [value, big] : {std::pair{"16", "16x12"}, std::pair{"4096", "800x600"}}) {
    SCOPED_TRACE(value);
    Gallery g(Item(kFields), std::string("thumbsize=") + value + "\r\n");
    RunResult run = g.Run();
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Split(g.Items()["big.jpg"])[1], big);
  }
}

}  // namespace

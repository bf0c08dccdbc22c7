// The tree from hell: names with every byte a POSIX name may hold, names that
// are not UTF-8, 255-byte names, a path longer than PATH_MAX, a folder of
// 20,000 images, a chain of 1,000 folders, links of every kind, a folder that
// cannot be read and an image that cannot be read after it was listed. Every
// listing mode must end normally, write every page it should, and write
// nothing outside the tree.
#ifndef _WIN32

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <set>
#include <thread>

#include "collect/images.h"
#include "support/hostile.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

const std::string kLong(251, 'L');  // with ".jpg" or as a folder: 255 bytes
constexpr int kManyImages = 20000;
constexpr int kChainLength = 1000;
constexpr int kLongChainLength = 17;  // 17 folders of 255 bytes: over 4,300 bytes

// Every byte a name may hold: all but NUL and "/"; each in a file name of its own.
std::vector<std::string> EveryByteNames() {
  std::vector<std::string> names;
  for (int b = 1; b < 256; ++b) {
    if (b == '/') continue;
    names.push_back("b" + std::string(1, static_cast<char>(b)) + ".jpg");
  }
  return names;
}

// Folders whose names are hostile to HTML, URLs, shells, wildcards and line
// readers, and one that is not UTF-8; each holds one image.
const std::vector<std::string> kHostileFolders = {" blank \"quote' <b>&amp;#%41?*[x]\\",
                                                  "line\nbreak", "\xff\xfe\x80 not utf-8",
                                                  "[filename][path][dirlist]"};

struct HellTree {
  TempFolder base;
  fs::path tree = base.path / "tree";
  fs::path outside = base.path / "outside";
  std::string longChainPath;  // relative to tree

  HellTree() {
    fs::create_directories(tree);
    WriteFile(outside / "secret.jpg", "outside");
    WriteFile(outside / "keep.txt", "outside");
    Dir root(tree.string());
    for (const auto& name : EveryByteNames()) EXPECT_TRUE(WriteFileAt(root.fd, name)) << name;
    EXPECT_TRUE(WriteFileAt(root.fd, kLong + ".jpg"));
    for (const auto& name : kHostileFolders) {
      EXPECT_TRUE(MakeFolderAt(root.fd, name));
      Dir folder(root.fd, name);
      EXPECT_TRUE(WriteFileAt(folder.fd, "in.png"));
    }
    // A path longer than PATH_MAX, built one folder at a time.
    {
      int fd = dup(root.fd);
      for (int i = 0; i < kLongChainLength; ++i) {
        EXPECT_TRUE(MakeFolderAt(fd, kLong + std::to_string(i % 10)));
        int next = openat(fd, (kLong + std::to_string(i % 10)).c_str(), O_RDONLY | O_DIRECTORY);
        close(fd);
        fd = next;
        longChainPath += (i ? "/" : "") + kLong + std::to_string(i % 10);
      }
      EXPECT_TRUE(WriteFileAt(fd, "deep.gif"));
      close(fd);
      EXPECT_GT((tree.string() + "/" + longChainPath).size(), size_t{PATH_MAX});
    }
    // 20,000 images in one folder.
    EXPECT_TRUE(MakeFolderAt(root.fd, "many"));
    {
      Dir many(root.fd, "many");
      char name[32];
      for (int i = 0; i < kManyImages; ++i) {
        std::snprintf(name, sizeof name, "img%05d.jpg", i);
        WriteFileAt(many.fd, name, "");
      }
    }
    // A chain of 1,000 nested folders with one image at the bottom.
    {
      int fd = dup(root.fd);
      for (int i = 0; i < kChainLength; ++i) {
        MakeFolderAt(fd, "c");
        int next = openat(fd, "c", O_RDONLY | O_DIRECTORY);
        close(fd);
        fd = next;
      }
      EXPECT_TRUE(WriteFileAt(fd, "bottom.bmp"));
      close(fd);
    }
    // Links: back to an ancestor, to a sibling, to nothing, to a file and a
    // folder outside the tree.
    fs::create_directories(tree / "links");
    fs::create_directories(tree / "sibling");
    WriteFile(tree / "sibling" / "sib.jpg", "img");
    fs::create_directory_symlink("..", tree / "links" / "loop");
    fs::create_directory_symlink("../sibling", tree / "links" / "to-sibling");
    fs::create_symlink("nowhere.jpg", tree / "links" / "dangling.jpg");
    fs::create_directory_symlink("nowhere", tree / "links" / "dangling-folder");
    fs::create_symlink(outside / "secret.jpg", tree / "links" / "outside.jpg");
    fs::create_directory_symlink(outside, tree / "links" / "outside-folder");
    // A folder that cannot be read at all, and one that can be listed but not
    // entered: both contribute nothing.
    WriteFile(tree / "locked" / "hidden-away.jpg", "img");
    WriteFile(tree / "vanishing" / "gone.jpg", "img");
    if (IsRoot()) {
      ChownTree(tree.string(), kNobody);
      ChownTree(outside.string(), kNobody);  // writable for the run: a write would show
    }
    fs::permissions(tree / "locked", fs::perms::none);
    fs::permissions(tree / "vanishing",
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  }

  ~HellTree() {
    Dir root(base.path.string());
    EmptyFolderAt(root.fd);  // the long chain is beyond std::filesystem's reach
  }

  // Every entry of the tree with its relative path, not following links.
  std::map<std::string, bool> Entries() const {
    std::map<std::string, bool> entries;
    Dir root(tree.string());
    WalkAt(root.fd, "", [&](int, const std::string&, bool folder, const std::string& path) {
      entries[path] = folder;
    });
    return entries;
  }
};

struct Mode {
  int listingMode;
  std::string templateText;
};

std::string TemplateFor(int mode) {
  return TemplateText({std::to_string(mode) + ",0", "n=[numfile] m=[numdir] [path&]",
                       "[dirlist][filelist]*", "*", "D [relfile] [reldir&] [dir%]", "*",
                       "F [fileid]/[numfile] [filename] [filesize] [filedate] [filename%]", "*"});
}

std::string PageOf(const fs::path& tree, const std::string& relative) {
  Dir root(tree.string());
  std::string path = relative.empty() ? "index.html" : relative + "/index.html";
  // Reached one component at a time: the long chain is beyond PATH_MAX.
  int fd = dup(root.fd);
  size_t start = 0;
  for (size_t slash = path.find('/'); slash != std::string::npos; slash = path.find('/', start)) {
    int next = openat(fd, path.substr(start, slash - start).c_str(), O_RDONLY | O_DIRECTORY);
    close(fd);
    if (next < 0) return "<missing>";
    fd = next;
    start = slash + 1;
  }
  int file = openat(fd, path.substr(start).c_str(), O_RDONLY);
  close(fd);
  if (file < 0) return "<missing>";
  std::string bytes;
  char buffer[65536];
  for (ssize_t got; (got = read(file, buffer, sizeof buffer)) > 0;) {
    bytes.append(buffer, static_cast<size_t>(got));
  }
  close(file);
  return bytes;
}

size_t Count(const std::string& text, const std::string& what) {
  size_t count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

TEST(HostileTreeTest, EveryListingModeEndsNormallyAndWritesEveryPage) {
  HellTree t;
  auto before = t.Entries();
  auto outsideBefore = ListFolder(t.outside);
  std::string chain;
  for (int i = 0; i < kChainLength; ++i) chain += i ? "/c" : "c";

  for (int mode : {0, 1, 2}) {
    SCOPED_TRACE("listing mode " + std::to_string(mode));
    Installation app;
    Install(app, kSettings, {{"t.dat", TemplateFor(mode)}});
    auto installed = ListFolder(app.folder.path);
    RunResult r = RunUnprivileged(app.program, {t.tree.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");

    std::string top = PageOf(t.tree, "");
    ASSERT_NE(top, "<missing>");
    // The top folder's own images: one per byte, the 255-byte name.
    size_t own = EveryByteNames().size() + 1;
    std::set<std::string> pages;
    if (mode == 0) {
      EXPECT_EQ(top.rfind("n=" + std::to_string(own) + " m=0 ", 0), 0u) << top.substr(0, 80);
      pages = {""};
    } else if (mode == 1) {
      // Everything readable, through links too (the sibling twice, the
      // outside folder's image once), but nothing from the locked folders,
      // the dangling links or the loop.
      size_t all = own + kHostileFolders.size() + 1 + kManyImages + 1 + 1 + 2 + 1;
      EXPECT_EQ(top.rfind("n=" + std::to_string(all) + " m=0 ", 0), 0u) << top.substr(0, 80);
      EXPECT_NE(top.find(" " + chain + "/bottom.bmp 3 "), std::string::npos);
      EXPECT_NE(top.find(" " + t.longChainPath + "/deep.gif 3 "), std::string::npos);
      EXPECT_NE(top.find(" links/outside.jpg 7 "), std::string::npos);
      EXPECT_NE(top.find(" links/outside-folder/secret.jpg 7 "), std::string::npos);
      EXPECT_NE(top.find(" links/to-sibling/sib.jpg 3 "), std::string::npos);
      EXPECT_EQ(top.find("links/loop/"), std::string::npos);
      EXPECT_EQ(top.find("dangling"), std::string::npos);
      EXPECT_EQ(top.find("hidden-away.jpg"), std::string::npos);
      EXPECT_EQ(top.find("gone.jpg"), std::string::npos);
      pages = {""};
    } else {
      // A page in every real folder with something to show: links get none.
      pages = {"", "many", "sibling", "links"};
      for (const auto& name : kHostileFolders) pages.insert(name);
      std::string path;
      for (int i = 0; i < kChainLength; ++i) pages.insert(path += (i ? "/c" : "c"));
      path.clear();
      for (int i = 0; i < kLongChainLength; ++i) {
        pages.insert(path += (i ? "/" : "") + kLong + std::to_string(i % 10));
      }
      EXPECT_EQ(top.rfind("n=" + std::to_string(own) +
                              " m=" + std::to_string(kHostileFolders.size() + 5) + " ",
                          0),
                0u)
          << top.substr(0, 80);
      std::string many = PageOf(t.tree, "many");
      EXPECT_EQ(Count(many, "\r\nF "), size_t{kManyImages});
      EXPECT_NE(PageOf(t.tree, chain).find(" bottom.bmp 3 "), std::string::npos);
      EXPECT_NE(PageOf(t.tree, t.longChainPath).find(" deep.gif 3 "), std::string::npos);
      std::string links = PageOf(t.tree, "links");
      EXPECT_EQ(links.rfind("n=1 m=0 ", 0), 0u) << links.substr(0, 80);
    }
    // Exactly the expected pages were added, and nothing else changed in the
    // tree: no temporary file, no page through a link.
    auto after = t.Entries();
    for (const auto& page : pages) {
      std::string name = page.empty() ? "index.html" : page + "/index.html";
      EXPECT_EQ(after.count(name), 1u) << name;
      after.erase(name);
    }
    EXPECT_EQ(after, before);
    EXPECT_EQ(ListFolder(t.outside), outsideBefore);
    EXPECT_EQ(ListFolder(app.folder.path), installed);
    // The next mode starts from the same tree.
    Dir root(t.tree.string());
    WalkAt(root.fd, "", [](int parent, const std::string& name, bool, const std::string&) {
      if (name == "index.html") unlinkat(parent, name.c_str(), 0);
    });
  }
}

// Folders nested deeper than the limit are not entered; everything above it
// is listed, and the run ends normally.
TEST(HostileTreeTest, FoldersBelowTheDepthLimitAreLeftOut) {
  TempFolder base;
  {
    Dir root(base.Text());
    int fd = dup(root.fd);
    for (size_t level = 1; level <= kMaxFolderDepth + 3; ++level) {
      MakeFolderAt(fd, "d");
      int next = openat(fd, "d", O_RDONLY | O_DIRECTORY);
      close(fd);
      fd = next;
      if (level == kMaxFolderDepth || level == kMaxFolderDepth + 1) {
        WriteFileAt(fd, "at" + std::to_string(level) + ".jpg");
      }
    }
    close(fd);
  }
  Installation app;
  Install(
      app, kSettings,
      {{"t.dat", TemplateText({"1,0", "[numfile]", "[filelist]*", "*", "*", "[filename]", "*"})}});
  RunResult r = RunProgram(app.program, {base.Text()});
  EXPECT_EQ(r.status, 0) << r.err;
  std::string page = ReadFile(base.path / "index.html");
  EXPECT_EQ(page.rfind("1\r\n", 0), 0u) << page.substr(0, 40);
  EXPECT_NE(page.find("/at" + std::to_string(kMaxFolderDepth) + ".jpg"), std::string::npos);
  Dir root(base.Text());
  EmptyFolderAt(root.fd);
}

// A folder that can be listed but not entered contributes nothing, even when
// a placeholder in its name asks for sizes: its pictures could be named but
// never measured.
TEST(HostileTreeTest, AFolderThatCannotBeEnteredContributesNothing) {
  TempFolder base;
  WriteFile(base.path / "a.jpg", "img");
  WriteFile(base.path / "[filesize]" / "x.jpg", "img");
  WriteFile(base.path / "[filesize]" / "y.jpg", "img");
  if (IsRoot()) ChownTree(base.Text(), kNobody);
  fs::permissions(base.path / "[filesize]", fs::perms::owner_read);
  Installation app;
  Install(app, kSettings,
          {{"t.dat", TemplateText({"1,0", "[numfile]:[filelist]*", "*", "*", "[fileid]=[filename];",
                                   "*"})}});
  RunResult r = RunUnprivileged(app.program, {base.Text()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(base.path / "index.html"), "1:1=a.jpg;\r\n*\r\n");
}

// Pictures deleted by another process while the program runs. Either the run
// finishes with a consistent page (the deletions came before the listing), or
// a listed picture vanished before its size was read: then the run ends with
// the report and status 2, and the previous page stays as it was. Nothing is
// half-written and no temporary file is left either way.
TEST(HostileTreeTest, PicturesDeletedDuringTheRun) {
  constexpr int kCount = 5000;
  int finished = 0, reported = 0;
  for (int attempt = 0; attempt < 4; ++attempt) {
    TempFolder base;
    {
      Dir folder(base.Text());
      char name[32];
      for (int i = 0; i < kCount; ++i) {
        std::snprintf(name, sizeof name, "p%04d.jpg", i);
        WriteFileAt(folder.fd, name);
      }
    }
    WriteFile(base.path / "index.html", "previous");
    Installation app;
    Install(app, kSettings,
            {{"t.dat", TemplateText({"0,0", "[numfile]", "[filelist]*", "*", "*",
                                     "F [fileid] [filename] [filesize]", "*"})}});
    std::atomic<bool> stop{false};
    std::thread deleter([&] {
      Dir folder(base.Text());
      char name[32];
      // Later attempts start deleting later, to meet the run at other points.
      std::this_thread::sleep_for(std::chrono::milliseconds(attempt * 3));
      for (int i = kCount - 1; i >= kCount / 2 && !stop; --i) {
        std::snprintf(name, sizeof name, "p%04d.jpg", i);
        unlinkat(folder.fd, name, 0);
      }
    });
    RunResult r = RunProgram(app.program, {base.Text()});
    stop = true;
    deleter.join();
    std::string page = ReadFile(base.path / "index.html");
    if (r.status == 2) {
      ++reported;
      EXPECT_EQ(r.err.rfind("pagrimo: cannot read the size and time of " + base.Text() + "/p", 0),
                0u)
          << r.err;
      EXPECT_EQ(page, "previous");
    } else {
      ++finished;
      ASSERT_EQ(r.status, 0) << r.err;
      int listed = std::atoi(page.c_str());
      EXPECT_GE(listed, kCount / 2);
      EXPECT_LE(listed, kCount);
      // Items are numbered 1..n without gaps, each with the size of a file
      // that was there.
      EXPECT_EQ(Count(page, "\r\nF "), static_cast<size_t>(listed));
      EXPECT_NE(page.find("\r\nF " + std::to_string(listed) + " p"), std::string::npos);
      EXPECT_EQ(Count(page, ".jpg 3\r\n"), static_cast<size_t>(listed));
    }
    for (const auto& name : ListFolder(base.path)) {
      EXPECT_EQ(name.rfind(".pagrimo", 0), std::string::npos) << "temporary file left: " << name;
    }
  }
  EXPECT_EQ(finished + reported, 4);
  std::printf("runs finished: %d, ended by the report: %d\n", finished, reported);
}

// Links that fan out to the same folders: two links per level over 22 levels
// would be four million paths; each folder is entered through links once.
TEST(HostileTreeTest, LinksFanningOutDoNotMultiplyTheWork) {
  constexpr int kLevels = 22;
  struct Case {
    bool images;
    int status;
    std::string start;  // of the page, or of the report
  } cases[] = {
      // Every real folder, and the first chain of links down from a00.
      {true, 0, std::to_string(kLevels + kLevels - 1) + ":"},
      {false, 1, "エラー: 対象となるファイルがありません\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.images ? "with images" : "without images");
    TempFolder base;
    char name[8];
    for (int i = 0; i < kLevels; ++i) {
      std::snprintf(name, sizeof name, "a%02d", i);
      fs::create_directory(base.path / name);
      if (c.images) WriteFile(base.path / name / "p.jpg", "img");
      if (i + 1 == kLevels) continue;
      char next[16];
      std::snprintf(next, sizeof next, "../a%02d", i + 1);
      fs::create_directory_symlink(next, base.path / name / "l1");
      fs::create_directory_symlink(next, base.path / name / "l2");
    }
    Installation app;
    Install(
        app, kSettings,
        {{"t.dat", TemplateText({"1,0", "[numfile]:[filelist]", "*", "*", "[filename];", "*"})}});
    RunResult r = RunProgram(app.program, {base.Text()});
    EXPECT_EQ(r.status, c.status) << r.err;
    if (c.status == 0) {
      EXPECT_EQ(ReadFile(base.path / "index.html").rfind(c.start, 0), 0u);
    } else {
      EXPECT_EQ(r.err, c.start);
    }
  }
}

// FIFOs and devices where files are expected, and a page that is a link to a
// file outside the tree: the run never blocks, and never writes through the
// link.
TEST(HostileTreeTest, SpecialFilesNeverStopTheRunNorLeadOutside) {
  const std::string kTemplate =
      TemplateText({"0,0", "[numfile]:[filelist]*", "*", "*", "[filename] [filesize];", "*"});
  struct Case {
    const char* what;
    // Made a FIFO (or, after "zero:", a link to /dev/zero): in the tree, or
    // "app/NAME" beside the program.
    const char* fifo;
    int status;
    std::string err;
    std::string page;
  } cases[] = {
      {"settings file", "app/pagrimo.ini", 1, "エラー: template.datが正しく読みこめません\n",
       "<missing>"},
      {"template file", "app/t.dat", 1,
       "pagrimo: t.datが見つかりません\nエラー: template.datが正しく読みこめません\n", "<missing>"},
      {"picture", "fifo.jpg", 0, "", "2:a.jpg 3;\r\nz.jpg 3;\r\n*\r\n"},
      {"settings file as an endless device", "zero:app/pagrimo.ini", 1,
       "エラー: template.datが正しく読みこめません\n", "<missing>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempFolder base;
    fs::path tree = base.path / "tree";
    WriteFile(tree / "a.jpg", "img");
    WriteFile(base.path / "outside.html", "outside");
    fs::create_symlink(base.path / "outside.html", tree / "index.html");
    fs::create_symlink("/dev/zero", tree / "zero.jpg");
    fs::create_symlink(tree / "a.jpg", tree / "z.jpg");
    Installation app;
    Install(app, kSettings, {{"t.dat", kTemplate}});
    std::string fifo = c.fifo;
    bool device = fifo.rfind("zero:", 0) == 0;
    if (device) fifo.erase(0, 5);
    fs::path where = fifo.rfind("app/", 0) == 0 ? app.folder.path / fifo.substr(4) : tree / fifo;
    fs::remove(where);
    if (device) {
      fs::create_symlink("/dev/zero", where);
    } else {
      ASSERT_EQ(mkfifo(where.c_str(), 0644), 0);
    }
    RunResult r = RunProgram(app.program, {tree.string()});
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(ReadFile(base.path / "outside.html"), "outside");
    if (c.status == 0) {
      EXPECT_FALSE(fs::is_symlink(tree / "index.html"));
      EXPECT_EQ(ReadFile(tree / "index.html"), c.page);
    }
  }
}

}  // namespace

#endif  // _WIN32

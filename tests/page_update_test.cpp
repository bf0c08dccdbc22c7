// Re-runs over a tree that already has its pages: a page that would not
// change is not written at all, and a page that replaces another reaches the
// disk before it takes the old one's name.
#ifndef _WIN32

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "support/hostile.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

const std::string kTemplate = TemplateText({"2,0", "[numfile]", "[dirlist][filelist]*", "*",
                                            "[reldir];", "*", "[filename] [filesize];", "*"});
constexpr time_t kOld = 978307200;  // 2001-01-01, a time no run writes
const std::string kStrace = "/usr/bin/strace";

struct Stamp {
  ino_t inode = 0;
  time_t modified = 0;
};

Stamp StampOf(const fs::path& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return {};
  return {st.st_ino, st.st_mtim.tv_sec};
}

void MakeOld(const fs::path& path) {
  struct timespec times[2] = {{kOld, 0}, {kOld, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

struct PageUpdateTest : ::testing::Test {
  Installation app;
  TempFolder base;
  fs::path root = base.path / "root";
  std::vector<fs::path> pages{root / "index.html", root / "sub" / "index.html",
                              root / "other" / "index.html"};
  void SetUp() override {
    Install(app, kSettings, {{"t.dat", kTemplate}});
    WriteFile(root / "a.jpg", "a");
    WriteFile(root / "sub" / "b.jpg", "b");
    WriteFile(root / "other" / "c.jpg", "c");
  }
  // The system calls of one run that flush or rename, by name, in order
  // (the leak checker of a sanitized build cannot work under a tracer).
  std::vector<std::string> TracedRun(const std::string& trace) {
    RunResult r =
        RunProgram(kStrace,
                   {"-f", "-qq", "-o", trace, "-e",
                    "trace=fdatasync,fsync,rename,renameat,renameat2", app.program, root.string()},
                   {"ASAN_OPTIONS=detect_leaks=0"});
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<std::string> calls;
    std::ifstream in(trace);
    for (std::string line; std::getline(in, line);) {
      size_t start = line.find_first_not_of(" ", line.find(" ")), open = line.find("(");
      if (open == std::string::npos || open < start) continue;
      std::string call = line.substr(start, open - start);
      calls.push_back(call.rfind("rename", 0) == 0 ? "rename" : call);
    }
    return calls;
  }
};

TEST_F(PageUpdateTest, UnchangedPagesKeepTheirFileAndTime) {
  ASSERT_EQ(RunProgram(app.program, {root.string()}).status, 0);
  std::vector<Stamp> before;
  for (const auto& page : pages) {
    MakeOld(page);
    before.push_back(StampOf(page));
  }
  // Nothing changed: nothing is written, even by a user who could write
  // nothing there (the folders belong to root).
  std::vector<std::string> contents;
  for (const auto& page : pages) contents.push_back(ReadFile(page));
  RunResult again = RunUnprivileged(app.program, {root.string()});
  EXPECT_EQ(again.status, 0) << again.err;
  for (size_t i = 0; i < pages.size(); ++i) {
    EXPECT_EQ(StampOf(pages[i]).inode, before[i].inode) << pages[i];
    EXPECT_EQ(StampOf(pages[i]).modified, kOld) << pages[i];
    EXPECT_EQ(ReadFile(pages[i]), contents[i]);
  }
  // One picture grows: its folder's page is replaced, the others stay.
  WriteFile(root / "sub" / "b.jpg", "bigger");
  ASSERT_EQ(RunProgram(app.program, {root.string()}).status, 0);
  EXPECT_EQ(ReadFile(pages[1]), "1\r\nb.jpg 6;\r\n*\r\n");
  EXPECT_NE(StampOf(pages[1]).inode, before[1].inode);
  EXPECT_NE(StampOf(pages[1]).modified, kOld);
  for (size_t i : {0, 2}) {
    EXPECT_EQ(StampOf(pages[i]).inode, before[i].inode) << pages[i];
    EXPECT_EQ(StampOf(pages[i]).modified, kOld) << pages[i];
  }
  // A page of the same size whose bytes differ is replaced too.
  WriteFile(root / "sub" / "b.jpg", "BIGGER");
  std::string page = ReadFile(pages[1]);
  WriteFile(pages[1], std::string(page.size(), 'x'));
  ASSERT_EQ(RunProgram(app.program, {root.string()}).status, 0);
  EXPECT_EQ(ReadFile(pages[1]), page);
  // So is one whose first, middle or last byte alone differs.
  for (size_t at : {size_t{0}, page.size() / 2, page.size() - 1}) {
    std::string changed = page;
    changed[at] ^= 0x20;
    WriteFile(pages[1], changed);
    ASSERT_EQ(RunProgram(app.program, {root.string()}).status, 0);
    EXPECT_EQ(ReadFile(pages[1]), page) << at;
  }
}

TEST_F(PageUpdateTest, OnlyAReplacedPageIsFlushedBeforeItsRename) {
  if (!fs::exists(kStrace)) GTEST_SKIP() << "strace is not installed";
  std::string trace = (base.path / "trace").string();
  // New pages: nothing to lose, no flush.
  EXPECT_EQ(TracedRun(trace), (std::vector<std::string>{"rename", "rename", "rename"}));
  // Nothing changed: nothing written.
  EXPECT_EQ(TracedRun(trace), std::vector<std::string>{});
  // One page changed: its bytes, its name, then its folder.
  WriteFile(root / "other" / "c.jpg", "cc");
  EXPECT_EQ(TracedRun(trace), (std::vector<std::string>{"fdatasync", "rename", "fsync"}));
  EXPECT_EQ(ReadFile(pages[2]), "1\r\nc.jpg 2;\r\n*\r\n");
}

}  // namespace

#endif  // _WIN32

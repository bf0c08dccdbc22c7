// Failures while a page is written: whatever stops the write, the previous
// page stays byte for byte, no temporary file is left, the report names the
// page and the reason, and the run ends with status 2.
#ifndef _WIN32

#include <gtest/gtest.h>

#include <functional>

#include "support/hostile.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

const std::string kPrevious = "previous page\r\n\xff\x00 kept byte for byte\r\n";

// A template whose pages are always larger than the file-size limit below.
std::string BigTemplate(int naming) {
  return TemplateText({"0," + std::to_string(naming), std::string(4096, 'x'), "[filelist]*", "*",
                       "*", "[filename] [filesize]", "*"});
}

struct Case {
  const char* what;
  int naming;
  // Prepares the folder (which holds a.jpg and the previous index.html).
  std::function<void(const fs::path&)> prepare;
  // Runs the program on the folder.
  std::function<RunResult(const std::string&, const std::string&)> run;
  std::string page;    // the page that cannot be written, relative to the folder
  std::string reason;  // the end of the report
};

RunResult Plain(const std::string& program, const std::string& folder) {
  return RunProgram(program, {folder});
}

// A file-size limit of 1 KiB, with SIGXFSZ ignored by the shell that starts
// the program, or left at its default (which would kill a program that does
// not ignore it itself).
RunResult SizeLimited(const std::string& program, const std::string& folder, bool ignoreSignal) {
  std::string script =
      std::string(ignoreSignal ? "trap '' XFSZ; " : "") + "exec prlimit --fsize=1024 \"$0\" \"$@\"";
  return RunProgram("/bin/sh", {"-c", script, program, folder});
}

void Nothing(const fs::path&) {}

std::vector<std::string> Leftovers(const fs::path& folder) {
  std::vector<std::string> temporary;
  for (const auto& name : ListFolder(folder)) {
    if (name.rfind(".pagrimo-", 0) == 0) temporary.push_back(name);
  }
  return temporary;
}

TEST(WriteFailureTest, ThePreviousPageStaysAndTheRunEndsWithStatus2) {
  const std::string tooLong(251, 'N');  // a 255-byte folder name: its page name is too long
  Case cases[] = {
      {"file-size limit, SIGXFSZ ignored", 0, Nothing,
       [](const std::string& p, const std::string& f) { return SizeLimited(p, f, true); },
       "index.html", ": File too large"},
      {"file-size limit, SIGXFSZ at its default", 0, Nothing,
       [](const std::string& p, const std::string& f) { return SizeLimited(p, f, false); },
       "index.html", ": File too large"},
      {"read-only page", 0,
       [](const fs::path& f) { fs::permissions(f / "index.html", fs::perms::owner_read); }, Plain,
       "index.html", ": the existing page is read-only"},
      {"read-only folder", 0,
       [](const fs::path& f) {
         if (!IsRoot()) fs::permissions(f, fs::perms::owner_read | fs::perms::owner_exec);
       },
       [](const std::string& p, const std::string& f) { return RunUnprivileged(p, {f}); },
       "index.html", ": Permission denied"},
      {"page name longer than a name may be", 1,
       [&](const fs::path& f) {
         fs::create_directory(f / tooLong);
         WriteFile(f / tooLong / "b.jpg", "img");
       },
       [&](const std::string& p, const std::string& f) { return Plain(p, f + "/" + tooLong); },
       tooLong + "/" + tooLong + ".html", ": File name too long"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempFolder folder;
    WriteFile(folder.path / "a.jpg", "img");
    WriteFile(folder.path / "index.html", kPrevious);
    c.prepare(folder.path);
    Installation app;
    Install(app, kSettings, {{"t.dat", BigTemplate(c.naming)}});
    auto before = ListFolder(folder.path);
    RunResult r = c.run(app.program, folder.Text());
    EXPECT_EQ(r.status, 2) << r.err;
    std::string report =
        "pagrimo: cannot write the page " + folder.Text() + "/" + c.page + c.reason;
    EXPECT_EQ(r.err, report + "\n");
    EXPECT_EQ(ReadFile(folder.path / "index.html"), kPrevious);
    EXPECT_EQ(ListFolder(folder.path), before);
    EXPECT_EQ(Leftovers(folder.path), std::vector<std::string>{});
    EXPECT_EQ(Leftovers((folder.path / c.page).parent_path()), std::vector<std::string>{});
  }
}

TEST(WriteFailureTest, AFolderWhereThePageShouldBeIsKept) {
  TempFolder folder;
  WriteFile(folder.path / "a.jpg", "img");
  WriteFile(folder.path / "index.html" / "inside.txt", "kept");
  Installation app;
  Install(app, kSettings, {{"t.dat", BigTemplate(0)}});
  RunResult r = RunProgram(app.program, {folder.Text()});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "pagrimo: cannot write the page " + folder.Text() +
                       "/index.html: a folder stands where the page should be written\n");
  EXPECT_EQ(ReadFile(folder.path / "index.html" / "inside.txt"), "kept");
  EXPECT_EQ(ListFolder(folder.path), (std::vector<std::string>{"a.jpg", "index.html"}));
}

// Placeholders in folder names are expanded again by later steps, so a
// hostile name can multiply a page; the run stops when the names would add
// more than 256 MiB instead of exhausting memory, and the previous page stays.
TEST(WriteFailureTest, APageMultipliedByPlaceholdersInNamesStopsAtTheLimit) {
  TempFolder base;
  std::string name;
  for (int i = 0; i < 25; ++i) name += "[filelist]";  // 250 bytes
  fs::path folder = base.path / name;
  WriteFile(folder / "a.jpg", "img");
  WriteFile(folder / "index.html", kPrevious);
  // Each "[path]" brings 25 "[filelist]"; 16 of them make 400 copies of a
  // file list of 1 MiB: more than 256 MiB.
  std::string page;
  for (int i = 0; i < 16; ++i) page += "[path]";
  Installation app;
  Install(app, kSettings,
          {{"t.dat", TemplateText({"0,0", page, "*", "*", std::string(1 << 20, 'f'), "*"})}});
  RunResult r = RunProgram(app.program, {folder.string()});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "pagrimo: cannot build the page " + folder.string() +
                       "/index.html: placeholders in folder or file names would make it more "
                       "than 256 MiB larger\n");
  EXPECT_EQ(ReadFile(folder / "index.html"), kPrevious);
  EXPECT_EQ(ListFolder(folder), (std::vector<std::string>{"a.jpg", "index.html"}));
}

}  // namespace

#endif  // _WIN32

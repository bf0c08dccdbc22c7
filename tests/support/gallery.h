// A gallery run over copies of committed pictures: the machinery the picture
// tests share (thumbnails, previews). Each gallery is its own installation
// and its own temporary folder of photos.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/test_support.h"
#ifndef _WIN32
#include "support/hostile.h"
#endif

namespace testing_support {

/// Dates as the C locale writes them in UTC; the Windows tests run in the
/// Japanese locale, where only the digits are checked.
inline const std::vector<std::string> kGalleryEnvironment = {"TZ=UTC", "LC_ALL=C.UTF-8"};

/// A template whose file item is fields followed by "|", one item a line.
inline std::string Item(const std::string& fields) {
  return TemplateText({"0,0", "[filelist]", "*", "*", fields + "|", "*"});
}

/// The parts of an item's text between the bars.
inline std::vector<std::string> Split(const std::string& fields) {
  std::vector<std::string> parts;
  size_t pos = 0;
  for (size_t bar; (bar = fields.find('|', pos)) != std::string::npos; pos = bar + 1) {
    parts.push_back(fields.substr(pos, bar - pos));
  }
  parts.push_back(fields.substr(pos));
  return parts;
}

/// A copy of each named picture of source in a new folder, and a program
/// installed with the template and settings given.
struct Gallery {
  Installation installation;
  TempFolder photos;
  Gallery(const std::string& templateText, const std::string& extraSettings,
          const std::filesystem::path& source, const std::vector<std::string>& names) {
    Install(installation, std::string(kSettings) + extraSettings, {{"t.dat", templateText}});
    for (const std::string& name : names)
      std::filesystem::copy_file(source / PathOf(name), photos.path / PathOf(name));
  }
  RunResult Run() { return RunProgram(installation.program, {photos.Text()}, kGalleryEnvironment); }
  /// A run over pictures that cannot be opened any more but still be looked
  /// at (POSIX: unreadable, the run unprivileged): a run that opened one
  /// would report it and change its row. On Windows a plain run.
  RunResult RunWithPicturesUnreadable() {
#ifndef _WIN32
    for (const auto& entry : std::filesystem::directory_iterator(photos.path))
      if (entry.is_regular_file() && entry.path().filename() != "index.html")
        std::filesystem::permissions(entry.path(), std::filesystem::perms::none);
    std::filesystem::permissions(photos.path, std::filesystem::perms::all);
    return RunUnprivileged(installation.program, {photos.Text()}, kGalleryEnvironment);
#else
    return Run();
#endif
  }
  std::string Page() { return ReadFile(photos.path / "index.html"); }
  /// The page's items as name -> the fields after the name.
  std::map<std::string, std::string> Items() {
    std::map<std::string, std::string> items;
    std::string page = Page();
    size_t pos = 0;
    for (size_t end; (end = page.find("|\r\n", pos)) != std::string::npos; pos = end + 3) {
      std::string line = page.substr(pos, end - pos);
      size_t bar = line.find('|');
      items[line.substr(0, bar)] = line.substr(bar + 1);
    }
    return items;
  }
  /// The files of the thumbnail folder: name -> size and modification time.
  std::map<std::string, std::pair<std::uintmax_t, std::filesystem::file_time_type>> Copies() {
    std::map<std::string, std::pair<std::uintmax_t, std::filesystem::file_time_type>> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(photos.path / ".thumbs", error)) {
      files[Utf8Path(entry.path().filename())] = {entry.file_size(), entry.last_write_time()};
    }
    return files;
  }
};

}  // namespace testing_support

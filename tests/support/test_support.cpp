#include "support/test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

namespace testing_support {

TempFolder::TempFolder() {
  static std::atomic<unsigned> counter{0};
  std::random_device seed;
  for (;;) {
    path = fs::temp_directory_path() /
           ("pagrimo-test-" + std::to_string(seed()) + "-" + std::to_string(counter++));
    std::error_code error;
    if (fs::create_directory(path, error)) break;
  }
}

TempFolder::~TempFolder() {
  std::error_code error;
  // Tests may leave read-only entries behind; make everything removable.
  for (auto it = fs::recursive_directory_iterator(path, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    fs::permissions(it->path(), fs::perms::owner_all,
                    fs::perm_options::add | fs::perm_options::nofollow, error);
  }
  fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, error);
  fs::remove_all(path, error);
}

std::string TempFolder::Text() const { return Utf8Path(path); }

std::string Utf8Path(const fs::path& path) {
  auto text = path.u8string();
  return std::string(text.begin(), text.end());
}

fs::path PathOf(const std::string& utf8) {
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  ASSERT_TRUE(out.good()) << "cannot write " << path;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "<missing>";
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::vector<std::string> ListFolder(const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    names.push_back(Utf8Path(entry.path().filename()));
  }
  std::sort(names.begin(), names.end());
  return names;
}

void CopySamples(const fs::path& folder) {
  const fs::path samples = PathOf(PAGRIMO_SOURCE_DIR "/samples/photos");
  fs::create_directories(folder);
  for (auto it = fs::recursive_directory_iterator(samples);
       it != fs::recursive_directory_iterator(); ++it) {
    const fs::path& from = it->path();
    if (from.filename() == ".thumbs" || from.extension() == ".html") {
      if (it->is_directory()) it.disable_recursion_pending();
      continue;
    }
    fs::path to = folder / fs::relative(from, samples);
    if (it->is_directory()) {
      fs::create_directories(to);
    } else {
      fs::copy_file(from, to, fs::copy_options::overwrite_existing);
    }
  }
}

void Install(Installation& installation, const std::string& settings,
             const std::vector<std::pair<std::string, std::string>>& templates) {
  fs::path program = installation.folder.path / fs::path(PAGRIMO_EXE).filename();
  fs::copy_file(PAGRIMO_EXE, program);
  installation.program = Utf8Path(program);
  if (!settings.empty()) WriteFile(installation.folder.path / "pagrimo.ini", settings);
  for (const auto& [name, bytes] : templates) WriteFile(installation.folder.path / name, bytes);
}

std::string TemplateText(const std::vector<std::string>& lines, bool utf8) {
  std::string text = utf8 ? "\xEF\xBB\xBF" : "";
  for (const auto& line : lines) text += line + "\r\n";
  return text;
}

std::string HostTool(const std::string& name) {
#ifdef _WIN32
  (void)name;
  return "";
#else
  std::string path = "/usr/bin/" + name;
  return fs::exists(path) ? path : "";
#endif
}

}  // namespace testing_support

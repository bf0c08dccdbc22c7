// Feeds arbitrary bytes to the settings-file reader through an in-memory file,
// and checks what it promises: keys and values hold no line ends and no blanks
// at either end, and a looked-up value is never longer than the limit.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "config/settings.h"
#include "platform/platform.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

bool Clean(const std::string& text) {
  if (text.find_first_of("\r\n") != std::string::npos) return false;
  if (text.empty()) return true;
  return text.front() != ' ' && text.front() != '\t' && text.back() != ' ' && text.back() != '\t';
}

void WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    ssize_t put = write(fd, data, size);
    if (put <= 0) std::abort();
    data += put;
    size -= static_cast<std::size_t>(put);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  int fd = memfd_create("pagrimo.ini", MFD_CLOEXEC);
  if (fd < 0) std::abort();
  WriteAll(fd, data, size);
  std::string path = "/proc/self/fd/" + std::to_string(fd);
  for (const char* section : {"Pagrimo", ""}) {
    SettingsEntries entries = platform::ReadSettingsSection(path, section);
    for (const auto& [key, value] : entries) {
      Require(Clean(key));
      Require(value.find_first_of("\r\n") == std::string::npos);
    }
    for (const char* key : {"default", "0", "16", "255"}) {
      Require(LookUpSetting(entries, key, "").size() <= kMaxSettingBytes);
    }
  }
  close(fd);
  return 0;
}

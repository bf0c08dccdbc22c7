// The POSIX port, the process and the user's locale. Sections, in order:
//   1. The process: StartProcess (signals, stack, locale, arguments), its
//      own folder, its argument text, the user's language, the folders that
//      may hold its settings.
//   2. The user's locale: dates (as text and as calendar fields), lower case,
//      collation keys.
// The state that StartProcess sets up lives here, as platform.h says.
#include <langinfo.h>
#include <sys/resource.h>
#include <unistd.h>

#include <climits>
#include <clocale>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <cwchar>
#include <cwctype>
#include <string>

#include "platform/platform.h"
#include "platform/user_language.h"

namespace platform {
namespace {

std::string g_argumentText;
bool g_plainCollation = true;  // byte order of lower-cased text suffices
// In a UTF-8 locale a byte below 0x80 is always a whole character, so it is
// lower-cased through this table (filled from towlower) without decoding.
bool g_utf8Locale = false;
wchar_t g_asciiLower[128];

}  // namespace

// 1. The process ---------------------------------------------------------------

void StartProcess(int argc, char** argv) {
  // A file-size limit makes a page write fail with EFBIG, which is reported
  // and cleaned up, instead of killing the program with a temporary file left.
  std::signal(SIGXFSZ, SIG_IGN);
  // Folder trees are walked recursively, up to thousands of levels deep. On
  // Linux the main thread's stack grows on demand up to the current limit,
  // and at least 128 MiB below it are kept free for that, so raising the soft
  // limit to 64 MiB gives the recursion room in every build.
  constexpr rlim_t kStackBytes = rlim_t{64} << 20;
  struct rlimit stack {};
  if (getrlimit(RLIMIT_STACK, &stack) == 0 && stack.rlim_cur != RLIM_INFINITY &&
      stack.rlim_cur < kStackBytes) {
    stack.rlim_cur = stack.rlim_max == RLIM_INFINITY || stack.rlim_max > kStackBytes
                         ? kStackBytes
                         : stack.rlim_max;
    setrlimit(RLIMIT_STACK, &stack);
  }
  std::setlocale(LC_ALL, "");
  tzset();
  const char* collate = std::setlocale(LC_COLLATE, nullptr);
  std::string name = collate ? collate : "C";
  g_plainCollation = name == "C" || name == "POSIX" || name.rfind("C.", 0) == 0;
  g_utf8Locale = std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
  for (int c = 0; c < 128; ++c) {
    g_asciiLower[c] = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
  }
  g_argumentText.clear();
  for (int i = 1; i < argc; ++i) {
    if (i > 1) g_argumentText += ' ';
    g_argumentText += argv[i];
  }
}

std::string ExecutableFolder() {
  std::string buffer(4096, '\0');
  for (;;) {
    ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) return ".";
    if (static_cast<size_t>(length) < buffer.size()) {
      buffer.resize(static_cast<size_t>(length));
      break;
    }
    buffer.resize(buffer.size() * 2);
  }
  size_t slash = buffer.rfind('/');
  return slash == std::string::npos ? "." : buffer.substr(0, slash);
}

std::string ArgumentText() { return g_argumentText; }

std::vector<std::string> UserLanguages() {
  auto value = [](const char* name) {
    const char* text = std::getenv(name);
    return std::string(text != nullptr ? text : "");
  };
  return PreferredLanguages(
      {value("LANGUAGE"), value("LC_ALL"), value("LC_MESSAGES"), value("LANG")});
}

std::vector<std::string> SettingsFolderCandidates() {
  std::string own = ExecutableFolder();
  std::vector<std::string> folders{own};
  // Relative or empty values are ignored, as the XDG base directory rules say.
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  if (config != nullptr && config[0] == '/') {
    folders.push_back(std::string(config) + "/pagrimo");
  } else if (home != nullptr && home[0] == '/') {
    folders.push_back(std::string(home) + "/.config/pagrimo");
  }
  size_t slash = own.rfind('/');
  if (slash != std::string::npos) folders.push_back(own.substr(0, slash) + "/share/pagrimo");
  return folders;
}

// 2. The user's locale -----------------------------------------------------------

namespace {

// Decodes text into wide characters, lower-cased, into wide; a byte that is
// not part of a valid character of the locale's encoding becomes U+FFFD.
void LowerWide(const std::string& text, std::wstring& wide) {
  wide.clear();
  std::mbstate_t state{};
  size_t i = 0;
  while (i < text.size()) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (g_utf8Locale && c < 0x80) {
      wide.push_back(g_asciiLower[c]);
      ++i;
      continue;
    }
    wchar_t wc = 0;
    size_t used = std::mbrtowc(&wc, text.data() + i, text.size() - i, &state);
    if (used == static_cast<size_t>(-1) || used == static_cast<size_t>(-2)) {
      state = std::mbstate_t{};
      wide.push_back(L'\xFFFD');
      ++i;
      continue;
    }
    if (used == 0) used = 1;  // an embedded NUL
    wide.push_back(static_cast<wchar_t>(std::towlower(static_cast<wint_t>(wc))));
    i += used;
  }
}

// Appends a collation weight in a prefix-free code whose byte order is the
// order of the weights: 1 byte below 2^7, 2 below 2^14, 3 below 2^21, else 5.
char* PutWeight(char* out, std::uint32_t w) {
  if (w < 0x80) {
    *out++ = static_cast<char>(w);
  } else if (w < 0x4000) {
    *out++ = static_cast<char>(0x80 | (w >> 8));
    *out++ = static_cast<char>(w & 0xFF);
  } else if (w < 0x200000) {
    *out++ = static_cast<char>(0xC0 | (w >> 16));
    *out++ = static_cast<char>((w >> 8) & 0xFF);
    *out++ = static_cast<char>(w & 0xFF);
  } else {
    *out++ = static_cast<char>(0xE0);
    *out++ = static_cast<char>(w >> 24);
    *out++ = static_cast<char>((w >> 16) & 0xFF);
    *out++ = static_cast<char>((w >> 8) & 0xFF);
    *out++ = static_cast<char>(w & 0xFF);
  }
  return out;
}

}  // namespace

std::string LocalDateTimeText(std::int64_t modified) {
  std::time_t t = static_cast<std::time_t>(modified);
  struct tm local {};
  if (localtime_r(&t, &local) == nullptr) return "";
  // The C locale's "%x" has a two-digit year; ISO order reads better there.
  static const bool plain = std::strcmp(nl_langinfo(D_FMT), "%m/%d/%y") == 0;
  const char* format = plain ? "%Y-%m-%d %H:%M:%S" : "%x %X";
  char buffer[256];
  size_t length = std::strftime(buffer, sizeof buffer, format, &local);
  return std::string(buffer, length);
}

bool ToLocalTime(std::int64_t seconds, LocalTime& local) {
  std::time_t t = static_cast<std::time_t>(seconds);
  struct tm fields {};
  if (localtime_r(&t, &fields) == nullptr) return false;
  local = {fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday,
           fields.tm_hour,        fields.tm_min,     fields.tm_sec > 59 ? 59 : fields.tm_sec};
  return true;
}

std::string LowerText(const std::string& text) {
  std::string result;
  result.reserve(text.size());
  std::mbstate_t in{}, out{};
  char buffer[MB_LEN_MAX];
  size_t i = 0;
  while (i < text.size()) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      result.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : static_cast<char>(c));
      ++i;
      continue;
    }
    wchar_t wc = 0;
    size_t used = std::mbrtowc(&wc, text.data() + i, text.size() - i, &in);
    if (used == static_cast<size_t>(-1) || used == static_cast<size_t>(-2) || used == 0) {
      in = std::mbstate_t{};
      result.push_back(text[i]);  // not a character of the locale: kept as it is
      ++i;
      continue;
    }
    size_t put =
        std::wcrtomb(buffer, static_cast<wchar_t>(std::towlower(static_cast<wint_t>(wc))), &out);
    if (put == static_cast<size_t>(-1)) {
      out = std::mbstate_t{};
      result.append(text, i, used);
    } else {
      result.append(buffer, put);
    }
    i += used;
  }
  return result;
}

std::string CollationKey(const std::string& text) {
  if (g_plainCollation) return LowerText(text);
  // Buffers kept between calls: keys are made once per name, many in a row.
  static std::wstring wide, key;
  static std::string scratch;
  LowerWide(text, wide);
  if (key.size() < wide.size() * 6 + 16) key.resize(wide.size() * 6 + 16);
  size_t length = std::wcsxfrm(key.data(), wide.c_str(), key.size());
  if (length >= key.size()) {
    key.resize(length + length / 2 + 1);
    length = std::wcsxfrm(key.data(), wide.c_str(), key.size());
  }
  if (scratch.size() < length * 5) scratch.resize(length * 5);
  char* out = scratch.data();
  for (size_t i = 0; i < length; ++i) out = PutWeight(out, static_cast<std::uint32_t>(key[i]));
  return std::string(scratch.data(), out);
}

}  // namespace platform

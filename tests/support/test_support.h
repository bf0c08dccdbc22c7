// Helpers for tests that work on real files: temporary folders, whole-file
// reads and writes, and running the built program.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "text/messages.h"

namespace testing_support {

/// A fresh folder below the system's temporary folder, removed with all its
/// contents (permissions restored first) when the object goes.
struct TempFolder {
  std::filesystem::path path;
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  /// The folder's path as the program's UTF-8 text, with no trailing separator.
  std::string Text() const;
};

/// The platform's path separator as text, for building the paths that a run
/// is given and the ones it writes.
inline const std::string kSep(1, platform::kSeparator);

/// A path as the program's UTF-8 text, and a path from such text ("/" and the
/// platform's separator both separate).
std::string Utf8Path(const std::filesystem::path& path);
std::filesystem::path PathOf(const std::string& utf8);

/// Whether a backslash can be part of a file name (not on Windows, where it
/// separates).
inline constexpr bool kBackslashInNames = platform::kSeparator != '\\';

/// Writes bytes to path, creating the folders above it.
void WriteFile(const std::filesystem::path& path, const std::string& bytes);
/// The whole file, or "<missing>" when it cannot be read.
std::string ReadFile(const std::filesystem::path& path);
/// Names of the entries of a folder, sorted, for comparing what a run wrote.
std::vector<std::string> ListFolder(const std::filesystem::path& folder);
/// Copies the bundled sample pictures (samples/photos) into folder, without
/// the pages and thumbnails that a run over the samples may have left there.
void CopySamples(const std::filesystem::path& folder);

/// What a finished program left: its exit status and what it printed.
struct RunResult {
  int status = -1;
  std::string out;
  std::string err;
};
/// Runs program with the given arguments (each passed as one argument) and
/// the extra environment entries NAME=VALUE; waits for it. DISPLAY and
/// WAYLAND_DISPLAY are not inherited, only passed when given; on POSIX the
/// messages are pinned to the C locale's unless the entries name LANGUAGE,
/// LC_ALL or LC_MESSAGES (see DefaultLanguage).
RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::vector<std::string>& environment = {});

/// The path of a host tool that tests make files with (ffmpeg, exiftool), or
/// "" when it is missing, and the test skips. Windows tests find none: a
/// Linux tool under wine could not take their paths.
std::string HostTool(const std::string& name);

/// A copy of the built program in its own folder with the given settings file
/// and templates (name, bytes), so that a test chooses what it loads.
struct Installation {
  TempFolder folder;
  std::string program;
};
void Install(Installation& installation, const std::string& settings,
             const std::vector<std::pair<std::string, std::string>>& templates);

/// Sets the hidden attribute of a file or folder (Windows tests only).
bool SetHiddenAttribute(const std::filesystem::path& path);

/// Sets the last-write time of a file or folder to seconds since 1970
/// (Windows tests only).
void SetWriteTime(const std::filesystem::path& file, std::int64_t seconds);

/// UTF-8 text in the system's code page, as pages of a template without the
/// byte order mark are written (POSIX: unchanged; Windows: the ANSI code page).
std::string InSystemCodePage(const std::string& utf8);

/// Makes link a symbolic link to target (a file or a folder); false where the
/// platform cannot: on Windows links need a privilege, and wine makes none.
bool MakeLink(const std::filesystem::path& target, const std::filesystem::path& link);

/// True when the tests run under wine, whose imaging component lacks some of
/// Windows' (no reduced-scale JPEG decode, no colour management); always
/// false on POSIX.
bool UnderWine();

/// A template file's text from its lines, each ended by CR LF, with the
/// UTF-8 byte order mark in front when utf8 is set.
std::string TemplateText(const std::vector<std::string>& lines, bool utf8 = false);

/// Settings that choose the template file t.dat.
inline constexpr char kSettings[] = "[Pagrimo]\r\ndefault=t.dat\r\n";
/// The language a run of the program speaks when the test does not choose
/// it: RunProgram pins POSIX runs to Japanese (LANGUAGE empty, LC_MESSAGES
/// C.UTF-8, unless the test passes its own); Windows runs follow the UI language, which wine
/// takes from LANG: Japanese under ja_JP, English under any other.
Language DefaultLanguage();

/// The languages that message tests run in, and the settings line that
/// chooses each.
inline constexpr Language kLanguages[] = {Language::kJapanese, Language::kEnglish};
inline std::string LanguageLine(Language language) {
  return language == Language::kJapanese ? "language=ja\r\n" : "language=en\r\n";
}

/// The run's messages as they reach standard error, in either language.
inline std::string LoadFailedMessage(Language language = DefaultLanguage()) {
  return language == Language::kJapanese ? "エラー: template.datが正しく読みこめません\n"
                                         : "Error: template.dat cannot be read properly\n";
}
inline std::string NothingToListMessage(Language language = DefaultLanguage()) {
  return language == Language::kJapanese ? "エラー: 対象となるファイルがありません\n"
                                         : "Error: There are no files to list\n";
}
inline std::string NotAFolderMessage(const std::string& folder,
                                     Language language = DefaultLanguage()) {
  return (language == Language::kJapanese ? "エラー: 正しいディレクトリ名では有りません。\r\n"
                                          : "Error: This is not a valid folder name.\r\n") +
         folder + "\n";
}
/// The note before LoadFailedMessage when the template named is missing.
inline std::string NotFoundMessage(const std::string& name, Language language = DefaultLanguage()) {
  return "pagrimo: " + name +
         (language == Language::kJapanese ? "が見つかりません\n" : " was not found\n");
}
inline const std::string kLoadFailedMessage = LoadFailedMessage();
inline const std::string kNothingToListMessage = NothingToListMessage();

}  // namespace testing_support

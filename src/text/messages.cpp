#include "text/messages.h"

#include <atomic>

#include "platform/plain_text.h"
#include "platform/user_language.h"

namespace {

struct Texts {
  Message message;
  const char* japanese;
  const char* english;
};

// Every message in both languages. The Japanese texts are the program's own
// and stay as they are; "template.dat" stays in both.
const Texts kTable[] = {
    {Message::kErrorCaption, "エラー", "Error"},
    {Message::kLoadFailed, "template.datが正しく読みこめません",
     "template.dat cannot be read properly"},
    {Message::kNotFoundCaption, "pagrimo", "pagrimo"},
    {Message::kNotFound, "%1が見つかりません", "%1 was not found"},
    {Message::kNotAFolder, "正しいディレクトリ名では有りません。\r\n%1",
     "This is not a valid folder name.\r\n%1"},
    {Message::kNothingToList, "対象となるファイルがありません", "There are no files to list"},
    {Message::kChooserTitle, "対象フォルダの選択", "Choose the folder to index"},
    {Message::kMakingThumbnails, "サムネイルを作成しています", "Making thumbnails"},
    {Message::kUsage,
     "使い方: pagrimo [FOLDER]\n"
     "FOLDER の画像 (GIF, JPEG, PNG, BMP) の一覧ページを、pagrimo.ini が選ぶ\n"
     "テンプレートから作成します。FOLDER がなければ、フォルダの選択を求めます。\n"
     "\n"
     "オプション (引数全体がこの一つのとき):\n"
     "%1"
     "\n"
     "設定 (pagrimo.ini) は、次のフォルダのうちそれがある最初のものから読みこみます:\n"
     "%2"
     "\n"
     "終了ステータス: 0 ページを作成した、またはフォルダが選ばれなかった;\n"
     "1 メッセージを表示して終了した; 2 予期しない失敗で終了した。\n",
     "Usage: pagrimo [FOLDER]\n"
     "Writes an index page of the pictures (GIF, JPEG, PNG, BMP) in FOLDER from\n"
     "the template that pagrimo.ini chooses. Without FOLDER, asks for a folder.\n"
     "\n"
     "Options (when one is the whole argument):\n"
     "%1"
     "\n"
     "The settings (pagrimo.ini) are read from the first of these folders that\n"
     "holds them:\n"
     "%2"
     "\n"
     "Exit status: 0 the pages were written, or no folder was chosen;\n"
     "1 the run ended after a message; 2 it ended on an unexpected failure.\n"},
    {Message::kHelpOption, "この使い方を表示します", "show this help"},
    {Message::kVersionOption, "バージョンを表示します", "show the version"},
    {Message::kMissingDecoder,
     "%1 枚の画像はこの Windows で表示できないため、サムネイルがありません。"
     "Microsoft Store の「%2」を入れると作成できます。",
     "%1 pictures have no thumbnail because this Windows cannot decode them: install "
     "\"%2\" from the Microsoft Store to have them made."},
    // The extensions' names as the Microsoft Store shows them.
    {Message::kHeifExtensions, "HEIF 画像拡張機能」と「HEVC ビデオ拡張機能",
     "HEIF Image Extensions\" and \"HEVC Video Extensions"},
    {Message::kAvifExtension, "AV1 Video Extension", "AV1 Video Extension"},
    {Message::kWebpExtensions, "Webp 画像拡張機能", "Webp Image Extensions"},
    {Message::kMissingVideoDecoder,
     "%1 本の動画はこの Windows でデコードできないため、ポスター画像がありません。"
     "Microsoft Store の「%2」を入れると作成できます。",
     "%1 videos have no poster because this Windows cannot decode them: install "
     "\"%2\" from the Microsoft Store to have them made."},
    {Message::kHevcExtension, "HEVC ビデオ拡張機能", "HEVC Video Extensions"},
    {Message::kWebMediaExtensions, "Web メディア拡張機能", "Web Media Extensions"},
};

std::atomic<Language> g_language{Language::kJapanese};

// The language part of a name such as "ja_JP.UTF-8", "en-US" or "de",
// lower-cased.
std::string LanguageCode(const std::string& name) {
  std::string code = name.substr(0, name.find_first_of("_-.@"));
  for (char& c : code) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return code;
}

}  // namespace

Language ChooseLanguage(const std::vector<std::string>& systemLanguages,
                        const std::string& setting) {
  if (platform::EqualIgnoringAsciiCase(setting, "ja")) return Language::kJapanese;
  if (platform::EqualIgnoringAsciiCase(setting, "en")) return Language::kEnglish;
  bool otherNamed = false;
  for (const std::string& name : systemLanguages) {
    std::string code = LanguageCode(name);
    if (platform::IsPlainLocale(name) || code == "ja") return Language::kJapanese;
    if (code == "en") return Language::kEnglish;
    otherNamed = otherNamed || !code.empty();
  }
  return otherNamed ? Language::kEnglish : Language::kJapanese;
}

void UseLanguage(Language language) { g_language = language; }

std::string MessageText(Language language, Message message,
                        const std::vector<std::string>& arguments) {
  const char* text = "";
  for (const Texts& texts : kTable) {
    if (texts.message == message) {
      text = language == Language::kEnglish ? texts.english : texts.japanese;
    }
  }
  // One pass: an argument that holds "%1" is not read again.
  std::string result;
  for (const char* p = text; *p != '\0'; ++p) {
    if (p[0] == '%' && (p[1] == '1' || p[1] == '2')) {
      size_t index = static_cast<size_t>(p[1] - '1');
      if (index < arguments.size()) result += arguments[index];
      ++p;
    } else {
      result += *p;
    }
  }
  return result;
}

std::string MessageText(Message message, const std::vector<std::string>& arguments) {
  return MessageText(g_language.load(), message, arguments);
}

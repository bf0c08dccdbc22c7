#include "text/messages.h"

#include <gtest/gtest.h>

#include "platform/user_language.h"

namespace {

constexpr Language kJa = Language::kJapanese;
constexpr Language kEn = Language::kEnglish;

// The POSIX variables as gettext orders them, then the rule that makes a
// language of their names.
TEST(MessagesTest, LanguageFollowsThePosixVariables) {
  struct Case {
    platform::LanguageVariables variables;  // LANGUAGE, LC_ALL, LC_MESSAGES, LANG
    Language language;
  } cases[] = {
      {{"", "", "", ""}, kJa},  // nothing set: the C locale
      {{"", "", "", "C"}, kJa},
      {{"", "", "", "POSIX"}, kJa},
      {{"", "", "", "C.UTF-8"}, kJa},
      {{"", "", "", "ja_JP.UTF-8"}, kJa},
      {{"", "", "", "en_US.UTF-8"}, kEn},
      {{"", "", "", "de_DE"}, kEn},  // another language: English
      {{"", "", "", "hi_IN.UTF-8"}, kEn},
      {{"", "", "", "EN"}, kEn},
      {{"", "", "", "japanese"}, kEn},                // no alias table: only codes count
      {{"", "en_US.UTF-8", "", "ja_JP.UTF-8"}, kEn},  // LC_ALL first
      {{"", "", "en_GB.UTF-8", "ja_JP.UTF-8"}, kEn},  // then LC_MESSAGES
      {{"", "ja_JP.UTF-8", "en_GB.UTF-8", "de_DE"}, kJa},
      {{"", "C", "", "en_US.UTF-8"}, kJa},
      {{"en", "", "", "ja_JP.UTF-8"}, kEn},  // LANGUAGE before the locale
      {{"ja:en", "", "", "en_US.UTF-8"}, kJa},
      {{"en:ja", "", "", "ja_JP.UTF-8"}, kEn},
      {{"de:ja", "", "", "de_DE.UTF-8"}, kJa},  // the first known one decides
      {{"de:fr", "", "", "ja_JP.UTF-8"}, kEn},
      {{"::en", "", "", "ja_JP.UTF-8"}, kEn},
      {{"en", "C", "", "ja_JP.UTF-8"}, kJa},  // gettext ignores LANGUAGE in C
      {{"en", "", "", ""}, kJa},
      {{"en", "C.UTF-8", "", ""}, kJa},
      {{"en", "", "POSIX", "de_DE"}, kJa},
      {{":", "", "", "en_US.UTF-8"}, kEn},  // an empty list: the locale decides
  };
  for (const auto& c : cases) {
    const auto& v = c.variables;
    SCOPED_TRACE(v.language + "|" + v.lcAll + "|" + v.lcMessages + "|" + v.lang);
    EXPECT_EQ(ChooseLanguage(platform::PreferredLanguages(v), ""), c.language);
  }
}

TEST(MessagesTest, TheSettingOverridesTheSystem) {
  struct Case {
    std::vector<std::string> system;
    std::string setting;
    Language language;
  } cases[] = {
      {{"ja-JP"}, "en", kEn},    {{"en-US"}, "ja", kJa},
      {{"hi-IN"}, "JA", kJa},    {{}, "En", kEn},
      {{"en-US"}, "", kEn},      {{"ja-JP"}, "", kJa},
      {{"hi-IN"}, "", kEn},      {{}, "", kJa},
      {{"ja-JP"}, "fr", kJa},    {{"en-US"}, "japanese", kEn},  // unknown values are ignored
      {{"ja-JP"}, "en-US", kJa}, {{"en-US"}, " ja", kEn},       // blanks are the reader's to trim
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.setting);
    EXPECT_EQ(ChooseLanguage(c.system, c.setting), c.language);
  }
}

TEST(MessagesTest, ArgumentsAreTakenAsTheyAre) {
  EXPECT_EQ(MessageText(kEn, Message::kNotFound, {"%1%2.dat"}), "%1%2.dat was not found");
  EXPECT_EQ(MessageText(kJa, Message::kNotAFolder, {"C:\\x"}),
            "正しいディレクトリ名では有りません。\r\nC:\\x");
  EXPECT_EQ(MessageText(kEn, Message::kNotFound), " was not found");
  // Every message has a text in both languages.
  for (int m = 0; m <= static_cast<int>(Message::kWebpExtensions); ++m) {
    for (Language language : {kJa, kEn}) {
      EXPECT_FALSE(MessageText(language, static_cast<Message>(m), {"a", "b"}).empty()) << m;
    }
  }
}

}  // namespace

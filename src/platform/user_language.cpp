#include "platform/user_language.h"

namespace platform {

bool IsPlainLocale(const std::string& name) {
  return name == "C" || name == "POSIX" || name.rfind("C.", 0) == 0 || name.rfind("C@", 0) == 0;
}

std::vector<std::string> PreferredLanguages(const LanguageVariables& variables) {
  std::string locale = !variables.lcAll.empty()        ? variables.lcAll
                       : !variables.lcMessages.empty() ? variables.lcMessages
                       : !variables.lang.empty()       ? variables.lang
                                                       : "C";
  // gettext ignores LANGUAGE in the C locale, where messages are untranslated.
  std::vector<std::string> names;
  if (!IsPlainLocale(locale)) {
    size_t start = 0;
    while (start <= variables.language.size()) {
      size_t colon = variables.language.find(':', start);
      if (colon == std::string::npos) colon = variables.language.size();
      if (colon > start) names.push_back(variables.language.substr(start, colon - start));
      start = colon + 1;
    }
  }
  if (names.empty()) names.push_back(locale);
  return names;
}

}  // namespace platform

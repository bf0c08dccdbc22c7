// Which languages a POSIX environment asks messages in, as gettext reads it:
// the locale of messages is the first non-empty one of LC_ALL, LC_MESSAGES
// and LANG; LANGUAGE, a colon-separated list of preferences, comes before it
// unless that locale is C or POSIX (C.UTF-8 counts as C). The POSIX port
// answers UserLanguages() with it. Portable code: no system call.
#pragma once

#include <string>
#include <vector>

namespace platform {

/// The values of the variables, empty for unset ones.
struct LanguageVariables {
  std::string language, lcAll, lcMessages, lang;
};

/// The language names asked for, most preferred first: LANGUAGE's non-empty
/// entries when it has any and the locale of messages is not C or POSIX, else
/// the locale of messages alone ("C" when none is set).
std::vector<std::string> PreferredLanguages(const LanguageVariables& variables);

/// True for a locale name that says no language: C, POSIX, or C.codeset.
bool IsPlainLocale(const std::string& name);

}  // namespace platform

// The texts the program shows a person, in Japanese (the program's own
// language, and the default) and in English, from one table; and the rule
// that picks the language of a run. No gettext: two languages fit a table.
#pragma once

#include <string>
#include <vector>

/// The languages of the messages.
enum class Language { kJapanese, kEnglish };

/// Every text shown to a person. "%1" and "%2" in a text stand for its
/// arguments.
enum class Message {
  kErrorCaption,         // caption of the run's error messages
  kLoadFailed,           // the template or the settings cannot be used
  kNotFoundCaption,      // caption of kNotFound
  kNotFound,             // %1: the template's name
  kNotAFolder,           // %1: the folder as given
  kNothingToList,        // the folder holds no picture to list
  kChooserTitle,         // title of the folder chooser
  kMakingThumbnails,     // title of the thumbnails' progress
  kUsage,                // %1: the option lines, %2: the settings folders, one a line
  kHelpOption,           // what the help option does
  kVersionOption,        // what the version option does
  kMissingDecoder,       // %1: how many pictures, %2: the extension that decodes them
  kHeifExtensions,       // the extensions that decode HEIF (HEIC) pictures
  kAvifExtension,        // the extension that decodes AVIF pictures
  kWebpExtensions,       // the extension that decodes WebP pictures
  kMissingVideoDecoder,  // %1: how many videos, %2: the extension that decodes them
  kHevcExtension,        // the extension that decodes HEVC (H.265) video
  kWebMediaExtensions,   // the extension that reads WebM clips (VP8, VP9)
};

/// The language of a run. A setting of "ja" or "en" (any letter case) decides;
/// any other setting is ignored. Otherwise the first of the system's language
/// names (platform::UserLanguages()) that is Japanese, English or says no
/// language (C, POSIX) decides: Japanese for Japanese and for no language,
/// English for English. Names of other languages are passed over, and when
/// nothing decides, English is shown when any other language was named, and
/// Japanese when none was (the system says nothing).
Language ChooseLanguage(const std::vector<std::string>& systemLanguages,
                        const std::string& setting);

/// Sets the language of MessageText for the rest of the process (Japanese
/// until then). Called once at start, on the main thread.
void UseLanguage(Language language);

/// The message in the language of the process, "%1" and "%2" replaced by the
/// arguments (taken as they are).
std::string MessageText(Message message, const std::vector<std::string>& arguments = {});

/// The message in the given language.
std::string MessageText(Language language, Message message,
                        const std::vector<std::string>& arguments = {});

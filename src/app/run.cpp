#include "app/run.h"

#include <exception>
#include <string>
#include <vector>

#include "app/folder_picker.h"
#include "collect/images.h"
#include "config/settings.h"
#include "config/settings_folder.h"
#include "config/template_file.h"
#include "page/page_builder.h"
#include "pagrimo_version.h"
#include "platform/platform.h"
#include "text/messages.h"

namespace {

// The folder text as the command line gives it: one pair of enclosing
// quotes removed (a quoted path can never name a folder), then one trailing dot.
std::string FolderFromCommandLine() {
  std::string folder = platform::ArgumentText();
  if (folder.size() >= 2 && folder.front() == '"' && folder.back() == '"') {
    folder = folder.substr(1, folder.size() - 2);
  }
  if (!folder.empty() && folder.back() == '.') folder.pop_back();
  return folder;
}

bool FolderExists(const std::string& folder) {
  platform::Enumeration probe;
  platform::DirEntry entry;
  return platform::StartEnumeration(probe, folder, platform::Listing::kFilesAndFolders, entry);
}

// The usage: the options of this system and the folders its settings may
// come from.
std::string UsageText() {
  std::string options;
  options += std::string(platform::kSlashOptions ? "  /?, -h, --help  " : "  -h, --help     ") +
             MessageText(Message::kHelpOption) + "\n";
  options += std::string(platform::kSlashOptions ? "  -V, --version   " : "  -V, --version  ") +
             MessageText(Message::kVersionOption) + "\n";
  std::string folders;
  for (const std::string& folder : platform::SettingsFolderCandidates()) {
    folders += "  " + folder + "\n";
  }
  return MessageText(Message::kUsage, {options, folders});
}

// Answers an argument text that asks for the usage or the version; false for
// any other, which names the folder to index. A folder of that name is
// indexed as it always was.
bool AnswerOption(const std::string& argument, int& status) {
  bool help =
      argument == "--help" || argument == "-h" || (platform::kSlashOptions && argument == "/?");
  bool version = argument == "--version" || argument == "-V";
  if (!help && !version) return false;
  if (platform::KindOfPath(argument).kind == platform::EntryKind::kFolder) return false;
  std::string text = help ? UsageText() : std::string("pagrimo ") + PAGRIMO_VERSION_TEXT + "\n";
  status = platform::ShowAnswer(text, "pagrimo") ? kExitDone : kExitFailure;
  return true;
}

int Run() {
  // The language is settled first, from the settings file where there is
  // one, so that every message follows it, also the one for missing settings.
  std::string settingsFolder = SettingsFolder();
  UseLanguage(ChooseLanguage(platform::UserLanguages(), ReadLanguageSetting(settingsFolder)));
  int status = kExitDone;
  if (AnswerOption(platform::ArgumentText(), status)) return status;

  std::string errorCaption = MessageText(Message::kErrorCaption);
  TemplateSet set;
  TemplateLoad load = LoadTemplateSet(set);
  if (load.status != TemplateLoad::Status::kLoaded) {
    if (load.status == TemplateLoad::Status::kNotFound) {
      platform::ShowMessage(MessageText(Message::kNotFound, {load.name}),
                            platform::MessageKind::kInformation,
                            MessageText(Message::kNotFoundCaption));
    }
    platform::ShowMessage(MessageText(Message::kLoadFailed), platform::MessageKind::kInformation,
                          errorCaption);
    return kExitMessage;
  }
  std::string folder = FolderFromCommandLine();
  if (folder.empty()) {
    folder = BrowseForFolder(MessageText(Message::kChooserTitle));
    if (folder.empty()) return kExitDone;
  }
  if (!FolderExists(folder)) {
    platform::ShowMessage(MessageText(Message::kNotAFolder, {folder}),
                          platform::MessageKind::kWarning, errorCaption);
    return kExitMessage;
  }
  // The check follows the pages' rule: listing mode 2 gives a linked folder
  // no page, so pictures found only through links leave nothing to write.
  LinkRule links = set.listingMode == 2 ? LinkRule::kNever : LinkRule::kEnterOnce;
  if (!HasAnyImage(folder, set.listingMode != 0, links, ListedTypes(set))) {
    platform::ShowMessage(MessageText(Message::kNothingToList), platform::MessageKind::kWarning,
                          errorCaption);
    return kExitMessage;
  }
  std::string pageFileName, failure;
  std::vector<std::string> notices;
  bool cancelled = false;
  bool built = BuildPage(set, folder, PagePlace::kTop, pageFileName, failure, notices, cancelled);
  if (cancelled) return kExitDone;  // the user stopped the thumbnails: quietly
  if (!notices.empty()) platform::ReportNotices(notices);
  if (!built) {
    platform::ReportFailure(failure);
    return kExitFailure;
  }
  return kExitDone;
}

}  // namespace

int Main() {
  try {
    return Run();
  } catch (const std::exception& error) {
    platform::ReportFailure(error.what());
  } catch (...) {
    platform::ReportFailure("unexpected failure");
  }
  return kExitFailure;
}

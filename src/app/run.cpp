#include "app/run.h"

#include <exception>
#include <string>
#include <vector>

#include "app/folder_picker.h"
#include "collect/images.h"
#include "config/template_file.h"
#include "page/page_builder.h"
#include "platform/platform.h"

namespace {

const char kErrorCaption[] = "エラー";
const char kLoadFailed[] = "template.datが正しく読みこめません";
const char kNotAFolder[] = "正しいディレクトリ名では有りません。\r\n";
const char kNothingToList[] = "対象となるファイルがありません";
const char kChooserTitle[] = "対象フォルダの選択";

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
  return platform::StartEnumeration(probe, folder, platform::kFolderAttribute, entry);
}

int Run() {
  TemplateSet set;
  if (!LoadTemplateSet(set)) {
    platform::ShowMessage(kLoadFailed, 0, kErrorCaption);
    return kExitMessage;
  }
  std::string folder = FolderFromCommandLine();
  if (folder.empty()) {
    folder = BrowseForFolder(kChooserTitle);
    if (folder.empty()) return kExitDone;
  }
  if (!FolderExists(folder)) {
    platform::ShowMessage(kNotAFolder + folder, 48, kErrorCaption);
    return kExitMessage;
  }
  // The check follows the pages' rule: listing mode 2 gives a linked folder
  // no page, so pictures found only through links leave nothing to write.
  if (!HasAnyImage(folder, set.listingMode != 0, set.listingMode != 2)) {
    platform::ShowMessage(kNothingToList, 48, kErrorCaption);
    return kExitMessage;
  }
  std::string pageFileName, failure;
  std::vector<std::string> notices;
  bool cancelled = false;
  bool built = BuildPage(set, folder, true, pageFileName, failure, notices, cancelled);
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

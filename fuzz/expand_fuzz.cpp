// Feeds arbitrary bytes to placeholder expansion: ReplaceText on its own and
// the three expansion tables. The input is split at NUL bytes into the section
// text and the values that the program would insert (folder path, names, link,
// lists), so the values themselves may hold placeholders.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "page/expansion.h"
#include "text/forms.h"
#include "text/replace.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

// Occurrences of find in source as ReplaceText counts them: left to right,
// never overlapping.
size_t CountOccurrences(const std::string& source, const std::string& find) {
  size_t count = 0;
  for (size_t at = source.find(find); at != std::string::npos;
       at = source.find(find, at + find.size())) {
    ++count;
  }
  return count;
}

void Exercise(const std::string& text, const std::string& folderPath, const std::string& name,
              const std::string& link, const std::string& dirList, const std::string& fileList) {
  // ReplaceText: the size follows from the number of occurrences, and a
  // replacement that holds find is inserted once per occurrence only.
  const std::string& find = name;
  std::string replaced = ReplaceText(text, find, link);
  if (find.empty()) {
    Require(replaced == text);
  } else {
    size_t count = CountOccurrences(text, find);
    Require(replaced.size() == text.size() + count * link.size() - count * find.size());
  }
  Require(DoubleBackslashes(text).size() == text.size() + CountOccurrences(text, "\\"));

  ExpandFolderItem(text, folderPath, name, link);
  std::string item, failure;
  // Size and date are read from the file system only for names that exist;
  // the fuzzer's names almost never do, which exercises the failure path.
  ExpandFileItem(text, folderPath, name, 1, 2, item, failure);
  ExpandFileItem(text, folderPath, name, INT32_MAX, INT32_MIN, item, failure);
  ExpandPage(text, folderPath, 0, -1, dirList, fileList, link);
  FolderDisplayName(folderPath);
  UrlForm(text);
  HtmlForm(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> fields;
  size_t start = 0;
  for (size_t zero = input.find('\0'); fields.size() < 6 && zero != std::string::npos;
       zero = input.find('\0', start)) {
    fields.push_back(input.substr(start, zero - start));
    start = zero + 1;
  }
  fields.push_back(input.substr(start));
  fields.resize(7);
  const std::string& text = fields[0];
  const std::string& folderPath = fields[1];
  const std::string& name = fields[2];
  const std::string& link = fields[3];
  const std::string& dirList = fields[4];
  const std::string& fileList = fields[5];

  // Values are expanded again by later steps, so long inputs may multiply
  // past the growth budget; the expansion then gives nothing, by design.
  Exercise(text, folderPath, name, link, dirList, fileList);
  return 0;
}

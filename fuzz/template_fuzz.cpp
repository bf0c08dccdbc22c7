// Feeds arbitrary bytes to the template reader and checks what it promises:
// every section it fills ends in CR LF, and a line never holds a line end.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "config/template_file.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

bool EndsInCrLf(const std::string& text) {
  return text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  TemplateSet set;
  if (ParseTemplate(text, set)) {
    Require(EndsInCrLf(set.pageText));
    Require(EndsInCrLf(set.folderItemText));
    Require(EndsInCrLf(set.fileItemText));
  }
  // The line reader on its own: it always moves forward and never returns a
  // line end inside a line.
  TemplateReader reader{&text, 0};
  std::string line;
  size_t before = reader.pos;
  while (ReadLine(reader, line)) {
    Require(reader.pos > before && reader.pos <= text.size());
    Require(line.find_first_of("\r\n") == std::string::npos);
    before = reader.pos;
  }
  TemplateReader sections{&text, 0};
  std::string section;
  while (ReadSection(sections, section)) Require(EndsInCrLf(section));
  return 0;
}

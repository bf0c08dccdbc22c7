// Expansion stays within its size limit, however its values multiply.
#include <gtest/gtest.h>

#include <stdexcept>

#include "page/page_builder.h"
#include "text/replace.h"

namespace {

TEST(ExpansionLimitTest, ReplaceTextThrowsBeyondTheLimit) {
  std::string big(kMaxTextBytes / 4, 'x');
  struct Case {
    std::string source;
    bool fits;
  } cases[] = {
      {"[a][a][a][a]b", true},  // the limit exactly, then the tail
      {"[a][a][a][a][a]", false},
  };
  for (const auto& c : cases) {
    if (c.fits) {
      EXPECT_EQ(ReplaceText(c.source, "[a]", big).size(),
                c.source.size() / 3 * big.size() + c.source.size() % 3)
          << c.source;
    } else {
      EXPECT_THROW(ReplaceText(c.source, "[a]", big), std::length_error) << c.source;
    }
  }
}

TEST(ExpansionLimitTest, APageOfMultipliedValuesThrows) {
  std::string path = "/" + std::string(100, 'p');
  for (int i = 0; i < 30; ++i) path += "[filelist]";
  std::string text;
  for (int i = 0; i < 30; ++i) text += "[path]";
  // 900 copies of a file list of 1 MiB.
  EXPECT_THROW(ExpandPage(text, path + "/", 1, 0, "", std::string(1 << 20, 'f')),
               std::length_error);
}

}  // namespace

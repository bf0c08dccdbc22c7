// Expansion bounds what placeholders inside names add to a page, however
// they multiply, but never the page's real content; past the bound it gives
// nothing.
#include <gtest/gtest.h>

#include "page/expansion.h"
#include "text/replace.h"

namespace {

TEST(ExpansionLimitTest, OnlyWhatNamesAddIsBounded) {
  // 1,000 bytes of budget stand for a page's 256 MiB.
  const std::string list(1000, 'f');
  struct Case {
    const char* what;
    std::string text;
    std::string path;
    size_t budget;
    size_t size;  // 0: nothing
  } cases[] = {
      {"the template's own lists, many times", "[filelist][filelist][filelist]", "/p/", 10, 3000},
      {"a path holding the list once", "[path]", "/[filelist]/", 1000, 1002},
      {"... over a smaller budget", "[path]", "/[filelist]/", 999, 0},
      {"the list in the template and in the path", "[filelist][path]", "/[filelist]/", 1000, 2002},
      {"a path that multiplies", "[path][path]", "/[filelist][filelist]/", 3999, 0},
      {"a path that multiplies, within the budget", "[path][path]", "/[filelist][filelist]/", 4000,
       4004},
      {"a placeholder completed by the path's edge", "[file[path]", "list]/", 0, 1001},
  };
  for (const auto& c : cases) {
    size_t budget = c.budget;
    std::optional<std::string> page = ExpandPage(c.text, c.path, 1, 0, "", list, "", &budget);
    if (c.size == 0) {
      EXPECT_FALSE(page.has_value()) << c.what;
    } else {
      ASSERT_TRUE(page.has_value()) << c.what;
      EXPECT_EQ(page->size(), c.size) << c.what;
    }
  }
}

TEST(ExpansionLimitTest, ThePageSharesOneBudgetAmongItsItems) {
  // Each item's name brings the 500-byte path twice: 1,000 bytes of growth.
  std::string path = "/" + std::string(498, 'p') + "/", item, failure;
  size_t budget = 2500;
  for (int id = 1; id <= 2; ++id) {
    ASSERT_EQ(ExpandFileItem("[filename]", path, "[path\\][path\\]", id, 3, item, failure, &budget),
              ItemResult::kDone);
    EXPECT_EQ(item.size(), 1000u);
  }
  EXPECT_EQ(budget, 500u);
  EXPECT_EQ(ExpandFileItem("[filename]", path, "[path\\][path\\]", 3, 3, item, failure, &budget),
            ItemResult::kTooLarge);
  // The folder items draw on the same budget.
  EXPECT_FALSE(ExpandFolderItem("[reldir]", path, "[dir][dir]", "x", &budget).has_value());
}

TEST(ExpansionLimitTest, APageOfMultipliedValuesGivesNothing) {
  std::string path = "/" + std::string(100, 'p');
  for (int i = 0; i < 30; ++i) path += "[filelist]";
  std::string text;
  for (int i = 0; i < 30; ++i) text += "[path]";
  // 900 copies of a file list of 1 MiB.
  EXPECT_FALSE(ExpandPage(text, path + "/", 1, 0, "", std::string(1 << 20, 'f')).has_value());
}

}  // namespace

#include "text/natural_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace {

// Each row lists names in ascending natural order, each strictly after the
// one before; a row of two with equal set holds names that compare equal.
struct Row {
  const char* what;
  std::vector<std::string> names;
  bool equal = false;
};

const std::vector<Row>& Table() {
  static const std::vector<Row> rows = {
      {"numbers of different length", {"1", "2", "9", "10", "11", "99", "100", "1000", "10000"}},
      {"leading zeros", {"0", "00", "000", "1", "01", "001", "2", "02", "3", "10", "010"}},
      {"number at the start", {"1 apple.jpg", "2 apple.jpg", "10 apple.jpg", "apple.jpg"}},
      {"number in the middle",
       {"Day 1 beach.jpg", "Day 9 beach.jpg", "Day 10 beach.jpg", "Day 10 sea.jpg"}},
      {"number at the end", {"photo", "photo0", "photo9", "photo10", "photo100"}},
      {"several numbers",
       {"2020-1-5.jpg", "2020-1-10.jpg", "2020-2-1.jpg", "2020-10-1.jpg", "2021-1-1.jpg"}},
      {"digits next to letters and dots",
       {"v1.9.jpg", "v1.10.jpg", "v1.11.jpg", "v2.0.jpg", "v10.0.jpg", "x1y", "x2y", "x10y"}},
      {"camera names",
       {"IMG_0009.JPG", "IMG_0010.JPG", "IMG_0099.JPG", "IMG_0100.JPG", "IMG_1000.JPG"}},
      {"full-width digits",
       {"写真1.jpg", "写真２.jpg", "写真3.jpg", "写真１0.jpg", "写真１１.jpg", "写真12.jpg"}},
      {"full-width leading zeros", {"ｐ２", "ｐ０２", "ｐ10"}},
      {"beyond 64 bits",
       {"a18446744073709551615", "a18446744073709551616", "a18446744073709551617",
        "a99999999999999999999", "a100000000000000000000", "a0100000000000000000000",
        "a100000000000000000001", "a" + std::string(300, '9'), "a1" + std::string(300, '0'), "b"}},
      {"mixed case", {"IMG_2.jpg", "img_10.JPG", "Img_11.jpg", "IMG_12.JPG"}},
      {"Japanese names", {"旅行 第3日.jpg", "旅行 第12日.jpg", "旅行 第100日.jpg"}},
      {"Japanese and full-width", {"ファイル９", "ファイル１０", "ファイル11"}},
      {"a name before its longer form", {"a", "a1", "a1b", "a2"}},
      {"equal ignoring case", {"IMG_2.jpg", "img_2.JPG"}, true},
      {"equal full-width and ASCII digits", {"x２", "x2"}, true},
      {"equal mixed digits", {"０1", "0１"}, true},
  };
  return rows;
}

int Sign(int value) { return (value > 0) - (value < 0); }

void CheckTable() {
  for (const Row& row : Table()) {
    SCOPED_TRACE(row.what);
    for (size_t i = 0; i < row.names.size(); ++i) {
      for (size_t j = 0; j < row.names.size(); ++j) {
        int expected = row.equal ? 0 : Sign(static_cast<int>(i) - static_cast<int>(j));
        EXPECT_EQ(CompareNatural(row.names[i], row.names[j]), expected)
            << row.names[i] << " / " << row.names[j];
      }
    }
    // The reversed row sorts back into place (equal names keep their order),
    // entries outside the range untouched.
    std::vector<std::string> list = {"zz"};
    list.insert(list.end(), row.names.rbegin(), row.names.rend());
    list.push_back("00");
    SortNatural(list, 1, static_cast<int>(row.names.size()));
    std::vector<std::string> expected = {"zz"};
    if (row.equal) {
      expected.insert(expected.end(), row.names.rbegin(), row.names.rend());
    } else {
      expected.insert(expected.end(), row.names.begin(), row.names.end());
    }
    expected.push_back("00");
    EXPECT_EQ(list, expected);
  }
  // Without digits, natural order is the name order.
  const char* plain[] = {"apple", "Banana", "cherry", "写真", "ファイル", "a.b", "a_b", "A", "a"};
  for (const char* a : plain) {
    for (const char* b : plain) {
      int name = Sign(platform::CollationKey(a).compare(platform::CollationKey(b)));
      EXPECT_EQ(CompareNatural(a, b), name) << a << " / " << b;
    }
  }
}

TEST(NaturalOrder, Table) { CheckTable(); }

#ifndef _WIN32
// The same table in the user locales the program meets (where installed):
// only the collation of the text between numbers comes from the locale.
TEST(NaturalOrder, TableInOtherLocales) {
  for (const char* locale : {"C.UTF-8", "ja_JP.UTF-8", "hi_IN.UTF-8", "en_US.UTF-8"}) {
    const char* old = std::getenv("LC_ALL");
    std::string saved = old ? old : "";
    setenv("LC_ALL", locale, 1);
    char program[] = "pagrimo";
    char* argv[] = {program, nullptr};
    platform::StartProcess(1, argv);
    SCOPED_TRACE(locale);
    CheckTable();
    if (old)
      setenv("LC_ALL", saved.c_str(), 1);
    else
      unsetenv("LC_ALL");
    platform::StartProcess(1, argv);
  }
}
#endif

TEST(NaturalOrder, EmptyAndOutOfRange) {
  EXPECT_EQ(CompareNatural("", ""), 0);
  EXPECT_EQ(CompareNatural("", "0"), -1);
  std::vector<std::string> list = {"b", "a"};
  SortNatural(list, 0, 2);
  SortNatural(list, -1, 1);
  SortNatural(list, 1, 0);
  EXPECT_EQ(list, (std::vector<std::string>{"b", "a"}));
  SortNatural(list, 0, 1);
  EXPECT_EQ(list, (std::vector<std::string>{"a", "b"}));
}

}  // namespace

#include "collect/taken_order.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/pictures.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using namespace testing_support;

TEST(TakenOrder, ExifDateElseFileDateThenNaturalOrder) {
  TempFolder f;
  const std::int64_t k1995 = 804254400, k1998 = 897912000, k2003 = 1055678400, k2010 = 1276603200;
  struct Picture {
    const char* name;
    std::string bytes;
    std::int64_t modified;
  };
  const Picture pictures[] = {
      {"b.jpg", JpegTaken("2005:01:01 00:00:00", true), k1995},
      {"a10.jpg", JpegTaken("2000:01:01 10:00:00"), k2010},
      {"a9.jpg", JpegTaken("2000:01:01 10:00:00", true), k1998},
      {"c.jpg", PlainJpeg(), k1998},
      {"d.png", ReadFile(PathOf(std::string(PAGRIMO_SOURCE_DIR) + "/tests/pictures/rgb.png")),
       k1995},
      {"e.jpg", "not a picture", k2003},
      {"f.jpg", JpegTaken("0000:00:00 00:00:00"), k2010},
  };
  NameList names;
  for (const Picture& p : pictures) {
    WriteFile(f.path / p.name, p.bytes);
    SetModified(f.path / p.name, p.modified);
    names.push_back(p.name);
  }
  EXPECT_EQ(TakenTime(f.Text() + kSep + "b.jpg"), (CivilTime{2005, 1, 1, 0, 0, 0}));
  CivilTime fileDate = TakenTime(f.Text() + kSep + "c.jpg");
  EXPECT_EQ(fileDate.year, 1998);
  EXPECT_EQ(fileDate.month, 6);
  EXPECT_EQ(TakenTime(f.Text() + kSep + "missing.jpg"), CivilTime());

  const NameList oldestFirst{"d.png", "c.jpg", "a9.jpg", "a10.jpg", "e.jpg", "b.jpg", "f.jpg"};
  SortByTaken(f.Text() + kSep, names, 0, names.size(), false);
  EXPECT_EQ(names, oldestFirst);
  SortByTaken(f.Text() + kSep, names, 0, names.size(), true);
  NameList newestFirst(oldestFirst.rbegin(), oldestFirst.rend());
  EXPECT_EQ(names, newestFirst);
}

// Pictures a second apart (and across each unit's boundary), named against
// their times: every unit of the time, the second included, orders them.
TEST(TakenOrder, TimesASecondApartOrderAgainstTheirNames) {
  TempFolder f;
  const char* const times[] = {"2019:12:31 23:59:58", "2019:12:31 23:59:59", "2020:01:01 00:00:00",
                               "2020:01:01 00:00:01", "2020:01:01 00:01:00", "2020:01:01 01:00:00",
                               "2020:01:02 00:00:00", "2020:02:01 00:00:00"};
  NameList names, oldestFirst;
  for (size_t i = 0; i < std::size(times); ++i) {
    std::string name = std::string(1, static_cast<char>('z' - i)) + ".jpg";
    WriteFile(f.path / name, JpegTaken(times[i], i % 2 == 0));
    oldestFirst.push_back(name);
    names.insert(names.begin(), name);
  }
  SortByTaken(f.Text() + kSep, names, 0, names.size(), false);
  EXPECT_EQ(names, oldestFirst);
}

}  // namespace

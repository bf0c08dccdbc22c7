#include "collect/photo_dates.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "collect/picture_facts.h"
#include "support/pictures.h"
#include "support/test_support.h"

namespace {

TEST(PhotoDates, XmpDateForms) {
  const std::pair<const char*, const char*> cases[] = {
      {"2021-07-04T10:20:30", "2021:07:04 10:20:30"},
      {"2021-07-04T10:20:30+02:00", "2021:07:04 10:20:30"},  // the zone is not applied
      {"2021-07-04T23:20:30-11:30", "2021:07:04 23:20:30"},
      {"2021-07-04T10:20:30.123Z", "2021:07:04 10:20:30"},
      {" 2021-07-04T10:20 ", "2021:07:04 10:20:00"},
      {"2021-07-04", "2021:07:04 00:00:00"},
      {"2024-02-29T00:00:00", "2024:02:29 00:00:00"},
      {"2021-07", ""},
      {"2021", ""},
      {"2023-02-29", ""},
      {"2021-07-04 10:20:30", ""},
      {"2021-07-04T10", ""},
      {"2021-07-04T10:20:30+0200", ""},
      {"2021:07:04 10:20:30", ""},
      {"", ""},
  };
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(text);
    CivilTime time;
    bool valid = ParseXmpDate(text, time);
    EXPECT_EQ(valid ? ExifDateText(time) : "", expected);
  }
}

TEST(PhotoDates, XmpPacketsAndTheOrderOfSources) {
  auto best = [](const std::string& xml) {
    PhotoDates dates;
    ReadXmpDates(xml, dates);
    CivilTime time;
    return BestDate(dates, time) ? ExifDateText(time) : "";
  };
  // Attributes and elements, other prefixes, a property whose value is no date.
  EXPECT_EQ(best("<rdf:Description xmp:CreateDate='2001-01-01' "
                 "exif:DateTimeOriginal=\"2003-03-03T03:03:03\"/>"),
            "2003:03:03 03:03:03");
  EXPECT_EQ(best("<rdf:Description xmlns:p='http://ns.adobe.com/photoshop/1.0/'>"
                 "<xmp:CreateDate>2001-01-01T01:01</xmp:CreateDate>"
                 "<p:DateCreated>\n 2002-02-02 </p:DateCreated><photoshop:DateCreated>"
                 "2009-09-09</photoshop:DateCreated></rdf:Description>"),
            "2002:02:02 00:00:00");
  EXPECT_EQ(best("<x exif:DateTimeOriginal='soon' exif:DateTimeOriginalX='2004-04-04' "
                 "xmp:CreateDate = \"2005-05-05T05:05:05Z\"/>"),
            "2005:05:05 05:05:05");
  EXPECT_EQ(best("<x exif:DateTimeOriginal='2004-04-04"), "");
  PhotoDates dates;
  NoteDate(dates, DateSource::kExifDateTime, {2000, 1, 1, 0, 0, 0});
  NoteDate(dates, DateSource::kIptc, {2001, 1, 1, 0, 0, 0});
  NoteDate(dates, DateSource::kIptc, {2002, 1, 1, 0, 0, 0});  // the first of a source stays
  CivilTime time;
  ASSERT_TRUE(BestDate(dates, time));
  EXPECT_EQ(time, (CivilTime{2001, 1, 1, 0, 0, 0}));
}

// JPEGs edited the way photo editors leave them: the EXIF DateTime of the
// edit, the date taken in XMP or IPTC (written by exiftool).
TEST(PhotoDates, JpegDatesFromEverySource) {
  testing_support::TempFolder temp;
  const std::string edit = "-EXIF:ModifyDate=2022:02:02 02:02:02";
  struct Case {
    std::vector<std::string> tags;
    std::string taken;
  };
  const Case cases[] = {
      {{edit}, "2022:02:02 02:02:02"},
      {{edit, "-IPTC:DateCreated=2018:08:08", "-IPTC:TimeCreated=18:08:08+05:00"},
       "2018:08:08 18:08:08"},
      {{edit, "-IPTC:DateCreated=2018:08:08"}, "2018:08:08 00:00:00"},
      {{edit, "-IPTC:DateCreated=2018:08:08", "-XMP-xmp:CreateDate=2017-07-07T07:07:07"},
       "2017:07:07 07:07:07"},
      {{edit, "-XMP-xmp:CreateDate=2017-07-07T07:07:07",
        "-XMP-photoshop:DateCreated=2016-06-06T06:06:06"},
       "2016:06:06 06:06:06"},
      {{edit, "-XMP-photoshop:DateCreated=2016-06-06T06:06:06",
        "-XMP-exif:DateTimeOriginal=2015-05-05T05:05:05-03:00"},
       "2015:05:05 05:05:05"},
      {{edit, "-XMP-exif:DateTimeOriginal=2015-05-05T05:05:05",
        "-EXIF:DateTimeOriginal=2014:04:04 04:04:04"},
       "2014:04:04 04:04:04"},
  };
  int n = 0;
  for (const Case& c : cases) {
    std::string path = temp.Text() + "/p" + std::to_string(++n) + ".jpg";
    SCOPED_TRACE(path);
    testing_support::WriteFile(testing_support::PathOf(path), testing_support::PlainJpeg());
    std::vector<std::string> args = {"-q", "-overwrite_original"};
    args.insert(args.end(), c.tags.begin(), c.tags.end());
    args.push_back(path);
    if (!testing_support::RunTool("exiftool", args)) GTEST_SKIP() << "needs /usr/bin/exiftool";
    PictureFacts facts;
    std::string reason;
    ASSERT_TRUE(ReadPictureFacts(path, facts, reason)) << reason;
    EXPECT_EQ(facts.taken, c.taken);
  }
}

}  // namespace

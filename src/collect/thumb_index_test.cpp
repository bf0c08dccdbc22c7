#include "collect/thumb_index.h"

#include <gtest/gtest.h>

namespace {

TEST(ThumbIndexTest, EveryRecordSurvivesItsText) {
  PictureIndex index;
  PictureRecord jpeg{5 << 20, 1700000000, 400, 'j', 400, 300, 4000, 3000, "2021:06:15 14:30:05"};
  PictureRecord bad{17, -5, 400, 'b', 0, 0, -1, -1, ""};
  PictureRecord facts{1, 0, 0, '-', 0, 0, 12, 8, "odd\tdate%"};
  PictureRecord preview{9, 1, 400, 'p', 400, 200, 6000, 3000, "", 2048, 'p', 2048, 1024};
  PictureRecord own{9, 1, 400, 'j', 400, 300, 800, 600, "", 2048, 'o', 800, 600};
  PictureRecord clip = preview;
  clip.video = true, clip.durationMs = 3723004;
  PictureRecord posterless{7, 2, 400, 'b', 0, 0, -1, -1, ""};
  posterless.video = true;
  PictureRecord captioned = jpeg, captionedClip = clip;
  captioned.caption = "50% off\tat Caf\xC3\xA9", captionedClip.caption = "Ferry";
  index["cap.jpg"] = captioned;
  index["cap.mp4"] = captionedClip;
  index["clip.mp4"] = clip;
  index["bad.mov"] = posterless;
  index["p.png"] = preview;
  index["own.jpg"] = own;
  index["a.jpg"] = jpeg;
  index["tab\there\nnew%20line.png"] = bad;
  index["写真 [1].gif"] = facts;
  std::string text = FormatPictureIndex(index);
  EXPECT_EQ(ParsePictureIndex(text), index);
  EXPECT_EQ(FormatPictureIndex(ParsePictureIndex(text)), text);
  // One line per record after the first; the odd bytes are escaped.
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 11);
  EXPECT_EQ(text.substr(0, 30), "pagrimo thumbnails 1\ncaptions\n");
  // An index of a version older than captions: only a record with a caption
  // (or a video's) is known to have looked for one.
  std::string older = text;
  older.erase(21, 9);
  PictureIndex read = ParsePictureIndex(older);
  for (const auto& [name, record] : read) {
    EXPECT_EQ(record.captionKnown, !record.caption.empty() || record.video) << name;
  }
  // Kept by a run that wanted no captions, such records are still unknown.
  EXPECT_EQ(FormatPictureIndex(read), older);
  // A caption comes last, escaped, after the preview fields (none here).
  EXPECT_NE(text.find("\ncap.jpg\t5242880\t1700000000\t400\tj\t400\t300\t4000\t3000\t"
                      "2021:06:15 14:30:05\t0\t-\t0\t0\tc50%25 off%09at Caf\xC3\xA9\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("\tv3723004\tcFerry\n"), std::string::npos) << text;
  // A video's record has the preview fields always, then its length.
  EXPECT_NE(text.find("\nbad.mov\t7\t2\t400\tb\t0\t0\t-1\t-1\t\t0\t-\t0\t0\tv0\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("tab%09here%0Anew%2520line.png\t"), std::string::npos) << text;
  // Records without a preview keep the ten fields they always had.
  EXPECT_NE(text.find("\na.jpg\t5242880\t1700000000\t400\tj\t400\t300\t4000\t3000\t"
                      "2021:06:15 14:30:05\n"),
            std::string::npos)
      << text;
  // With one, the four preview fields follow.
  EXPECT_NE(text.find("\nown.jpg\t9\t1\t400\tj\t400\t300\t800\t600\t\t2048\to\t800\t600\n"),
            std::string::npos)
      << text;
}

TEST(ThumbIndexTest, LinesThatCannotBeReadAreLeftOut) {
  std::string good = "a.jpg\t10\t20\t400\tj\t40\t30\t64\t48\t\n";
  const char* const broken[] = {
      "b.jpg\t10\t20\t400\tj\t40\t30\t64\t48\n",                     // a field short
      "c.jpg\t10\t20\t400\tx\t40\t30\t64\t48\t\n",                   // unknown kind
      "d.jpg\tten\t20\t400\tj\t40\t30\t64\t48\t\n",                  // not a number
      "e%4.jpg\t10\t20\t400\tj\t40\t30\t64\t48\t\n",                 // broken escape
      "f.jpg\t10\t20\t400\tj\t40\t30\t-2\t48\t\n",                   // below -1
      "\t10\t20\t400\tj\t40\t30\t64\t48\t\n",                        // no name
      "g.jpg\t99999999999999999999\t20\t400\tj\t1\t1\t1\t1\t\n",     // too large
      "h.jpg\t10\t20\t400\tj\t40\t30\t64\t48\t\t2048\tj\t64\n",      // a preview field short
      "i.jpg\t10\t20\t400\tj\t40\t30\t64\t48\t\t2048\t-\t64\t48\n",  // a preview of no kind
      "k.jpg\t10\t20\t400\tj\t40\t30\t64\t48\t\t0\tj\t64\t48\n",     // made for no size
      "l.jpg\t10\t20\t400\tj\t40\t30\t64\t48\t\t2048\tj\t-1\t48\n",  // a negative side
      "m.mp4\t10\t20\t400\tj\t40\t30\t64\t48\t\t0\t-\t0\t0\tv-1\n",  // a negative length
      "n.mp4\t10\t20\t400\tj\t40\t30\t64\t48\t\t0\t-\t0\t0\tx1\n",   // an unknown tag
      "o.mp4\t10\t20\t400\tj\t40\t30\t64\t48\t\t0\t-\t0\t0\tv1\tv2\n",
      "p.jpg\t10\t20\t400\tj\t40\t30\t64\t48\t\t0\t-\t0\t0\tca\tcb\n",  // a caption twice
      "q.jpg\t10\t20\t400\tj\t40\t30\t64\t48\t\t0\t-\t0\t0\tc\n",       // an empty one
      "r.jpg\t10\t20\t400\tj\t40\t30\t64\t48\t\t0\t-\t0\t0\tc%4\n",     // broken escape
  };
  std::string text = "pagrimo thumbnails 1\n" + good;
  for (const char* line : broken) text += line;
  PictureIndex index = ParsePictureIndex(text);
  ASSERT_EQ(index.size(), 1u);
  EXPECT_EQ(index["a.jpg"].width, 64);
  // Another format, or none, gives nothing.
  EXPECT_TRUE(ParsePictureIndex("pagrimo thumbnails 2\n" + good).empty());
  EXPECT_TRUE(ParsePictureIndex(good).empty());
}

// Each number field at its bounds: the last value kept and the first refused.
TEST(ThumbIndexTest, NumberFieldsAtTheirBounds) {
  const std::string big = "2147483647", over = "2147483648";
  struct Case {
    std::string fields;  // size to height
    bool kept;
  } cases[] = {
      {"0\t0\t0\t-\t0\t0\t-1\t-1", true},
      {"5000000000\t-1700000000\t" + big + "\tj\t" + big + "\t" + big + "\t" + big + "\t" + big,
       true},
      {"-1\t0\t0\t-\t0\t0\t1\t1", false},
      {"0\t0\t-1\t-\t0\t0\t1\t1", false},
      {"0\t0\t" + over + "\tj\t1\t1\t1\t1", false},
      {"0\t0\t1\tj\t" + over + "\t1\t1\t1", false},
      {"0\t0\t1\tj\t1\t-1\t1\t1", false},
      {"0\t0\t1\tj\t1\t1\t" + over + "\t1", false},
      {"0\t0\t1\tj\t1\t1\t1\t" + over, false},
      {"0\t0\t1\tj\t1\t1\t1\t-2", false},
  };
  for (const Case& c : cases) {
    PictureIndex index = ParsePictureIndex("pagrimo thumbnails 1\na.jpg\t" + c.fields + "\t\n");
    EXPECT_EQ(index.size(), c.kept ? 1u : 0u) << c.fields;
  }
}

TEST(ThumbIndexTest, OnlyTheThumbnailFolderIsTakenForIt) {
  EXPECT_TRUE(IsThumbnailFolderName(".thumbs"));
  EXPECT_TRUE(IsThumbnailFolderName(".Thumbs"));
  EXPECT_FALSE(IsThumbnailFolderName("thumbs"));
  EXPECT_FALSE(IsThumbnailFolderName(".thumbs2"));
  EXPECT_EQ(ThumbnailFileName("a.png", 'p'), "a.png.png");
  EXPECT_EQ(ThumbnailFileName("a.png", 'j'), "a.png.jpg");
  EXPECT_EQ(PreviewFileName("a.bmp", 'j'), "a.bmp.preview.jpg");
  EXPECT_EQ(PreviewFileName("a.bmp", 'p'), "a.bmp.preview.png");
}

}  // namespace

#include "collect/captions.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using Case = std::pair<std::string, std::string>;

TEST(CaptionTextTest, OneLineOfValidText) {
  const Case cases[] = {
      {"  Sunset\tover\r\n\r\nthe  bay ", "Sunset over the bay"},
      {"a\x01\x1B\x7F"
       "b\xC2\x9F"
       "c",
       "abc"},                               // C0, DEL and C1 controls
      {"x\xC2\x85y\xE2\x80\xA8z", "x y z"},  // NEL, line separator
      {"\xEF\xBB\xBF"
       "hi",
       "hi"},  // a byte order mark
      {"\xFF"
       "a\xC3",
       "\xEF\xBF\xBD"
       "a\xEF\xBF\xBD"},            // stray and cut bytes
      {"\xE0\x80\xAF\xED\xA0\x80",  // overlong, a surrogate: each byte replaced
       "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"<script>alert(1)</script>", "<script>alert(1)</script>"},  // markup stays text
      {"\xE5\xAF\x8C\xE5\xA3\xAB\xE5\xB1\xB1", "\xE5\xAF\x8C\xE5\xA3\xAB\xE5\xB1\xB1"},
      {" \t\n", ""},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(CaptionLine(text), expected) << text;
}

// At most kMaxCaptionChars characters, cut between two; no space left at the cut.
TEST(CaptionTextTest, TheLimitCutsAtACharacter) {
  const std::string a999(999, 'a'), kanji = "\xE6\x97\xA5";
  const Case cases[] = {
      {a999 + "bc", a999 + "b"},
      {a999 + kanji + kanji, a999 + kanji},
      {a999 + "  b", a999},
      {a999 + "\x01"
              "b",
       a999 + "b"},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(CaptionLine(text), expected);
  std::string huge;
  for (int i = 0; i < 400000; ++i) huge += kanji;
  EXPECT_EQ(CaptionLine(huge).size(), 3000u);
}

TEST(CaptionTextTest, CamerasBoilerplateIsNoCaption) {
  const std::pair<const char*, bool> cases[] = {
      {"OLYMPUS DIGITAL CAMERA", true},
      {"SONY DSC", true},
      {"DCIM", true},
      {"SAMSUNG", true},
      {"SAMSUNG DIGITAL CAMERA", true},
      {"KODAK Digital Still Camera", true},
      {"MINOLTA DIGITAL CAMERA", true},
      {"KONICA MINOLTA DIGITAL CAMERA", true},
      {"LEICA DIGITAL CAMERA", true},
      {"Digital Camera", true},
      {"<Digimax S500 / Kenox S500>", true},
      {"default", true},
      {"Exif_JPEG_PICTURE", true},
      {"  sony dsc ", true},
      {"SONY DSC in Rome", false},
      {"<script>alert(1)</script>", false},
      {"Samsung Galaxy launch", false},
      {"", false},
  };
  for (const auto& [text, boilerplate] : cases) {
    EXPECT_EQ(IsCameraBoilerplate(text), boilerplate) << text;
    PhotoCaptions captions;
    NoteCaption(captions, CaptionSource::kExifDescription, text);
    EXPECT_EQ(BestCaption(captions).empty(), boilerplate || *text == 0) << text;
  }
}

TEST(CaptionTextTest, XmpTitlesAndDescriptions) {
  const std::string dc =
      "<x:xmpmeta><rdf:RDF><rdf:Description rdf:about=\"\" "
      "xmlns:dc=\"http://purl.org/dc/elements/1.1/\">";
  const Case cases[] = {
      {dc + "<dc:title><rdf:Alt><rdf:li xml:lang=\"de\">Hallo</rdf:li><rdf:li "
            "xml:lang=\"x-default\">Hello</rdf:li></rdf:Alt></dc:title>",
       "Hello"},
      {dc + "<dc:description><rdf:Alt><rdf:li xml:lang=\"fr\">Plage</rdf:li><rdf:li "
            "xml:lang=\"en\">Beach</rdf:li></rdf:Alt></dc:description>",
       "Plage"},
      {dc + "<dc:description><rdf:Alt><rdf:li>Desc</rdf:li></rdf:Alt></dc:description>"
            "<dc:title><rdf:Alt><rdf:li>Title</rdf:li></rdf:Alt></dc:title>",
       "Title"},
      {"<r xmlns:d='http://purl.org/dc/elements/1.1/'><d:title><a:li>Own "
       "prefix</a:li></d:title><dc:title>not Dublin Core</dc:title>",
       "Own prefix"},
      {dc + "<dc:title>Fish &amp; chips &#x263A; &lt;b&gt; &#0; &bogus;</dc:title>",
       "Fish & chips \xE2\x98\xBA <b> \xEF\xBF\xBD &bogus;"},
      {dc + "<dc:title><rdf:Alt><rdf:li>OLYMPUS DIGITAL CAMERA</rdf:li></rdf:Alt></dc:title>"
            "<dc:description>Lake</dc:description>",
       "Lake"},
      {dc + "<dc:titles>No</dc:titles><dc:title/><dc:title><rdf:Alt><rdf:li>cut", ""},
  };
  for (const auto& [xml, expected] : cases) {
    PhotoCaptions captions;
    ReadXmpCaptions(xml, captions);
    EXPECT_EQ(BestCaption(captions), expected) << xml;
  }
}

std::string Dataset(int record, int number, const std::string& value) {
  return std::string{0x1C, static_cast<char>(record), static_cast<char>(number),
                     static_cast<char>(value.size() >> 8), static_cast<char>(value.size())} +
         value;
}

TEST(CaptionTextTest, IptcNamesCaptionsAndTheirCharacterSet) {
  const std::string utf8 = Dataset(1, 90, "\x1B%G"), ete = "\xC3\xA9t\xC3\xA9";
  const Case cases[] = {
      {Dataset(2, 120, "Caption") + Dataset(2, 5, "Name"), "Name"},
      {utf8 + Dataset(2, 5, ete), ete},
      {Dataset(2, 5, "\xE9t\xE9"), ete},  // Latin-1
      {utf8 + Dataset(2, 5, "\xE9t\xE9"), "\xEF\xBF\xBDt\xEF\xBF\xBD"},
  };
  for (const auto& [iptc, expected] : cases) {
    PhotoCaptions captions;
    ReadIptcCaptions(iptc, captions);
    EXPECT_EQ(BestCaption(captions), expected);
  }
}

TEST(CaptionTextTest, Utf16AndParagraphs) {
  using namespace std::string_literals;
  const Case utf16[] = {
      {"T\0i\0\0\0x\0"s, "Ti"},
      {"\x3D\xD8\x00\xDE"s, "\xF0\x9F\x98\x80"},  // a surrogate pair
      {"\x3D\xD8"
       "a\0b"s,
       "\xEF\xBF\xBD"
       "a"},  // unpaired, an odd byte
      {"\xE5\x65\x2C\x67"s, "\xE6\x97\xA5\xE6\x9C\xAC"},
  };
  for (const auto& [bytes, expected] : utf16) EXPECT_EQ(Utf16LeToUtf8(bytes), expected);
  const Case paragraphs[] = {
      {"\r\n \r\nFirst\r\nsecond\r\n \t\r\nlater", "First\r\nsecond\r\n"},
      {"only\nline", "only\nline"},
      {"\n\n", ""},
  };
  for (const auto& [text, expected] : paragraphs) EXPECT_EQ(FirstParagraph(text), expected);
  EXPECT_TRUE(IsUtf8("ab\xE6\x97", true));
  EXPECT_FALSE(IsUtf8("ab\xE6\x97"));
  EXPECT_FALSE(
      IsUtf8("\xE6\x97"
             "a",
             true));
}

}  // namespace

// Feeds arbitrary bytes to the video container reader as a whole file, read
// the way ReadVideoFacts reads one, and checks what it promises: few reads,
// each inside the file and of bounded size, and finished facts that are
// consistent.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "collect/video_facts.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view file(reinterpret_cast<const char*>(data), size);
  int reads = 0;
  VideoBytes read = [&](std::int64_t offset, std::size_t count, std::string& bytes) {
    ++reads;
    Require(offset >= 0 && static_cast<std::uint64_t>(offset) < file.size());
    Require(count <= (std::size_t{8} << 20));
    bytes = std::string(file.substr(static_cast<std::size_t>(offset), count));
    return true;
  };
  VideoFacts facts;
  std::string reason;
  bool found = ParseVideoFacts(read, static_cast<std::int64_t>(size), facts, reason);
  Require(reads <= 4096);
  if (!found) {
    Require(!reason.empty() && facts.width == 0 && facts.taken.empty());
    return 0;
  }
  Require(facts.format != VideoFormat::kUnknown && facts.storedWidth > 0 && facts.storedHeight > 0);
  Require(facts.rotation % 90 == 0 && facts.rotation >= 0 && facts.rotation < 360);
  Require(facts.orientation >= 1 && facts.orientation <= 8 && facts.durationMs >= 0);
  bool turned = facts.rotation == 90 || facts.rotation == 270;
  Require(facts.width == (turned ? facts.storedHeight : facts.storedWidth));
  Require(facts.height == (turned ? facts.storedWidth : facts.storedHeight));
  CivilTime time;
  Require(facts.taken.empty() == (facts.takenFrom == VideoDate::kNone));
  Require(facts.taken.empty() ? facts.takenTime == CivilTime()
                              : ParseExifDate(facts.taken, time) && time == facts.takenTime);
  return 0;
}

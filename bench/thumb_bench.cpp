// Drives the thumbnail engine the way a run does: one picture per thread,
// as many threads as cores, over the pictures given.
//
//   thumb_bench [--threads N] [--size PIXELS] [--preview PIXELS] [--video 1]
//               OUTPUT-FOLDER PICTURE...
//
// With --preview each picture also gets a preview of that size from the same
// decode; with --video 1 the files are clips, whose length and turn are read
// from their headers first, as a run does (bench/posters.sh). Prints the wall
// time, the thumbnails made and every failure. Built on demand only:
// cmake --build --preset default --target thumb_bench.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "collect/video_facts.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  unsigned threads = std::thread::hardware_concurrency();
  int size = 400, preview = 0;
  bool video = false;
  int arg = 1;
  for (; arg + 1 < argc && argv[arg][0] == '-'; arg += 2) {
    std::string option = argv[arg];
    if (option == "--threads") threads = static_cast<unsigned>(std::atoi(argv[arg + 1]));
    if (option == "--size") size = std::atoi(argv[arg + 1]);
    if (option == "--preview") preview = std::atoi(argv[arg + 1]);
    if (option == "--video") video = std::atoi(argv[arg + 1]) != 0;
  }
  if (argc - arg < 2 || threads == 0 || size < 1) {
    std::fprintf(stderr,
                 "usage: thumb_bench [--threads N] [--size PIXELS] [--preview PIXELS] [--video 1] "
                 "OUTPUT PICTURE...\n");
    return 2;
  }
  std::string output = argv[arg++];
  std::vector<std::string> pictures(argv + arg, argv + argc);
  std::atomic<size_t> next{0};
  std::atomic<int> made{0};
  std::mutex report;
  auto start = std::chrono::steady_clock::now();
  std::vector<std::thread> pool;
  for (unsigned t = 0; t < threads; ++t) {
    pool.emplace_back([&] {
      for (size_t i; (i = next++) < pictures.size();) {
        const std::string& picture = pictures[i];
        std::string name = picture.substr(picture.find_last_of("/\\") + 1);
        const std::string stem = output + platform::kSeparator + name;
        std::vector<platform::WantedCopy> wanted = {{size, stem}};
        if (preview > 0) wanted.push_back({preview, stem + ".preview", true});
        platform::MediaSource source;
        std::string reason;
        VideoFacts facts;
        if (video && ReadVideoFacts(picture, facts, reason))
          source = {true, facts.durationMs, facts.orientation};
        source.video = video;
        platform::MediaResult result;
        if (platform::MakeDisplayCopies(picture, wanted, result, source)) {
          ++made;
        } else {
          std::lock_guard<std::mutex> lock(report);
          std::fprintf(stderr, "%s: %s\n", picture.c_str(),
                       result.copies.empty() ? "" : result.copies[0].reason.c_str());
        }
      }
    });
  }
  for (std::thread& thread : pool) thread.join();
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%d of %zu thumbnails in %.2f s with %u threads\n", made.load(), pictures.size(),
              seconds, threads);
  return made.load() == static_cast<int>(pictures.size()) ? 0 : 1;
}

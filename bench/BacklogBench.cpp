// How long taking one record costs the caller: the backlog update (read,
// change, write a temporary file, flush it to disk, rename) for backlogs of
// growing size, with the flush to disk and without. Run by hand:
//   build/release/bench/bench_backlog [folder on the disk to measure]
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/Encoding.h"
#include "reportsdk/Backlog.h"

namespace {

double MillisecondsPerUpdate(const std::string& folder, int entries, int rounds) {
  const std::string path = folder + "/tempga.wk";
  std::filesystem::remove(path);
  reportsdk::Backlog backlog(platform::FromUtf8(path));
  const std::string content(700, 'x');  // about the size of a funnel record
  for (int i = 0; i < entries; ++i) backlog.Update("2::" + std::to_string(i), content, 0);
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < rounds; ++i) {
    backlog.Update("1::bench" + std::to_string(i), content, 0);
    backlog.Update("1::bench" + std::to_string(i), content, 2);
  }
  const std::chrono::duration<double, std::milli> spent = std::chrono::steady_clock::now() - start;
  return spent.count() / (2.0 * rounds);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string folder =
      argc > 1 ? argv[1] : (std::filesystem::temp_directory_path() / "vornik-bench").string();
  std::filesystem::create_directories(folder);
  std::printf("backlog update cost in %s\n", folder.c_str());
  for (int entries : {0, 10, 100, 1000}) {
    std::printf("%5d entries: %8.3f ms per update\n", entries,
                MillisecondsPerUpdate(folder, entries, 50));
  }
  std::filesystem::remove_all(folder);
  return 0;
}

// File digest throughput against md5sum on the same warm file, best of three
// alternating runs each. Run by hand:
//   build/release/bench/bench_md5 [file]
// Without a file it writes 512 MiB of random bytes to the temporary folder
// and removes them at the end. Both digests must agree, else it exits with 1.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "MD5.h"
#include "platform/Encoding.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRuns = 3;
constexpr std::size_t kDefaultMiB = 512;

bool WriteRandomFile(const std::string& path, std::size_t mebibytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  std::mt19937_64 generator(20240501);
  std::vector<std::uint64_t> block((1 << 20) / sizeof(std::uint64_t));
  for (std::size_t i = 0; i < mebibytes && out; ++i) {
    for (auto& word : block) word = generator();
    out.write(reinterpret_cast<const char*>(block.data()),
              static_cast<std::streamsize>(block.size() * sizeof(std::uint64_t)));
  }
  return static_cast<bool>(out);
}

// Reads the file once so that both contenders start from the page cache.
void Warm(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> block(1 << 20);
  while (in.read(block.data(), static_cast<std::streamsize>(block.size()))) {
  }
}

std::string RunMd5sum(const std::string& path) {
  std::unique_ptr<FILE, decltype(&pclose)> pipe(popen(("md5sum '" + path + "'").c_str(), "r"),
                                                &pclose);
  char line[512] = {};
  if (!pipe || !std::fgets(line, sizeof line, pipe.get())) return "";
  return std::string(line).substr(0, 32);
}

template <typename Digest>
double Seconds(Digest digest, std::string* result) {
  const auto start = Clock::now();
  *result = digest();
  const std::chrono::duration<double> spent = Clock::now() - start;
  return spent.count();
}

}  // namespace

int main(int argc, char** argv) {
  const bool ownFile = argc < 2;
  const std::string path =
      ownFile ? (std::filesystem::temp_directory_path() / "vornik-bench-md5.bin").string()
              : argv[1];
  if (ownFile && !WriteRandomFile(path, kDefaultMiB)) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return 1;
  }
  std::error_code error;
  const double mebibytes = static_cast<double>(std::filesystem::file_size(path, error)) / 1048576;
  Warm(path);

  // Alternate the two so that a burst of load elsewhere hits both alike.
  std::string ours, theirs;
  double oursSeconds = 1e30, theirsSeconds = 1e30;
  for (int run = 0; run < kRuns; ++run) {
    oursSeconds =
        std::min(oursSeconds, Seconds([&] { return Md5OfFile(platform::FromUtf8(path)); }, &ours));
    theirsSeconds = std::min(theirsSeconds, Seconds([&] { return RunMd5sum(path); }, &theirs));
  }
  if (ownFile) std::filesystem::remove(path, error);

  std::printf("file %s, %.0f MiB, best of %d\n", path.c_str(), mebibytes, kRuns);
  std::printf("%-12s %10s %10s  %s\n", "", "seconds", "MiB/s", "digest");
  std::printf("%-12s %10.3f %10.1f  %s\n", "Md5OfFile", oursSeconds, mebibytes / oursSeconds,
              ours.c_str());
  std::printf("%-12s %10.3f %10.1f  %s\n", "md5sum", theirsSeconds, mebibytes / theirsSeconds,
              theirs.c_str());
  std::printf("ratio Md5OfFile / md5sum: %.3f\n", theirsSeconds / oursSeconds);
  if (ours != theirs) {
    std::fprintf(stderr, "digests differ\n");
    return 1;
  }
  return 0;
}

// vornik-fetch: runs the download engine once from the command line, for
// benchmarks and manual checks.
//
//   vornik-fetch [--side] [--threads N] [--slices N] [--log FILE] URL LOCALPATH
//
// Downloads URL into LOCALPATH (resuming from LOCALPATH.xml when present) as
// the main download, or as a side download with --side. Prints
// "result <code> <name>", "md5 <digest of LOCALPATH>", "workers <count>",
// "seconds <time the download took, without the digest>" and, when there is
// one, "cdn <summary>" on standard output. Exits 0 only for
// DOWNLOAD_OK, 1 for other results, 2 for a bad command line.
// Engine log lines go to FILE with --log, else nowhere. TLS trusts the
// system store, or the CA file of VORNIK_SERVICES (DeploymentValues.h).
#include <curl/curl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "CDownloader.h"
#include "DownLoadImpl.h"
#include "Logging.h"
#include "MD5.h"
#include "SingleUserLog.h"
#include "platform/Encoding.h"

namespace {

struct Arguments {
  bool side = false;
  int threads = 0;
  int slices = 0;
  std::string logFile;
  std::string url;
  std::string localPath;
};

const char* ResultName(int result) {
  switch (result) {
    case DOWNLOAD_OK:
      return "DOWNLOAD_OK";
    case DOWNLOAD_LENGTH_CHANGED:
      return "DOWNLOAD_LENGTH_CHANGED";
    case DOWNLOAD_TASKS_BROKEN:
      return "DOWNLOAD_TASKS_BROKEN";
    case DOWNLOAD_NO_LENGTH:
      return "DOWNLOAD_NO_LENGTH";
    case DOWNLOAD_OPEN_FILE_FAILED:
      return "DOWNLOAD_OPEN_FILE_FAILED";
    case DOWNLOAD_NO_THREADS:
      return "DOWNLOAD_NO_THREADS";
    case DOWNLOAD_NETWORK_DOWN:
      return "DOWNLOAD_NETWORK_DOWN";
    case DOWNLOAD_NO_SPEED:
      return "DOWNLOAD_NO_SPEED";
    case DOWNLOAD_CDN_FAILED:
      return "DOWNLOAD_CDN_FAILED";
    case DOWNLOAD_LENGTH_SHORT:
      return "DOWNLOAD_LENGTH_SHORT";
    case DOWNLOAD_TOO_MANY_REDIRECTS:
      return "DOWNLOAD_TOO_MANY_REDIRECTS";
    case DOWNLOAD_FILE_TOO_SMALL:
      return "DOWNLOAD_FILE_TOO_SMALL";
    default:
      return "UNKNOWN";
  }
}

// A positive count; 0 when the text is not one.
int PositiveNumber(const char* text) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  return (end != text && *end == '\0' && value > 0 && value <= 4096) ? static_cast<int>(value) : 0;
}

bool Parse(int argc, char** argv, Arguments* out) {
  std::string positional[2];
  int count = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--side") {
      out->side = true;
    } else if (arg == "--threads" && hasValue) {
      if ((out->threads = PositiveNumber(argv[++i])) == 0) return false;
    } else if (arg == "--slices" && hasValue) {
      if ((out->slices = PositiveNumber(argv[++i])) == 0) return false;
    } else if (arg == "--log" && hasValue) {
      out->logFile = argv[++i];
    } else if (arg.rfind("--", 0) == 0 || count == 2) {
      return false;
    } else {
      positional[count++] = arg;
    }
  }
  out->url = positional[0];
  out->localPath = positional[1];
  return count == 2;
}

void SetUpLog(const std::string& logFile) {
  if (!logFile.empty()) vornik_log::ConfigureFileLog(logFile);
  el::Loggers::reconfigureAllLoggers(el::ConfigurationType::ToStandardOutput, "false");
  if (logFile.empty()) el::Loggers::reconfigureAllLoggers(el::ConfigurationType::Enabled, "false");
}

}  // namespace

int main(int argc, char** argv) {
  Arguments args;
  if (!Parse(argc, argv, &args)) {
    std::fprintf(stderr,
                 "usage: vornik-fetch [--side] [--threads N] [--slices N] [--log FILE] URL "
                 "LOCALPATH\n");
    return 2;
  }
  SetUpLog(args.logFile);
  if (curl_global_init(CURL_GLOBAL_ALL) != CURLE_OK) return 1;
  if (args.slices > 0) CSingleUserLog::GetInstance()->SetDownloadSettings(0, args.slices, 0, 0);
  SupervisionSettings settings;
  settings.threadCount = args.threads > 0 ? args.threads : DefaultWorkerCount();
  std::string summary;
  const auto start = std::chrono::steady_clock::now();
  const int result = CDownLoadImpl(settings).SuperDownloadFile(
      platform::FromUtf8(args.url), platform::FromUtf8(args.localPath), summary, !args.side);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  std::string digest = Md5OfFile(platform::FromUtf8(args.localPath));
  if (digest.empty()) digest = "-";
  std::printf("result %d %s\nmd5 %s\nworkers %d\nseconds %.3f\n", result, ResultName(result),
              digest.c_str(), settings.threadCount, took.count());
  if (!summary.empty()) std::printf("cdn %s\n", summary.c_str());
  std::fflush(stdout);
  curl_global_cleanup();
  return result == DOWNLOAD_OK ? 0 : 1;
}

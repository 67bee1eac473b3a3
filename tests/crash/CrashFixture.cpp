#include "CrashFixture.h"

#include <sys/prctl.h>
#include <sys/wait.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace crashtest {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::WaitUntil;

void CrashTest::SetUp() {
  // Runs started by a crashed child come to us when it dies.
  ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
  // Under AddressSanitizer the programs leave the crash signals to their own
  // handler, as they do in a build without it.
  const char* asan = std::getenv("ASAN_OPTIONS");
  env_.SetEnv("ASAN_OPTIONS", std::string(asan ? asan : "") +
                                  ":handle_segv=0:handle_sigbus=0:handle_sigill=0:handle_sigfpe=0"
                                  ":handle_abort=0:allow_user_segv_handler=1");
  fs::create_directories(TempFolder());
  env_.SetEnv("TMPDIR", TempFolder());

  installer_ = testing_support::CopyProgramTo(env_.Root() + "/prog", VORNIK_SETUP_EXE);
  crashProgram_ = testing_support::CopyProgramTo(env_.Root() + "/prog", VORNIK_CRASH_CHILD_EXE);
  ASSERT_TRUE(localserver::MakeTestCertificates(env_.Root() + "/tls", &certificates_));
  logUpload_ = std::make_unique<localserver::LocalHttpServer>(certificates_.server);
  ASSERT_TRUE(logUpload_->Start());
  const std::string services = env_.Root() + "/crash-services.conf";
  testing_support::WriteFile(services, "log_upload=" + logUpload_->BaseUrl() +
                                           "\nca_file=" + certificates_.caCertificatePem + "\n");
  env_.SetEnv("VORNIK_SERVICES", services);
}

void CrashTest::TearDown() {
  WaitForOrphans(SIZE_MAX, 0);
  logUpload_->Stop();
}

std::unique_ptr<testing_support::ChildProcess> CrashTest::Start(
    const std::string& program, const std::vector<std::string>& arguments) {
  const std::string out = env_.Root() + "/stdout" + std::to_string(++runs_) + ".txt";
  return std::make_unique<testing_support::ChildProcess>(program, arguments, out);
}

std::string CrashTest::LogFolder() const {
  return env_.AppData() + "/MVDownloader/logs/lumaclear_setup";
}

std::vector<std::string> CrashTest::FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
    names.push_back(it->path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string CrashTest::OnlyRunLog() const {
  std::string found;
  for (const std::string& name : FilesIn(LogFolder())) {
    if (!IsStampedName(name, "lumaclear_setup_", ".log")) continue;
    if (!found.empty()) return "";
    found = name;
  }
  return found;
}

std::vector<int> CrashTest::WaitForOrphans(size_t count, int timeoutMs) {
  std::vector<int> codes;
  const auto reap = [&codes] {
    int status = 0;
    pid_t pid;
    while ((pid = waitpid(-1, &status, WNOHANG)) > 0)
      codes.push_back(WIFEXITED(status) ? WEXITSTATUS(status) : -3);
  };
  reap();
  if (codes.size() < count && timeoutMs > 0) {
    WaitUntil(
        [&] {
          reap();
          return codes.size() >= count;
        },
        timeoutMs);
  }
  return codes;
}

bool CrashTest::NoOrphanLeft() { return waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD; }

Json::Value CrashTest::CheckDump(const std::string& dumpPath, std::string* refusal) {
  const std::string out = env_.Root() + "/check" + std::to_string(++runs_) + ".json";
  testing_support::ChildProcess checker("/usr/bin/python3", {VORNIK_MINIDUMP_CHECK, dumpPath}, out);
  const int code = checker.Wait(60000);
  Json::Value summary;
  if (code != 0) {
    *refusal = "checker ended with " + std::to_string(code);
    return Json::Value();
  }
  std::istringstream text(ReadFile(out));
  std::string errors;
  if (!Json::parseFromStream(Json::CharReaderBuilder(), text, &summary, &errors)) {
    *refusal = errors;
    return Json::Value();
  }
  return summary;
}

std::vector<Upload> CrashTest::Uploads() const {
  std::vector<Upload> uploads;
  for (const localserver::Request& request : logUpload_->Requests()) {
    if (request.Path() != "/v1/productLogUpload") continue;
    std::vector<demoservices::FormPart> parts;
    Upload upload;
    if (demoservices::ParseMultipartForm(request.Header("Content-Type"), request.body, &parts)) {
      for (const demoservices::FormPart& part : parts) upload.parts[part.name] = part;
    }
    if (upload.parts.count("file")) ReadArchive(upload.parts["file"].body, &upload.entries);
    uploads.push_back(upload);
  }
  return uploads;
}

bool IsStampedName(const std::string& text, const std::string& prefix, const std::string& suffix) {
  constexpr size_t kDigits = 17;
  if (text.size() != prefix.size() + kDigits + suffix.size()) return false;
  if (text.compare(0, prefix.size(), prefix) != 0) return false;
  if (text.compare(prefix.size() + kDigits, suffix.size(), suffix) != 0) return false;
  return std::all_of(text.begin() + static_cast<long>(prefix.size()),
                     text.begin() + static_cast<long>(prefix.size() + kDigits),
                     [](char c) { return c >= '0' && c <= '9'; });
}

bool ReadArchive(const std::string& bytes, std::map<std::string, std::string>* entries) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
  if (source == nullptr) return false;
  zip_t* archive = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error);
  if (archive == nullptr) {
    zip_source_free(source);
    return false;
  }
  bool whole = true;
  for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
    zip_stat_t stat;
    zip_file_t* file = nullptr;
    if (zip_stat_index(archive, i, 0, &stat) != 0 ||
        (file = zip_fopen_index(archive, i, 0)) == nullptr) {
      whole = false;
      continue;
    }
    std::string content(stat.size, '\0');
    if (zip_fread(file, content.data(), stat.size) != static_cast<zip_int64_t>(stat.size))
      whole = false;
    zip_fclose(file);
    (*entries)[stat.name] = content;
  }
  zip_discard(archive);
  return whole;
}

}  // namespace crashtest

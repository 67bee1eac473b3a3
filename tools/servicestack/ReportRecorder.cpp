#include "ReportRecorder.h"

#include <cstdio>
#include <filesystem>

#include "platform/Encoding.h"
#include "platform/FileLock.h"
#include "platform/Paths.h"

namespace demoservices {
namespace {

namespace fs = std::filesystem;

constexpr char kUploads[] = "uploads";
constexpr char kExceptions[] = "exceptions";
constexpr size_t kMaxName = 200;

std::string Numbered(int number) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d", number);
  return text;
}

std::string Escaped(const std::string& value) {
  std::string escaped;
  for (const char c : value) {
    if (c == '\\') {
      escaped += "\\\\";
    } else if (c == '\n') {
      escaped += "\\n";
    } else if (c == '\r') {
      escaped += "\\r";
    } else {
      escaped += c;
    }
  }
  return escaped;
}

bool Write(const std::string& path, const std::string& content) {
  return platform::WriteFileAtomically(platform::FromUtf8(path), content);
}

}  // namespace

std::string SafeUploadName(const std::string& uploadName) {
  const size_t slash = uploadName.find_last_of("/\\");
  const std::string last = slash == std::string::npos ? uploadName : uploadName.substr(slash + 1);
  std::string name = platform::ToUtf8(platform::SanitizeFileNamePart(platform::FromUtf8(last)));
  if (name.size() > kMaxName) name.resize(kMaxName);
  if (name.empty() || name == "." || name == "..") return "upload";
  return name;
}

ReportRecorder::ReportRecorder(std::string folder) : folder_(std::move(folder)) {}

bool ReportRecorder::Prepare(std::string* error) {
  for (const char* kind : {kUploads, kExceptions}) {
    const fs::path path = fs::path(folder_) / kind;
    std::error_code failure;
    fs::remove_all(path, failure);
    if (!failure) fs::create_directories(path, failure);
    if (failure) {
      *error = "cannot make " + path.string() + ": " + failure.message();
      return false;
    }
  }
  return true;
}

int ReportRecorder::Next(int* counter) {
  std::lock_guard<std::mutex> lock(mutex_);
  return ++*counter;
}

std::string ReportRecorder::SaveUpload(const FormPart& file, const std::vector<FormPart>& fields) {
  const std::string relative =
      std::string(kUploads) + "/" + Numbered(Next(&uploads_)) + "-" + SafeUploadName(file.fileName);
  std::string lines = "file=" + Escaped(file.fileName) + "\n";
  for (const FormPart& field : fields) {
    lines += Escaped(field.name) + "=" + Escaped(field.body) + "\n";
  }
  const std::string path = folder_ + "/" + relative;
  if (!Write(path, file.body) || !Write(path + ".fields", lines)) return std::string();
  return relative;
}

std::string ReportRecorder::SaveException(const std::string& body) {
  const std::string relative =
      std::string(kExceptions) + "/" + Numbered(Next(&exceptions_)) + ".txt";
  return Write(folder_ + "/" + relative, body) ? relative : std::string();
}

}  // namespace demoservices

#include "DemoServices.h"

#include <filesystem>

#include "FileDigest.h"
#include "platform/Encoding.h"
#include "platform/FileLock.h"

namespace demoservices {
namespace {

namespace fs = std::filesystem;
using localserver::Request;

// The services file names the CA by its absolute path.
DemoOptions WithAbsoluteFolder(DemoOptions options) {
  std::error_code error;
  const fs::path absolute = fs::absolute(options.folder, error);
  if (error) return options;
  fs::path normal = absolute.lexically_normal();
  if (!normal.has_filename()) normal = normal.parent_path();
  options.folder = normal.string();
  return options;
}

std::string Joined(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& item : items) text += (text.empty() ? "" : ", ") + item;
  return text;
}

}  // namespace

DemoServices::DemoServices(DemoOptions options, RequestLog& log)
    : options_(WithAbsoluteFolder(std::move(options))),
      log_(log),
      servicesFile_(options_.folder + "/services.conf"),
      recorder_(options_.folder),
      answers_(recorder_) {
  const auto bound = [this](Answer (ServiceAnswers::*member)(const Request&) const) {
    return [this, member](const Request& request) { return (answers_.*member)(request); };
  };
  hosted_.push_back(
      {"collectors", {"ga4", "collector", "test_collector"}, &ServiceAnswers::Collector, nullptr});
  hosted_.push_back(
      {"update", {"update", "update_cn", "update_test"}, bound(&ServiceAnswers::Update), nullptr});
  hosted_.push_back({"alert", {"alert"}, bound(&ServiceAnswers::Alert), nullptr});
  hosted_.push_back({"log_upload", {"log_upload"}, bound(&ServiceAnswers::LogUpload), nullptr});
  hosted_.push_back({"banner", {"banner"}, &ServiceAnswers::Banner, nullptr});
}

DemoServices::~DemoServices() { Stop(); }

bool DemoServices::Start(std::string* error) {
  FileFacts facts;
  if (!ReadFileFacts(options_.installer, &facts)) {
    *error = "cannot read the installer " + options_.installer;
    return false;
  }
  installerSize_ = facts.size;
  fileMd5_ = facts.md5;
  servedMd5_ = options_.md5 ? *options_.md5 : facts.md5;
  if (!recorder_.Prepare(error)) return false;
  if (!localserver::MakeTestCertificates(options_.folder, &certificates_)) {
    *error = "cannot make the certificates in " + options_.folder;
    return false;
  }
  bool started = StartDownloadHost(error);
  for (Hosted& hosted : hosted_) started = started && StartHosted(&hosted, error);
  if (!started || !WriteServicesFile(error)) {
    Stop();
    return false;
  }
  return true;
}

bool DemoServices::StartDownloadHost(std::string* error) {
  download_ = std::make_unique<localserver::DownloadServer>(certificates_.server);
  download_->AddFile(kInstallerPath, localserver::Content::DiskFile(options_.installer));
  download_->SetRateLimit(options_.bytesPerSecond);
  if (!download_->Start()) {
    *error = "cannot start the download host";
    return false;
  }
  watch_ = std::make_unique<DownloadWatch>(*download_, log_);
  watch_->Start();

  ConfigurationFields fields;
  fields.softwareVersion = options_.softwareVersion;
  fields.downloadUrl = download_->Url(kInstallerPath);
  fields.md5 = servedMd5_;
  fields.fileSize = installerSize_;
  fields.downloaderConfig = options_.downloaderConfig;
  fields.sliceNum = options_.sliceNum;
  fields.sliceSize = options_.sliceSize;
  fields.additionalTime = options_.additionalTime;
  fields.installTimeout = options_.installTimeout;
  answers_.SetConfiguration(fields, options_.configurationStatus);
  return true;
}

bool DemoServices::StartHosted(Hosted* hosted, std::string* error) {
  hosted->server = std::make_unique<localserver::LocalHttpServer>(certificates_.server);
  localserver::LocalHttpServer& server = *hosted->server;
  const std::string name = hosted->name;
  const auto answer = hosted->answer;
  server.SetHandler([this, &server, name, answer](const Request& request) {
    // The log line and the recorder's files are the record; a long run
    // must not also keep every request body in memory.
    server.ClearRequests();
    const Answer answered = answer(request);
    log_.Request(name, request, answered.reply.status, answered.note);
    return answered.reply;
  });
  if (!server.Start()) {
    *error = "cannot start the " + name + " service";
    return false;
  }
  return true;
}

bool DemoServices::WriteServicesFile(std::string* error) const {
  std::string text =
      "# Local services of vornik-demo-services; point VORNIK_SERVICES at this file.\n";
  for (const Hosted& hosted : hosted_) {
    for (const std::string& key : hosted.keys) text += key + "=" + hosted.server->BaseUrl() + "\n";
  }
  text += "ca_file=" + certificates_.caCertificatePem + "\n";
  text += "# The installer comes from " + download_->Url(kInstallerPath) + "\n";
  if (!platform::WriteFileAtomically(platform::FromUtf8(servicesFile_), text)) {
    *error = "cannot write " + servicesFile_;
    return false;
  }
  return true;
}

void DemoServices::Stop() {
  for (Hosted& hosted : hosted_) {
    if (hosted.server) hosted.server->Stop();
  }
  if (download_) download_->Stop();
  if (watch_) watch_->Stop();
}

std::vector<std::string> DemoServices::Announcement() const {
  std::vector<std::string> lines;
  for (const Hosted& hosted : hosted_) {
    lines.push_back(hosted.name + ": " + hosted.server->BaseUrl() + " (" + Joined(hosted.keys) +
                    ")");
  }
  lines.push_back("download: " + download_->Url(kInstallerPath));
  std::string installer = "installer: " + options_.installer + " (" +
                          std::to_string(installerSize_) + " bytes, md5 " + fileMd5_ + ")";
  if (servedMd5_ != fileMd5_) installer += ", announced md5 \"" + servedMd5_ + "\"";
  lines.push_back(installer);
  lines.push_back("uploads: " + options_.folder + "/uploads");
  return lines;
}

}  // namespace demoservices

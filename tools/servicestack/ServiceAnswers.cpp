#include "ServiceAnswers.h"

#include "LocalCollector.h"

namespace demoservices {
namespace {

using localserver::Reply;
using localserver::Request;

constexpr char kConfigurationPath[] = "/queryDownloaderV2";
constexpr char kExceptionPath[] = "/api/exception/send";
constexpr char kLogUploadPath[] = "/v1/productLogUpload";
constexpr char kBannerPath[] = "/api/v1/banners";

Answer Plain(int status, const std::string& text, std::string note = std::string()) {
  return Answer{Reply::Status(status, text + "\n"), std::move(note)};
}

Answer Json(const std::string& body, std::string note) {
  Reply reply = Reply::Status(200, body);
  reply.headers.emplace_back("Content-Type", "application/json");
  return Answer{reply, std::move(note)};
}

Answer Accepted(std::string note) { return Json("{\"code\":0,\"msg\":\"ok\"}", std::move(note)); }

Answer NotFound() { return Plain(404, "not found"); }

Answer WrongMethod(const char* allowed) {
  Answer answer = Plain(405, "method not allowed");
  answer.reply.headers.emplace_back("Allow", allowed);
  return answer;
}

// The parts of an upload: the "file" part with a file name, and the fields.
bool SplitUpload(const std::vector<FormPart>& parts, FormPart* file,
                 std::vector<FormPart>* fields) {
  bool found = false;
  for (const FormPart& part : parts) {
    if (!found && part.name == "file" && part.hasFileName) {
      *file = part;
      found = true;
    } else {
      fields->push_back(part);
    }
  }
  return found;
}

std::string FieldNote(const std::vector<FormPart>& fields) {
  std::string note;
  for (const FormPart& field : fields) note += " " + field.name + "=" + field.body;
  return note;
}

}  // namespace

ServiceAnswers::ServiceAnswers(ReportRecorder& recorder) : recorder_(recorder) {}

void ServiceAnswers::SetConfiguration(ConfigurationFields fields, int status) {
  std::lock_guard<std::mutex> lock(mutex_);
  fields_ = std::move(fields);
  status_ = status;
}

Answer ServiceAnswers::Update(const Request& request) const {
  const std::string path = request.Path();
  if (path == kExceptionPath) return Alert(request);
  if (path != kConfigurationPath) return NotFound();
  if (request.method != "GET" && request.method != "HEAD") return WrongMethod("GET, HEAD");
  std::lock_guard<std::mutex> lock(mutex_);
  if (status_ != 200) return Plain(status_, "no configuration", "configuration withheld");
  Answer answer{Reply::Status(200, FormatConfigurationReply(fields_, request.Query())), ""};
  answer.reply.headers.emplace_back("Content-Type", "text/xml; charset=utf-8");
  return answer;
}

Answer ServiceAnswers::Alert(const Request& request) const {
  if (request.Path() != kExceptionPath) return NotFound();
  if (request.method != "POST") return WrongMethod("POST");
  const std::string saved = recorder_.SaveException(request.body);
  if (saved.empty()) return Plain(500, "cannot record the report", "not recorded");
  return Accepted("exception_code=" + QueryValue(request.body, "exception_code") + " saved " +
                  saved);
}

Answer ServiceAnswers::LogUpload(const Request& request) const {
  if (request.Path() != kLogUploadPath) return NotFound();
  if (request.method != "POST") return WrongMethod("POST");
  std::vector<FormPart> parts;
  if (!ParseMultipartForm(request.Header("Content-Type"), request.body, &parts)) {
    return Plain(400, "expected a multipart/form-data body", "rejected: not a multipart form");
  }
  FormPart file;
  std::vector<FormPart> fields;
  if (!SplitUpload(parts, &file, &fields)) {
    return Plain(400, "expected a \"file\" part with a file name", "rejected: no file part");
  }
  const std::string saved = recorder_.SaveUpload(file, fields);
  if (saved.empty()) return Plain(500, "cannot keep the upload", "not recorded");
  return Accepted("saved " + saved + " (" + std::to_string(file.body.size()) + " bytes)" +
                  FieldNote(fields));
}

Answer ServiceAnswers::Banner(const Request& request) {
  if (request.Path() != kBannerPath) return NotFound();
  if (request.method != "GET") return WrongMethod("GET");
  return Json("[]", "no banners");
}

Answer ServiceAnswers::Collector(const Request& request) {
  return Answer{localserver::LocalCollector::DefaultReply(request), ""};
}

}  // namespace demoservices

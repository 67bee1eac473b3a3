// Keeps what the exception endpoint and the log-upload service receive, in
// files under the services folder, for tests and people to look at:
//
//   uploads/NNNN-NAME         an uploaded archive, byte for byte
//   uploads/NNNN-NAME.fields  "file=" and the upload name as sent, then the
//                             other form fields, "name=value" a line in
//                             arrival order
//   exceptions/NNNN.txt       an exception report's body as received
//
// NNNN counts from 0001 for each kind; NAME is SafeUploadName of the upload
// name. Values in the fields file escape "\", CR and LF as "\\", "\r", "\n".
// Each file is written atomically (temporary file, then rename). Any thread.
#pragma once
#include <mutex>
#include <string>
#include <vector>

#include "MultipartForm.h"

namespace demoservices {

class ReportRecorder {
 public:
  explicit ReportRecorder(std::string folder);

  // Makes uploads/ and exceptions/ anew and empty, so that the files of an
  // earlier run do not pass for this run's. False, with *error, when a
  // folder cannot be removed or made.
  bool Prepare(std::string* error);

  // Saves the archive part and the other parts' fields. Returns the archive's
  // path relative to the folder ("uploads/0001-report.zip"), or "" when a
  // file could not be written.
  std::string SaveUpload(const FormPart& file, const std::vector<FormPart>& fields);
  // Returns "exceptions/NNNN.txt", or "" when it could not be written.
  std::string SaveException(const std::string& body);

 private:
  int Next(int* counter);

  std::string folder_;
  std::mutex mutex_;
  int uploads_ = 0;
  int exceptions_ = 0;
};

// A file name made of the upload name: the part after its last "/" or "\",
// every character other than ASCII letters, digits and "._-" turned into
// "_", at most 200 bytes; "upload" for an empty name, "." or "..".
std::string SafeUploadName(const std::string& uploadName);

}  // namespace demoservices

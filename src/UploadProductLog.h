// The product-log upload: one archive of a run's log (and crash dumps) sent
// as a multipart form to "/v1/productLogUpload" of the log-upload service
// (deployment value "log_upload"), by the shipping of a "-dmp" or "-close"
// run.
//
// Form parts, in order: "file" (the archive's bytes, streamed from disk,
// under the upload name), "product_id", "version", and "catalogue" unless
// that text is empty. Request headers "content-type:multipart/form-data"
// (libcurl completes it with the boundary) and "Accept:*/*". TLS is verified
// like every request of the program (CurlTls.h).
//
// Waits are bounded although an archive may take long to send: connecting
// may take 30 s, and the transfer ends when less than one byte per second
// has moved, either way, for 120 s (a server that never answers included).
//
// Blocks the calling thread for the transfer. Any thread; each call uses its
// own libcurl handle. Writes "Response from server:\n", the reply and a line
// end to standard output.
#pragma once
#include <string>

#include "platform/LocalTime.h"

// The product id of this program at the log-upload service.
constexpr char kProductLogProductId[] = "RIZovidizi2900";

// Results of UploadProductLog.
constexpr int kUploadOk = 0;               // transfer done and the service answered 200
constexpr int kUploadPathTooShort = -1;    // archive path shorter than 5 bytes; nothing sent
constexpr int kUploadNoHandle = -2;        // no libcurl handle ("Failed to initialize cURL")
constexpr int kUploadTransferFailed = -3;  // transfer failed, or any status but 200; also an
                                           // archive that cannot be read (nothing is sent)

// archivePath, uploadName, productId, version and catalogue are UTF-8.
// An empty uploadName gives NoNameUploadName of the archive path and the
// local time now. version is the program's own "%d.%d.%d.%d" (see
// OwnFileVersionText).
int UploadProductLog(const std::string& archivePath, const std::string& uploadName,
                     const std::string& productId, const std::string& version,
                     const std::string& catalogue);

// The limits above, in seconds; tests shorten them.
struct UploadLimits {
  long connectSeconds = 30;
  long stallSeconds = 120;
};
int UploadProductLog(const std::string& archivePath, const std::string& uploadName,
                     const std::string& productId, const std::string& version,
                     const std::string& catalogue, const UploadLimits& limits);

// "NoName_" and the 17 digits of the time ("%.4d%.2d%.2d%.2d%.2d%.2d%.3d"),
// then the extension of the archive's file name from its last "." (".tmp"
// when the file name has none). A "." in a folder of the path does not count:
// its text would put the folder's name and a "/" into the upload name.
std::string NoNameUploadName(const std::string& archivePath, const platform::SystemTime& time);

// The program's own file version, "%d.%d.%d.%d".
std::string OwnFileVersionText();

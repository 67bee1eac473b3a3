// Reading a "multipart/form-data" request body (RFC 7578) into its parts, as
// the log-upload service receives them. Pure functions, any thread.
#pragma once
#include <string>
#include <vector>

namespace demoservices {

struct FormPart {
  std::string name;      // the Content-Disposition "name" parameter
  std::string fileName;  // its "filename" parameter, "" without one
  bool hasFileName = false;
  std::string contentType;  // the part's Content-Type, "" without one
  std::string body;
};

// The boundary parameter of a multipart Content-Type value (quoted or not,
// any case of the names); "" when the type is not "multipart/form-data" or
// names no boundary, or the boundary is longer than 70 characters.
std::string BoundaryOf(const std::string& contentType);

// Splits body by the boundary of contentType. Text before the first
// delimiter and after the closing one is ignored; a form that closes at once
// has no parts. False (and *parts
// unspecified) when there is no usable boundary, a delimiter line or a part's
// head is not ended by CRLF, the closing delimiter is missing, or a part has
// no Content-Disposition "form-data" with a name.
bool ParseMultipartForm(const std::string& contentType, const std::string& body,
                        std::vector<FormPart>* parts);

}  // namespace demoservices

// TLS settings shared by every libcurl request of the program: the peer's
// certificate and host name are always verified, against the system's CA
// store or, when the deployment values name one, a local CA file.
#pragma once

#include <curl/curl.h>

// Sets CURLOPT_SSL_VERIFYPEER 1, CURLOPT_SSL_VERIFYHOST 2 and, with a CA file
// configured, CURLOPT_CAINFO. Any thread; the handle belongs to the caller.
void ApplyTlsVerification(CURL* handle);

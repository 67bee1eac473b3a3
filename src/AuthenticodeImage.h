// The parts of a PE image that an Authenticode check needs: where the
// checksum and the certificate-table directory entry lie (both left out of
// the image hash) and where the certificate table is.
//
// The image is accepted only when it is sound enough that a loader would
// take it and that every byte but the three left-out ranges is covered by
// the hash: DOS header with "MZ" and a PE header inside the file; a PE32 or
// PE32+ optional header long enough to hold the certificate-table entry; at
// most 96 sections, whose table and raw data lie inside the file and before
// the certificate table; a certificate table (when there is one) that is
// 8-byte aligned, lies after the headers and ends exactly at the end of the
// file, so no unhashed bytes can follow it.
//
// Stateless; any thread.
#pragma once
#include <cstdint>

#include "SignatureFileReader.h"

namespace signature {

struct AuthenticodeImage {
  bool sound = false;
  uint64_t checksumOffset = 0;          // 4 bytes, not hashed
  uint64_t certificateEntryOffset = 0;  // 8 bytes, not hashed
  uint64_t certificateTableOffset = 0;  // the file size when there is no table
  uint64_t certificateTableSize = 0;    // 0: the image is not signed
};

// Reads the headers of an opened file that starts with "MZ".
AuthenticodeImage ReadAuthenticodeImage(SignatureFileReader& file);

}  // namespace signature

// An OpenSSL source BIO over one range of the file under check, so that a
// detached signature can be verified over a content of any size without
// holding it in memory. The BIO ends at the end of the range; a failing read
// ends it early and is remembered, so the caller can tell a file that could
// not be read from one whose digest does not match.
//
// Owns the BIO; the reader must outlive this object. One thread at a time.
#pragma once
#include <openssl/bio.h>

#include <cstdint>

#include "SignatureFileReader.h"

namespace signature {

class SignatureRangeBio {
 public:
  SignatureRangeBio(SignatureFileReader* reader, uint64_t offset, uint64_t length);
  ~SignatureRangeBio();
  SignatureRangeBio(const SignatureRangeBio&) = delete;
  SignatureRangeBio& operator=(const SignatureRangeBio&) = delete;

  // nullptr when OpenSSL could not make the BIO.
  BIO* Get() const { return bio_; }
  bool ReadFailed() const { return state_.failed; }

  // What the BIO's callbacks see of this object.
  struct State {
    SignatureFileReader* reader;
    uint64_t offset;
    uint64_t remaining;
    bool failed;
  };

 private:
  State state_;
  BIO* bio_ = nullptr;
};

}  // namespace signature

// What the signature check says about a verdict (SignatureTrust.h): the
// message for the log and whether the file counts as validly signed. The
// message table is tested in a fixed order, so that a result code that two
// rows could match always reads the same. Messages are cut to 255
// characters, as they were formed in a buffer of 256.
//
// Pure; any thread.
#pragma once
#include <string>

#include "SignatureTrust.h"

namespace signature {

struct TrustMessage {
  std::wstring text;
  bool valid = false;
};

constexpr size_t kTrustMessageMaxLength = 255;

TrustMessage DescribeTrustVerdict(const TrustVerdict& verdict, const std::wstring& path);

}  // namespace signature

#include "SignatureTrust.h"

#include <string>

#include "AppendedSignature.h"
#include "Authenticode.h"
#include "SignatureFileReader.h"

namespace signature {

TrustVerdict VerifyFileTrust(const std::wstring& path) {
  SignatureFileReader file(path);
  if (file.OpenResult() != kTrustSuccess) return Verdict(file.OpenResult());
  std::string start;
  if (file.Size() >= 2 && !file.ReadAt(0, 2, &start)) return Verdict(kReadFault);
  if (start == "MZ") return VerifyAuthenticode(file);
  return VerifyAppendedSignature(file);
}

}  // namespace signature

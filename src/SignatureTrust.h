// Trust verification of a file's embedded code signature, under the
// hash-only policy: the signed digest must match the file and the signature
// must verify with the signer's certificate carried in the signature; no
// certificate chain, no trust list, no revocation. The answer has the shape of
// WinVerifyTrust's: a result code and the thread's last error, so that the
// messages of the signature check read the same on every system.
//
// Two kinds of file are understood:
// - a file that starts with "MZ" is a PE image: Authenticode (Authenticode.h);
// - any other file may end in an appended PKCS#7 block
//   (AppendedSignatureFormat.h).
//
// Stateless; any thread. Every input, however damaged, gets a verdict; a
// damaged file is never read past its end.
#pragma once
#include <cstdint>
#include <string>

namespace signature {

// The result codes (HRESULTs) that a verdict may carry.
constexpr uint32_t kTrustSuccess = 0;
constexpr uint32_t kTrustNoSignature = 0x800B0100u;          // TRUST_E_NOSIGNATURE
constexpr uint32_t kTrustSubjectFormUnknown = 0x800B0003u;   // TRUST_E_SUBJECT_FORM_UNKNOWN
constexpr uint32_t kTrustProviderUnknown = 0x800B0001u;      // TRUST_E_PROVIDER_UNKNOWN
constexpr uint32_t kTrustSubjectNotTrusted = 0x800B0004u;    // TRUST_E_SUBJECT_NOT_TRUSTED
constexpr uint32_t kTrustExplicitDistrust = 0x800B0111u;     // TRUST_E_EXPLICIT_DISTRUST
constexpr uint32_t kCryptSecuritySettings = 0x80092026u;     // CRYPT_E_SECURITY_SETTINGS
constexpr uint32_t kTrustBadDigest = 0x80096010u;            // TRUST_E_BAD_DIGEST
constexpr uint32_t kTrustNoSignerCertificate = 0x800B0104u;  // TRUST_E_NO_SIGNER_CERT
constexpr uint32_t kCryptBadMessage = 0x8009200Du;           // CRYPT_E_BAD_MSG
constexpr uint32_t kBadAlgorithm = 0x80090008u;              // NTE_BAD_ALGID
constexpr uint32_t kBadImageFormat = 0x800700C1u;            // ERROR_BAD_EXE_FORMAT
constexpr uint32_t kFileNotFound = 0x80070002u;              // ERROR_FILE_NOT_FOUND
constexpr uint32_t kAccessDenied = 0x80070005u;              // ERROR_ACCESS_DENIED
constexpr uint32_t kReadFault = 0x8007001Eu;                 // ERROR_READ_FAULT

struct TrustVerdict {
  uint32_t result = kTrustSuccess;
  uint32_t lastError = 0;  // what GetLastError would tell after the call

  constexpr bool operator==(const TrustVerdict& other) const {
    return result == other.result && lastError == other.lastError;
  }
};

// The verdicts the checks give, by what they found:
// valid                          {0, 0}
// no signature at all            {TRUST_E_NOSIGNATURE, TRUST_E_NOSIGNATURE}
// a PE image that is not sound   {TRUST_E_NOSIGNATURE, ERROR_BAD_EXE_FORMAT}
// a signature block not sound    {TRUST_E_NOSIGNATURE, CRYPT_E_BAD_MSG}
//   (lengths past the end, a bad trailer, DER that does not parse, wrong
//   content type, no signer)
// digest or signature mismatch   {TRUST_E_BAD_DIGEST, TRUST_E_BAD_DIGEST}
// signer certificate missing     {TRUST_E_NO_SIGNER_CERT, TRUST_E_NO_SIGNER_CERT}
// unsupported digest algorithm   {NTE_BAD_ALGID, NTE_BAD_ALGID}
// the file cannot be read        {ERROR_FILE_NOT_FOUND / ACCESS_DENIED / READ_FAULT, same}
constexpr TrustVerdict Verdict(uint32_t result, uint32_t lastError) {
  return TrustVerdict{result, lastError};
}
constexpr TrustVerdict Verdict(uint32_t result) { return TrustVerdict{result, result}; }

// WinVerifyTrust stand-in for one file (path in UTF-16/32 as everywhere).
TrustVerdict VerifyFileTrust(const std::wstring& path);

}  // namespace signature

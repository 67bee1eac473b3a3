// The layout of an appended signature, as the Linux kernel's module signing
// writes it, so that files signed by our own signer and by that tool read the
// same:
//
//   content | DER PKCS#7 SignedData (detached, over content) | info | magic
//
// info is 12 bytes: algorithm, hash, key-id type, signer-name length,
// key-id length (one byte each; 0, 0, 2 = PKCS#7, 0, 0), three zero bytes of
// padding and the DER length as a big-endian 32-bit number. magic is the 28
// characters "~Module signature appended~\n". Everything that describes the
// signer lives inside the PKCS#7 block.
//
// Pure functions; any thread. No OpenSSL here, so that the signer tool can
// share the layout without the checking code.
#pragma once
#include <cstdint>
#include <string>

namespace signature {

constexpr char kAppendedSignatureMagic[] = "~Module signature appended~\n";
constexpr uint64_t kAppendedSignatureMagicSize = sizeof(kAppendedSignatureMagic) - 1;
constexpr uint64_t kAppendedSignatureInfoSize = 12;
constexpr uint64_t kAppendedSignatureTrailerSize =
    kAppendedSignatureInfoSize + kAppendedSignatureMagicSize;
constexpr uint8_t kAppendedSignatureIdPkcs7 = 2;
// A PKCS#7 block with a certificate or two is a few KiB; a length beyond
// this is damage or an attempt to make the check read a lot.
constexpr uint64_t kAppendedSignatureMaxLength = 1024 * 1024;

// The 40 bytes (info and magic) that follow a DER block of this length.
std::string MakeAppendedSignatureTrailer(uint32_t signatureLength);

enum class AppendedTrailerStatus {
  kAbsent,     // the file does not end in the magic: not signed
  kMalformed,  // the magic is there but the info is not sound
  kFound,
};

struct AppendedSignatureLayout {
  AppendedTrailerStatus status = AppendedTrailerStatus::kAbsent;
  uint64_t contentLength = 0;    // bytes covered by the signature, from offset 0
  uint64_t signatureLength = 0;  // DER bytes, starting at contentLength
};

// Reads the layout of a file of fileSize bytes from its last bytes (tail: the
// last min(fileSize, kAppendedSignatureTrailerSize) bytes). kMalformed for a
// magic without room for the info, an info with other fields than those
// above, a DER length of 0, above kAppendedSignatureMaxLength or longer than
// what precedes the info.
AppendedSignatureLayout ParseAppendedSignatureTrailer(const std::string& tail, uint64_t fileSize);

}  // namespace signature

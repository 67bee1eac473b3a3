// Helpers of the signature tests: files as byte strings, the build's signing
// key, running the signing tools, a small PE image to sign, and a recorder of
// the program's log lines.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "SignatureTrust.h"

namespace signature_test {

std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);

// Runs program with arguments; its exit code (negative when it did not end
// within 60 s or could not start). Standard output goes to outputPath.
int Run(const std::string& program, const std::vector<std::string>& arguments,
        const std::string& outputPath);

// Signs in into out with the build's key: our own signer in the appended
// layout, or osslsigncode's Authenticode for a PE image ("sha1", "sha256",
// "sha384", "sha512", "md5").
void SignAppended(const std::string& in, const std::string& out);
void SignPe(const std::string& in, const std::string& out, const std::string& digest = "sha256");

// A minimal PE image: headers of 0x200 bytes, one ".text" section of 0x200
// bytes. PE32+ when plus. Offsets below are those of this layout.
std::string MakePeImage(bool plus);
namespace pe {
constexpr size_t kSectionCountAt = 0x46;
constexpr size_t kChecksumAt = 0x58 + 64;
constexpr size_t kSectionDataAt = 0x200;
size_t CertificateEntryAt(bool plus);
size_t SectionTableAt(bool plus);
}  // namespace pe

// Little-endian numbers inside a byte string.
uint32_t GetDword(const std::string& bytes, size_t at);
void PutDword(std::string* bytes, size_t at, uint32_t value);
void PutWord(std::string* bytes, size_t at, uint16_t value);

// Where the DER block that starts at `at` ends (definite lengths only).
size_t DerEnd(const std::string& bytes, size_t at);

// The verdict for bytes written to a file under folder.
signature::TrustVerdict VerdictOf(const std::string& folder, const std::string& bytes);

// True for the verdicts SignatureTrust.h lists for a file that can be read.
bool IsDefinedVerdict(const signature::TrustVerdict& verdict);

// Copies of bytes with 1 to 4 bytes inside [from, bytes.size()) set to random
// values, the same ones in every run.
std::vector<std::string> RandomlyDamaged(const std::string& bytes, size_t from, int count);

// Names of the verdicts, for readable failures.
std::string Describe(const signature::TrustVerdict& verdict);

// Records the program's log lines while it lives.
class LogRecorder {
 public:
  LogRecorder();
  ~LogRecorder();
  LogRecorder(const LogRecorder&) = delete;
  LogRecorder& operator=(const LogRecorder&) = delete;
  std::vector<std::string> Lines() const;
};

}  // namespace signature_test

namespace signature {
// gtest prints verdicts with this.
void PrintTo(const TrustVerdict& verdict, std::ostream* out);
}  // namespace signature

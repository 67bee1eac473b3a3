#include "SignatureTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <sstream>

#include "Logging.h"
#include "platform/Encoding.h"
#include "support/ChildProcess.h"

namespace signature_test {

namespace fs = std::filesystem;

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

int Run(const std::string& program, const std::vector<std::string>& arguments,
        const std::string& outputPath) {
  testing_support::ChildProcess child(program, arguments, outputPath);
  if (!child.Started()) return -10;
  return child.Wait(60000);
}

void SignAppended(const std::string& in, const std::string& out) {
  ASSERT_EQ(
      Run(VORNIK_SIGN_EXE, {VORNIK_SIGNING_KEY, VORNIK_SIGNING_CERT, in, out}, out + ".output"), 0);
}

void SignPe(const std::string& in, const std::string& out, const std::string& digest) {
  ASSERT_TRUE(fs::exists(VORNIK_OSSLSIGNCODE)) << "osslsigncode is missing (scripts/setup)";
  std::error_code ignored;
  fs::remove(out, ignored);  // osslsigncode does not overwrite
  ASSERT_EQ(Run(VORNIK_OSSLSIGNCODE,
                {"sign", "-h", digest, "-certs", VORNIK_SIGNING_CERT, "-key", VORNIK_SIGNING_KEY,
                 "-in", in, "-out", out},
                out + ".output"),
            0)
      << ReadBytes(out + ".output");
}

uint32_t GetDword(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  for (size_t i = 4; i-- > 0;) value = value << 8 | static_cast<uint8_t>(bytes.at(at + i));
  return value;
}

void PutDword(std::string* bytes, size_t at, uint32_t value) {
  for (size_t i = 0; i < 4; ++i) bytes->at(at + i) = static_cast<char>(value >> (8 * i) & 0xFF);
}

void PutWord(std::string* bytes, size_t at, uint16_t value) {
  bytes->at(at) = static_cast<char>(value & 0xFF);
  bytes->at(at + 1) = static_cast<char>(value >> 8);
}

namespace pe {
size_t CertificateEntryAt(bool plus) { return 0x58 + (plus ? 112 : 96) + 4 * 8; }
size_t SectionTableAt(bool plus) { return 0x58 + (plus ? 240 : 224); }
}  // namespace pe

std::string MakePeImage(bool plus) {
  std::string image(0x400, '\0');
  image[0] = 'M';
  image[1] = 'Z';
  PutDword(&image, 0x3C, 0x40);
  image.replace(0x40, 4, std::string("PE\0\0", 4));
  const uint16_t optionalSize = plus ? 240 : 224;
  PutWord(&image, 0x44, plus ? 0x8664 : 0x14C);  // machine
  PutWord(&image, pe::kSectionCountAt, 1);
  PutWord(&image, 0x54, optionalSize);
  PutWord(&image, 0x56, 0x0102);  // executable, 32-bit words
  const size_t optional = 0x58;
  PutWord(&image, optional, plus ? 0x20B : 0x10B);
  PutDword(&image, optional + 4, 0x200);    // size of code
  PutDword(&image, optional + 16, 0x1000);  // entry point
  PutDword(&image, optional + 32, 0x1000);  // section alignment
  PutDword(&image, optional + 36, 0x200);   // file alignment
  PutWord(&image, optional + 40, 6);        // operating system version
  PutWord(&image, optional + 48, 6);        // subsystem version
  PutDword(&image, optional + 56, 0x2000);  // size of image
  PutDword(&image, optional + 60, 0x200);   // size of headers
  PutWord(&image, optional + 68, 2);        // windows GUI
  PutDword(&image, optional + (plus ? 108 : 92), 16);
  const size_t section = pe::SectionTableAt(plus);
  image.replace(section, 5, ".text");
  PutDword(&image, section + 8, 0x10);
  PutDword(&image, section + 12, 0x1000);
  PutDword(&image, section + 16, 0x200);
  PutDword(&image, section + 20, 0x200);
  PutDword(&image, section + 36, 0x60000020);
  image.replace(pe::kSectionDataAt, 3, "\xC3\x90\x90");
  return image;
}

size_t DerEnd(const std::string& bytes, size_t at) {
  const auto byte = [&bytes](size_t i) { return static_cast<uint8_t>(bytes.at(i)); };
  const uint8_t first = byte(at + 1);
  if (first < 0x80) return at + 2 + first;
  const size_t count = first & 0x7F;
  size_t length = 0;
  for (size_t i = 0; i < count; ++i) length = length << 8 | byte(at + 2 + i);
  return at + 2 + count + length;
}

signature::TrustVerdict VerdictOf(const std::string& folder, const std::string& bytes) {
  const std::string path = folder + "/case";
  WriteBytes(path, bytes);
  return signature::VerifyFileTrust(platform::FromUtf8(path));
}

bool IsDefinedVerdict(const signature::TrustVerdict& verdict) {
  using namespace signature;
  const TrustVerdict defined[] = {
      Verdict(kTrustSuccess),
      Verdict(kTrustNoSignature),
      Verdict(kTrustNoSignature, kBadImageFormat),
      Verdict(kTrustNoSignature, kCryptBadMessage),
      Verdict(kTrustBadDigest),
      Verdict(kTrustNoSignerCertificate),
      Verdict(kBadAlgorithm),
  };
  for (const TrustVerdict& known : defined) {
    if (verdict == known) return true;
  }
  return false;
}

std::vector<std::string> RandomlyDamaged(const std::string& bytes, size_t from, int count) {
  std::mt19937 random(20261211);
  std::uniform_int_distribution<size_t> where(from, bytes.size() - 1);
  std::uniform_int_distribution<int> howMany(1, 4);
  std::uniform_int_distribution<int> value(0, 255);
  std::vector<std::string> copies;
  for (int i = 0; i < count; ++i) {
    std::string copy = bytes;
    for (int n = howMany(random); n > 0; --n)
      copy[where(random)] = static_cast<char>(value(random));
    copies.push_back(copy);
  }
  return copies;
}

std::string Describe(const signature::TrustVerdict& verdict) {
  char text[64];
  std::snprintf(text, sizeof text, "{0x%08x, 0x%08x}", verdict.result, verdict.lastError);
  return text;
}

namespace {

std::mutex& LinesMutex() {
  static std::mutex mutex;
  return mutex;
}

std::vector<std::string>& RecordedLines() {
  static std::vector<std::string> lines;
  return lines;
}

class RecordingCallback : public el::LogDispatchCallback {
 protected:
  void handle(const el::LogDispatchData* data) override {
    std::lock_guard<std::mutex> lock(LinesMutex());
    RecordedLines().push_back(data->logMessage()->message());
  }
};

constexpr char kRecorderId[] = "signature_test_recorder";

}  // namespace

LogRecorder::LogRecorder() {
  el::Loggers::reconfigureAllLoggers(el::ConfigurationType::ToStandardOutput, "false");
  el::Helpers::installLogDispatchCallback<RecordingCallback>(kRecorderId);
  std::lock_guard<std::mutex> lock(LinesMutex());
  RecordedLines().clear();
}

LogRecorder::~LogRecorder() {
  el::Helpers::uninstallLogDispatchCallback<RecordingCallback>(kRecorderId);
}

std::vector<std::string> LogRecorder::Lines() const {
  std::lock_guard<std::mutex> lock(LinesMutex());
  return RecordedLines();
}

}  // namespace signature_test

namespace signature {
void PrintTo(const TrustVerdict& verdict, std::ostream* out) {
  *out << signature_test::Describe(verdict);
}
}  // namespace signature

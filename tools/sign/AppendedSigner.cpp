#include "AppendedSigner.h"

#include <openssl/bio.h>
#include <openssl/cms.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>

#include "AppendedSignatureFormat.h"

namespace {

namespace fs = std::filesystem;

using BioPtr = std::unique_ptr<BIO, decltype(&BIO_free)>;
using KeyPtr = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using CertificatePtr = std::unique_ptr<X509, decltype(&X509_free)>;
using CmsPtr = std::unique_ptr<CMS_ContentInfo, decltype(&CMS_ContentInfo_free)>;

std::string OpenSslError(const std::string& what) {
  const unsigned long code = ERR_get_error();
  char text[256] = "";
  if (code != 0) ERR_error_string_n(code, text, sizeof text);
  ERR_clear_error();
  return what + (code != 0 ? std::string(": ") + text : std::string());
}

// The DER of a detached signature over the file at in.
bool MakeSignature(EVP_PKEY* key, X509* certificate, const std::string& in, std::string* der,
                   std::string* error) {
  BioPtr content(BIO_new_file(in.c_str(), "rb"), BIO_free);
  if (!content) {
    *error = OpenSslError("cannot read " + in);
    return false;
  }
  const unsigned flags = CMS_DETACHED | CMS_BINARY | CMS_NOATTR | CMS_NOSMIMECAP | CMS_PARTIAL;
  CmsPtr cms(CMS_sign(nullptr, nullptr, nullptr, nullptr, flags), CMS_ContentInfo_free);
  if (!cms || CMS_add1_signer(cms.get(), certificate, key, EVP_sha256(), flags) == nullptr ||
      CMS_final(cms.get(), content.get(), nullptr, flags) != 1) {
    *error = OpenSslError("signing failed");
    return false;
  }
  unsigned char* bytes = nullptr;
  const int length = i2d_CMS_ContentInfo(cms.get(), &bytes);
  if (length <= 0) {
    *error = OpenSslError("cannot encode the signature");
    return false;
  }
  der->assign(reinterpret_cast<const char*>(bytes), static_cast<size_t>(length));
  OPENSSL_free(bytes);
  return true;
}

bool WriteSigned(const std::string& in, const std::string& der, const std::string& out,
                 std::string* error) {
  const std::string temporary = out + ".signing-" + std::to_string(getpid());
  {
    std::ifstream source(in, std::ios::binary);
    std::ofstream target(temporary, std::ios::binary | std::ios::trunc);
    char buffer[64 * 1024];
    while (source && target) {
      source.read(buffer, sizeof buffer);
      target.write(buffer, source.gcount());
    }
    const bool readWhole = source.eof() && !source.bad();
    target << der << signature::MakeAppendedSignatureTrailer(static_cast<uint32_t>(der.size()));
    target.close();
    if (!readWhole || !target) {
      *error = "cannot write " + temporary;
      std::error_code ignored;
      fs::remove(temporary, ignored);
      return false;
    }
  }
  std::error_code failed;
  fs::permissions(temporary, fs::status(in).permissions(), failed);
  if (!failed) fs::rename(temporary, out, failed);
  if (failed) {
    *error = "cannot put " + out + " in place: " + failed.message();
    std::error_code ignored;
    fs::remove(temporary, ignored);
    return false;
  }
  return true;
}

}  // namespace

bool SignAppended(const std::string& keyPath, const std::string& certificatePath,
                  const std::string& in, const std::string& out, std::string* error) {
  BioPtr keyFile(BIO_new_file(keyPath.c_str(), "r"), BIO_free);
  KeyPtr key(keyFile ? PEM_read_bio_PrivateKey(keyFile.get(), nullptr, nullptr, nullptr) : nullptr,
             EVP_PKEY_free);
  if (!key) {
    *error = OpenSslError("cannot read the private key " + keyPath);
    return false;
  }
  BioPtr certificateFile(BIO_new_file(certificatePath.c_str(), "r"), BIO_free);
  CertificatePtr certificate(
      certificateFile ? PEM_read_bio_X509(certificateFile.get(), nullptr, nullptr, nullptr)
                      : nullptr,
      X509_free);
  if (!certificate) {
    *error = OpenSslError("cannot read the certificate " + certificatePath);
    return false;
  }
  std::string der;
  if (!MakeSignature(key.get(), certificate.get(), in, &der, error)) return false;
  if (der.size() > signature::kAppendedSignatureMaxLength) {
    *error = "the signature is larger than a check accepts";
    return false;
  }
  return WriteSigned(in, der, out, error);
}

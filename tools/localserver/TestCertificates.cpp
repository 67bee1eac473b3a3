#include "TestCertificates.h"

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <utility>
#include <vector>

namespace localserver {
namespace {

namespace fs = std::filesystem;

using KeyPtr = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using CertificatePtr = std::unique_ptr<X509, decltype(&X509_free)>;
using BioPtr = std::unique_ptr<BIO, decltype(&BIO_free)>;
using BignumPtr = std::unique_ptr<BIGNUM, decltype(&BN_free)>;
using ExtensionPtr = std::unique_ptr<X509_EXTENSION, decltype(&X509_EXTENSION_free)>;

constexpr long kValidBeforeNowSeconds = 3600;
constexpr long kValidAfterNowSeconds = 365L * 24 * 3600;

KeyPtr MakeKey() { return KeyPtr(EVP_EC_gen("P-256"), EVP_PKEY_free); }

bool SetRandomSerial(X509* certificate) {
  BignumPtr serial(BN_new(), BN_free);
  return serial && BN_rand(serial.get(), 64, BN_RAND_TOP_ONE, BN_RAND_BOTTOM_ANY) == 1 &&
         BN_to_ASN1_INTEGER(serial.get(), X509_get_serialNumber(certificate)) != nullptr;
}

bool SetSubject(X509* certificate, const char* commonName) {
  X509_NAME* name = X509_get_subject_name(certificate);
  const auto add = [name](const char* field, const char* value) {
    return X509_NAME_add_entry_by_txt(name, field, MBSTRING_ASC,
                                      reinterpret_cast<const unsigned char*>(value), -1, -1,
                                      0) == 1;
  };
  return add("O", "Vornik local test") && add("CN", commonName);
}

// issuer is the certificate itself for a self-signed one.
bool AddExtension(X509* certificate, X509* issuer, int nid, const char* value) {
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
  ExtensionPtr extension(X509V3_EXT_conf_nid(nullptr, &context, nid, value), X509_EXTENSION_free);
  return extension && X509_add_ext(certificate, extension.get(), -1) == 1;
}

struct CertificateRequest {
  EVP_PKEY* key;
  const char* commonName;
  X509* issuer;         // nullptr: self-signed
  EVP_PKEY* issuerKey;  // signs; the key itself when self-signed
  std::vector<std::pair<int, const char*>> extensions;
};

CertificatePtr MakeCertificate(const CertificateRequest& request) {
  CertificatePtr certificate(X509_new(), X509_free);
  X509* cert = certificate.get();
  if (!cert || X509_set_version(cert, 2) != 1 || !SetRandomSerial(cert) ||
      !X509_gmtime_adj(X509_getm_notBefore(cert), -kValidBeforeNowSeconds) ||
      !X509_gmtime_adj(X509_getm_notAfter(cert), kValidAfterNowSeconds) ||
      !SetSubject(cert, request.commonName) || X509_set_pubkey(cert, request.key) != 1) {
    return CertificatePtr(nullptr, X509_free);
  }
  X509* issuer = request.issuer ? request.issuer : cert;
  if (X509_set_issuer_name(cert, X509_get_subject_name(issuer)) != 1) {
    return CertificatePtr(nullptr, X509_free);
  }
  for (const auto& extension : request.extensions) {
    if (!AddExtension(cert, issuer, extension.first, extension.second)) {
      return CertificatePtr(nullptr, X509_free);
    }
  }
  if (X509_sign(cert, request.issuerKey, EVP_sha256()) <= 0)
    return CertificatePtr(nullptr, X509_free);
  return certificate;
}

CertificatePtr MakeAuthority(EVP_PKEY* key) {
  // The key identifier must exist before the authority key identifier that copies it.
  return MakeCertificate({key,
                          "Vornik local test CA",
                          nullptr,
                          key,
                          {{NID_basic_constraints, "critical,CA:TRUE"},
                           {NID_key_usage, "critical,keyCertSign,cRLSign"},
                           {NID_subject_key_identifier, "hash"},
                           {NID_authority_key_identifier, "keyid:always"}}});
}

CertificatePtr MakeServerCertificate(EVP_PKEY* key, X509* authority, EVP_PKEY* authorityKey) {
  return MakeCertificate(
      {key,
       "localhost",
       authority,
       authorityKey,
       {{NID_basic_constraints, "critical,CA:FALSE"},
        {NID_key_usage, "critical,digitalSignature"},
        {NID_ext_key_usage, "serverAuth"},
        // libcurl sends every *.localhost name to the loopback address, so tests
        // can use host names such as "cdn.localhost" that the program
        // classifies.
        {NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost,DNS:cdn.localhost,DNS:dl.localhost"},
        {NID_subject_key_identifier, "hash"},
        {NID_authority_key_identifier, "keyid:always"}}});
}

std::string BioText(BIO* bio) {
  char* data = nullptr;
  const long size = BIO_get_mem_data(bio, &data);
  return size > 0 ? std::string(data, static_cast<size_t>(size)) : std::string();
}

std::string CertificatePem(X509* certificate) {
  BioPtr bio(BIO_new(BIO_s_mem()), BIO_free);
  if (!bio || PEM_write_bio_X509(bio.get(), certificate) != 1) return std::string();
  return BioText(bio.get());
}

std::string PrivateKeyPem(EVP_PKEY* key) {
  BioPtr bio(BIO_new(BIO_s_mem()), BIO_free);
  if (!bio ||
      PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr) != 1) {
    return std::string();
  }
  return BioText(bio.get());
}

// Writes beside the target, then renames, so a reader never sees half a file.
bool WriteFileAtomically(const std::string& path, const std::string& text, bool secret) {
  static std::atomic<unsigned> counter{0};
  const std::string temporary =
      path + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
      std::error_code ignored;
      fs::remove(temporary, ignored);
      return false;
    }
  }
  std::error_code error;
  if (secret) {
    fs::permissions(temporary, fs::perms::owner_read | fs::perms::owner_write,
                    fs::perm_options::replace, error);
  }
  if (!error) fs::rename(temporary, path, error);
  if (error) fs::remove(temporary, error);
  return !error;
}

}  // namespace

bool MakeTestCertificates(const std::string& folder, TestCertificates* out) {
  std::error_code error;
  fs::create_directories(folder, error);
  if (error || out == nullptr) return false;
  KeyPtr authorityKey = MakeKey();
  KeyPtr serverKey = MakeKey();
  if (!authorityKey || !serverKey) return false;
  CertificatePtr authority = MakeAuthority(authorityKey.get());
  if (!authority) return false;
  CertificatePtr server =
      MakeServerCertificate(serverKey.get(), authority.get(), authorityKey.get());
  if (!server) return false;
  const std::string authorityPem = CertificatePem(authority.get());
  const std::string serverPem = CertificatePem(server.get());
  const std::string serverKeyPem = PrivateKeyPem(serverKey.get());
  if (authorityPem.empty() || serverPem.empty() || serverKeyPem.empty()) return false;
  TestCertificates made;
  made.caCertificatePem = folder + "/ca.pem";
  made.server.certificateChainPem = folder + "/server.pem";
  made.server.privateKeyPem = folder + "/server.key";
  if (!WriteFileAtomically(made.caCertificatePem, authorityPem, false) ||
      !WriteFileAtomically(made.server.privateKeyPem, serverKeyPem, true) ||
      !WriteFileAtomically(made.server.certificateChainPem, serverPem, false)) {
    return false;
  }
  *out = std::move(made);
  return true;
}

}  // namespace localserver

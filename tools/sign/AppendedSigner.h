// Signs a file in the appended-signature layout (src/AppendedSignatureFormat.h):
// a detached PKCS#7 SignedData over the whole input, SHA-256, made with
// OpenSSL's CMS API. Unlike the kernel's module signing, which leaves the
// certificate out because the kernel already holds it, the signer's
// certificate is carried in the block, so that the check needs no key store.
// No signed attributes, as the module signing writes it.
//
// One call per file; any thread.
#pragma once
#include <string>

// Writes in, followed by its signature, to out (through a temporary file
// beside out, renamed over it; out gets in's permissions). keyPath and
// certificatePath are PEM files. False, with *error saying why, when
// anything fails; out is then left as it was.
bool SignAppended(const std::string& keyPath, const std::string& certificatePath,
                  const std::string& in, const std::string& out, std::string* error);

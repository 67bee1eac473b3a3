// Verification of an appended signature (layout in AppendedSignatureFormat.h):
// the PKCS#7 block must be a detached SignedData over the data content that
// precedes it, with at least one signer, every signer's certificate inside
// the block and every signature valid over the content (with or without
// signed attributes). The certificates are not checked against any authority:
// the hash-only policy of SignatureTrust.h.
//
// Stateless; any thread.
#pragma once
#include "SignatureFileReader.h"
#include "SignatureTrust.h"

namespace signature {

// The verdict for an opened file that is not a PE image. A file without the
// trailer is "no signature"; the other verdicts as SignatureTrust.h lists.
TrustVerdict VerifyAppendedSignature(SignatureFileReader& file);

}  // namespace signature

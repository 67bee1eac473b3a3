// Authenticode verification of a PE image under the hash-only policy: the
// image hash (every byte but the checksum, the certificate-table entry and
// the table itself; image soundness in AuthenticodeImage.h) must equal the
// digest in the signed SpcIndirectDataContent (AuthenticodeContent.h), and
// the PKCS#7 signature of every signer over that content must verify with the
// signer's certificate inside the block. Certificates are not checked against
// any authority, time or revocation list.
//
// The certificate table holds one WIN_CERTIFICATE of revision 2.0 and type
// PKCS_SIGNED_DATA whose DER fills it up to at most 7 zero bytes of padding.
// Digests, of the image and every one the SignedData announces: SHA-1,
// SHA-256, SHA-384, SHA-512; another gives NTE_BAD_ALGID.
//
// Stateless; any thread.
#pragma once
#include "SignatureFileReader.h"
#include "SignatureTrust.h"

namespace signature {

// The verdict for an opened file that starts with "MZ" (SignatureTrust.h).
TrustVerdict VerifyAuthenticode(SignatureFileReader& file);

}  // namespace signature

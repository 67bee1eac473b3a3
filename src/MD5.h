// MD5 message digest (RFC 1321), written here so that the download check and
// the banner request signature share one implementation with no library
// behind it.
//
// Thread safety: an MD5 object belongs to one thread at a time; the free
// functions keep no state and may be called from any thread at once.
// Digest texts are always 32 lowercase hexadecimal characters, high nibble of
// each byte first, or empty where a function says so.
#pragma once
#include <cstddef>
#include <cstdint>
#include <istream>
#include <string>

class MD5 {
 public:
  MD5() { reset(); }

  // Starts a new digest; the only way to reuse an object after finalize().
  void reset();

  // Appends bytes to the message. Ignored once the object is finalised, so a
  // late call cannot silently change a digest that was already handed out.
  void update(const void* input, std::size_t length);

  // Appends everything the stream yields until its end, reading 1 MiB at a
  // time. Returns false when the stream failed for another reason than its
  // end; the bytes read before the failure are already part of the message.
  bool update(std::istream& input);

  // Pads the message and fixes the digest. A second call changes nothing.
  void finalize();

  // The digest of a finalised object; "" before finalize().
  std::string hexdigest() const;

 private:
  void processBlocks(const unsigned char* blocks, std::size_t count);

  std::uint32_t state_[4];
  std::uint64_t byteCount_;  // message length modulo 2^64 bytes (bit count is 8 times it)
  unsigned char buffer_[64];
  unsigned char digest_[16];
  bool finalized_;
};

// Digest of the text's bytes (no terminator). Example: "abc" gives
// "900150983cd24fb0d6963f7d28e17f72".
std::string Md5OfText(const std::string& text);

// Digest of a whole file, read in 1 MiB blocks so that memory stays bounded
// whatever the file size. Blocks the caller while it reads and hashes
// (roughly a second for 512 MiB already in the page cache). Returns "" when
// the file cannot be opened or a read fails part-way: a digest of part of a
// file would look like a real one. The caller decides what "" means (the
// download check digests a missing file as empty input).
std::string Md5OfFile(const std::wstring& path);

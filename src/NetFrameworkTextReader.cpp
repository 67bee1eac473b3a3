#include "NetFrameworkTextReader.h"

#include <filesystem>

#include "platform/Encoding.h"

namespace {

constexpr size_t kBlockSize = 64 * 1024;
constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

// Length of the tail of bytes that may still grow into a valid UTF-8
// sequence with the next block (at most 3 bytes).
size_t IncompleteTail(const std::string& bytes) {
  for (size_t back = 1; back <= 3 && back <= bytes.size(); ++back) {
    const auto byte = static_cast<unsigned char>(bytes[bytes.size() - back]);
    if ((byte & 0xC0) == 0x80) continue;  // a continuation byte: look further back
    const size_t needed = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
    return needed > back ? back : 0;
  }
  return 0;
}

void JoinLineEnds(std::string* bytes) {
  std::string joined;
  joined.reserve(bytes->size());
  for (size_t i = 0; i < bytes->size(); ++i) {
    if ((*bytes)[i] == '\r' && i + 1 < bytes->size() && (*bytes)[i + 1] == '\n') continue;
    joined += (*bytes)[i];
  }
  bytes->swap(joined);
}

}  // namespace

NetFrameworkTextReader::NetFrameworkTextReader(const std::wstring& path) {
  const std::filesystem::path file(platform::ToUtf8(path));
  // A folder or a pipe in the file's place reads as no file; a pipe could
  // block the open.
  std::error_code error;
  if (!std::filesystem::is_regular_file(file, error)) return;
  in_.open(file, std::ios::binary);
}

bool NetFrameworkTextReader::ReadBlock() {
  if (atEnd_ || !in_.is_open()) return false;
  std::string bytes = undecoded_;
  undecoded_.clear();
  const size_t kept = bytes.size();
  bytes.resize(kept + kBlockSize);
  in_.read(&bytes[kept], static_cast<std::streamsize>(kBlockSize));
  bytes.resize(kept + static_cast<size_t>(in_.gcount()));
  atEnd_ = !in_;
  if (atStart_ && bytes.compare(0, 3, kByteOrderMark) == 0) bytes.erase(0, 3);
  atStart_ = false;
  if (!atEnd_) {
    // A CR or a sequence cut by the block's end waits for the next block.
    size_t hold = IncompleteTail(bytes);
    if (hold == 0 && !bytes.empty() && bytes.back() == '\r') hold = 1;
    undecoded_ = bytes.substr(bytes.size() - hold);
    bytes.resize(bytes.size() - hold);
  }
  JoinLineEnds(&bytes);
  text_.erase(0, textAt_);
  textAt_ = 0;
  text_ += platform::FromUtf8(bytes);
  return true;
}

bool NetFrameworkTextReader::NextPiece(std::wstring* piece) {
  for (;;) {
    const size_t lineEnd = text_.find(L'\n', textAt_);
    const size_t available = text_.size() - textAt_;
    if (lineEnd != std::wstring::npos && lineEnd - textAt_ < kMaxPieceLength) {
      *piece = text_.substr(textAt_, lineEnd + 1 - textAt_);
      textAt_ = lineEnd + 1;
      return true;
    }
    if (available >= kMaxPieceLength || (atEnd_ && available > 0)) {
      const size_t length = available < kMaxPieceLength ? available : kMaxPieceLength;
      *piece = text_.substr(textAt_, length);
      textAt_ += length;
      return true;
    }
    if (!ReadBlock()) return false;
  }
}

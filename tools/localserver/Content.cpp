#include "Content.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <utility>

namespace localserver {
namespace {

constexpr int64_t kPieceBytes = 256 * 1024;

// The bytes still to come of one read, shared by copies of its source.
struct Remaining {
  int64_t next;
  int64_t left;

  // The size of the next piece; 0 at the end.
  size_t Take() {
    const int64_t take = std::min(left, kPieceBytes);
    next += take;
    left -= take;
    return static_cast<size_t>(take);
  }
};

BodySource ReadText(std::shared_ptr<const std::string> bytes, int64_t first, int64_t count) {
  const int64_t size = static_cast<int64_t>(bytes->size());
  const int64_t start = std::clamp<int64_t>(first, 0, size);
  const int64_t length = std::clamp<int64_t>(count, 0, size - start);
  auto remaining = std::make_shared<Remaining>(Remaining{start, length});
  return [bytes, remaining](std::string* piece) {
    const int64_t at = remaining->next;
    const size_t take = remaining->Take();
    if (take == 0) return false;
    piece->assign(*bytes, static_cast<size_t>(at), take);
    return true;
  };
}

struct DiskRead {
  std::string path;
  Remaining remaining;
  std::ifstream in;
  bool opened = false;
};

bool ReadPiece(DiskRead* read, std::string* piece) {
  if (!read->opened) {
    read->opened = true;
    read->in.open(read->path, std::ios::binary);
    read->in.seekg(read->remaining.next);
  }
  const size_t take = read->remaining.Take();
  if (take == 0 || !read->in) return false;
  piece->resize(take);
  read->in.read(piece->data(), static_cast<std::streamsize>(take));
  piece->resize(static_cast<size_t>(std::max<std::streamsize>(read->in.gcount(), 0)));
  return !piece->empty();
}

}  // namespace

Content::Content() : bytes_(std::make_shared<const std::string>()) {}

Content Content::Text(std::string bytes) {
  Content content;
  content.bytes_ = std::make_shared<const std::string>(std::move(bytes));
  return content;
}

Content Content::DiskFile(std::string path) {
  Content content;
  content.bytes_.reset();
  content.path_ = std::move(path);
  return content;
}

int64_t Content::Size() const {
  if (bytes_) return static_cast<int64_t>(bytes_->size());
  std::error_code error;
  const auto size = std::filesystem::file_size(path_, error);
  return error ? -1 : static_cast<int64_t>(size);
}

BodySource Content::Read(int64_t first, int64_t count) const {
  if (bytes_) return ReadText(bytes_, first, count);
  auto read = std::make_shared<DiskRead>();
  read->path = path_;
  read->remaining = Remaining{std::max<int64_t>(first, 0), std::max<int64_t>(count, 0)};
  return [read](std::string* piece) { return ReadPiece(read.get(), piece); };
}

BodySource Filler(int64_t count, char byte) {
  auto remaining = std::make_shared<Remaining>(Remaining{0, std::max<int64_t>(count, 0)});
  return [remaining, byte](std::string* piece) {
    const size_t take = remaining->Take();
    piece->assign(take, byte);
    return take > 0;
  };
}

BodySource Concatenate(BodySource first, BodySource second) {
  auto firstDone = std::make_shared<bool>(false);
  return [first = std::move(first), second = std::move(second), firstDone](std::string* piece) {
    if (!*firstDone) {
      if (first(piece)) return true;
      *firstDone = true;
    }
    return second(piece);
  };
}

}  // namespace localserver

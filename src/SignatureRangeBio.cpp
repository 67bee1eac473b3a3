#include "SignatureRangeBio.h"

#include <limits>

namespace signature {
namespace {

using State = SignatureRangeBio::State;

int ReadRange(BIO* bio, char* out, size_t size, size_t* read) {
  auto* state = static_cast<State*>(BIO_get_data(bio));
  *read = 0;
  if (state == nullptr || state->failed || state->remaining == 0 || size == 0) return 0;
  const uint64_t now = size < state->remaining ? size : state->remaining;
  if (!state->reader->ReadInto(state->offset, now, out)) {
    state->failed = true;
    return 0;
  }
  state->offset += now;
  state->remaining -= now;
  *read = static_cast<size_t>(now);
  return 1;
}

long ControlRange(BIO* bio, int command, long, void*) {
  const auto* state = static_cast<const State*>(BIO_get_data(bio));
  switch (command) {
    case BIO_CTRL_EOF:
      return state == nullptr || state->failed || state->remaining == 0;
    case BIO_CTRL_PENDING: {
      if (state == nullptr || state->failed) return 0;
      constexpr uint64_t kMax = static_cast<uint64_t>(std::numeric_limits<long>::max());
      return static_cast<long>(state->remaining < kMax ? state->remaining : kMax);
    }
    case BIO_CTRL_FLUSH:
      return 1;
    default:
      return 0;
  }
}

int CreateRange(BIO* bio) {
  BIO_set_init(bio, 1);
  return 1;
}

// One method table for the process, made on first use and kept to the end.
const BIO_METHOD* RangeMethod() {
  static BIO_METHOD* const method = [] {
    const int index = BIO_get_new_index();
    if (index == -1) return static_cast<BIO_METHOD*>(nullptr);
    BIO_METHOD* made = BIO_meth_new(index | BIO_TYPE_SOURCE_SINK, "file range");
    if (made != nullptr) {
      BIO_meth_set_read_ex(made, ReadRange);
      BIO_meth_set_ctrl(made, ControlRange);
      BIO_meth_set_create(made, CreateRange);
    }
    return made;
  }();
  return method;
}

}  // namespace

SignatureRangeBio::SignatureRangeBio(SignatureFileReader* reader, uint64_t offset, uint64_t length)
    : state_{reader, offset, length, false} {
  if (!reader->Contains(offset, length) || RangeMethod() == nullptr) return;
  bio_ = BIO_new(RangeMethod());
  if (bio_ != nullptr) BIO_set_data(bio_, &state_);
}

SignatureRangeBio::~SignatureRangeBio() { BIO_free(bio_); }

}  // namespace signature

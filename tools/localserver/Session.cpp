#include "Session.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string_view>

#include "ChunkedDecoder.h"
#include "HttpParser.h"
#include "HttpText.h"
#include "ReplyFormat.h"

namespace localserver {
namespace {

constexpr size_t kReadBlockBytes = 64 * 1024;

// A reply's body as a sequence of pieces: slices of its text, or what its
// source produces.
class BodyPieces {
 public:
  explicit BodyPieces(const Reply& reply) : reply_(reply) {}

  // The next piece of at most `most` bytes; false at the end. A source that
  // throws ends the body there.
  bool Next(size_t most, std::string_view* piece) {
    const std::string& from = reply_.bodySource ? produced_ : reply_.body;
    while (offset_ >= from.size()) {
      if (!reply_.bodySource || !Produce()) return false;
    }
    *piece = std::string_view(from).substr(offset_, most);
    offset_ += piece->size();
    return true;
  }

 private:
  bool Produce() {
    produced_.clear();
    offset_ = 0;
    try {
      return reply_.bodySource(&produced_);
    } catch (...) {
      return false;
    }
  }

  const Reply& reply_;
  std::string produced_;
  size_t offset_ = 0;
};

// The body bytes to send before cutting (truncating or stalling).
int64_t BodyLimit(const Reply& reply) {
  int64_t limit = INT64_MAX;
  for (const int64_t cut : {reply.truncateBodyAt, reply.stallAfter}) {
    if (cut >= 0) limit = std::min(limit, cut);
  }
  return limit;
}

}  // namespace

Session::Session(Stream& stream, int serial, SessionHost& host)
    : stream_(stream), serial_(serial), host_(host), buffer_(kReadBlockBytes) {}

Ending Session::Run() {
  for (;;) {
    Request request;
    int rejection = 0;
    switch (ReadRequest(&request, &rejection)) {
      case Outcome::kEnded:
        return Ending::kAbrupt;
      case Outcome::kRejected:
        stream_.Write(FormatHead(Reply::Status(rejection, ReasonPhrase(rejection)), true) +
                      ReasonPhrase(rejection));
        return Ending::kGraceful;
      case Outcome::kComplete:
        break;
    }
    host_.Record(request);
    const Ending ending = Answer(request, host_.ChooseReply(request));
    if (ending != Ending::kKeepOpen) return ending;
  }
}

bool Session::Fill() {
  const size_t n = stream_.Read(buffer_.data(), buffer_.size());
  if (n == 0) return false;
  pending_.append(buffer_.data(), n);
  return true;
}

Session::Outcome Session::ReadHead(size_t* headEnd, int* rejection) {
  size_t searchFrom = 0;
  for (;;) {
    const size_t blank = pending_.find("\r\n\r\n", searchFrom);
    if (blank != std::string::npos && blank + 4 <= kMaxHeadBytes) {
      *headEnd = blank + 4;
      return Outcome::kComplete;
    }
    if (blank != std::string::npos || pending_.size() > kMaxHeadBytes) {
      *rejection = 431;
      return Outcome::kRejected;
    }
    const size_t lineEnd = pending_.find("\r\n");
    Request probe;
    *rejection = lineEnd == std::string::npos
                     ? (CannotStartRequestLine(pending_) ? 400 : 0)
                     : ParseRequestLine(pending_.substr(0, lineEnd), &probe);
    if (*rejection != 0) return Outcome::kRejected;
    searchFrom = pending_.size() < 3 ? 0 : pending_.size() - 3;
    if (!Fill()) return Outcome::kEnded;
  }
}

Session::Outcome Session::ReadSizedBody(size_t headEnd, uint64_t length, Request* request,
                                        size_t* end) {
  *end = headEnd + static_cast<size_t>(length);
  while (pending_.size() < *end) {
    if (!Fill()) return Outcome::kEnded;
  }
  request->body = pending_.substr(headEnd, static_cast<size_t>(length));
  return Outcome::kComplete;
}

Session::Outcome Session::ReadChunkedBody(size_t headEnd, Request* request, size_t* end,
                                          int* rejection) {
  ChunkedDecoder decoder(headEnd);
  for (;;) {
    switch (decoder.Feed(pending_)) {
      case ChunkedDecoder::Result::kDone:
        request->body = decoder.TakeBody();
        *end = decoder.End();
        return Outcome::kComplete;
      case ChunkedDecoder::Result::kBad:
        *rejection = 400;
        return Outcome::kRejected;
      case ChunkedDecoder::Result::kTooLarge:
        *rejection = 413;
        return Outcome::kRejected;
      case ChunkedDecoder::Result::kNeedMore:
        if (!Fill()) return Outcome::kEnded;
        break;
    }
  }
}

int Session::MeetExpectation(const Request& request, const BodyFraming& framing, size_t headEnd) {
  const std::string expect = request.Header("Expect");
  if (expect.empty()) return 0;
  if (!EqualsNoCase(expect, "100-continue")) return 417;
  // A client that sent body bytes already is not waiting for us.
  if (request.version == "HTTP/1.1" && framing.HasBody() && pending_.size() == headEnd) {
    stream_.Write("HTTP/1.1 100 Continue\r\n\r\n");
  }
  return 0;
}

Session::Outcome Session::ReadRequest(Request* request, int* rejection) {
  size_t headEnd = 0;
  Outcome outcome = ReadHead(&headEnd, rejection);
  if (outcome != Outcome::kComplete) return outcome;
  BodyFraming framing;
  *rejection = ParseHead(pending_.substr(0, headEnd - 4), request);
  if (*rejection == 0) *rejection = DecideFraming(*request, &framing);
  if (*rejection == 0) *rejection = MeetExpectation(*request, framing, headEnd);
  if (*rejection != 0) return Outcome::kRejected;
  size_t end = headEnd;
  outcome = framing.chunked ? ReadChunkedBody(headEnd, request, &end, rejection)
                            : ReadSizedBody(headEnd, framing.length, request, &end);
  if (outcome != Outcome::kComplete) return outcome;
  request->raw = pending_.substr(0, end);
  pending_.erase(0, end);
  request->connection = serial_;
  return Outcome::kComplete;
}

Ending Session::Answer(const Request& request, const Reply& reply) {
  int64_t sent = 0;
  const Ending ending = Deliver(request, reply, &sent);
  if (reply.afterSending) reply.afterSending(sent);
  return ending;
}

Ending Session::Deliver(const Request& request, const Reply& reply, int64_t* sent) {
  if (reply.delayMs > 0 && !host_.WaitUnlessStopping(reply.delayMs)) return Ending::kAbrupt;
  if (reply.fault == Reply::Fault::kDrop) return Ending::kGraceful;
  if (reply.fault == Reply::Fault::kReset) return Ending::kReset;
  const bool stalling = reply.stallAfter >= 0;
  const bool closing = reply.truncateBodyAt >= 0 || stalling || RequestWantsClose(request) ||
                       ListsToken(FirstHeader(reply.headers, "Connection"), "close") ||
                       (reply.bodySource && reply.bodyLength < 0);
  std::string head = FormatHead(reply, closing);
  if (request.method == "HEAD" || StatusForbidsBody(reply.status)) {
    if (!stream_.Write(head)) return Ending::kAbrupt;
    return closing ? Ending::kGraceful : Ending::kKeepOpen;
  }
  switch (SendBody(reply, BodyLimit(reply), &head, sent)) {
    case BodyEnd::kFailed:
      return Ending::kAbrupt;
    case BodyEnd::kAtLimit:
      if (stalling && *sent == reply.stallAfter) {
        stream_.AwaitClient();
        return Ending::kAbrupt;
      }
      return Ending::kGraceful;
    case BodyEnd::kComplete:
      break;
  }
  // A streamed body that did not match its Content-Length leaves the
  // connection out of step; only closing tells the client where it ends.
  const bool misframed = reply.bodySource && reply.bodyLength >= 0 && *sent != reply.bodyLength;
  return closing || misframed ? Ending::kGraceful : Ending::kKeepOpen;
}

Session::BodyEnd Session::SendBody(const Reply& reply, int64_t limit, std::string* head,
                                   int64_t* sent) {
  BodyPieces pieces(reply);
  const RatePacer pacer(reply.bytesPerSecond, RatePacer::Clock::now());
  std::string_view piece;
  while (*sent < limit) {
    const int64_t most = std::min<int64_t>(static_cast<int64_t>(pacer.PieceBytes()), limit - *sent);
    if (!pieces.Next(static_cast<size_t>(most), &piece)) break;
    if (!AwaitDue(pacer, *sent)) return BodyEnd::kFailed;
    bool written = false;
    if (head->empty()) {
      written = stream_.Write(piece.data(), piece.size());
    } else {
      head->append(piece);
      written = stream_.Write(*head);
      head->clear();
    }
    if (!written) return BodyEnd::kFailed;
    *sent += static_cast<int64_t>(piece.size());
  }
  if (!head->empty() && !stream_.Write(*head)) return BodyEnd::kFailed;
  return *sent >= limit ? BodyEnd::kAtLimit : BodyEnd::kComplete;
}

bool Session::AwaitDue(const RatePacer& pacer, int64_t sent) {
  if (!pacer.Limited()) return true;
  const auto wait = pacer.DueTime(sent) - RatePacer::Clock::now();
  if (wait <= RatePacer::Clock::duration::zero()) return true;
  const int64_t ms = std::chrono::ceil<std::chrono::milliseconds>(wait).count();
  return host_.WaitUnlessStopping(static_cast<int>(std::min<int64_t>(ms, INT32_MAX)));
}

}  // namespace localserver

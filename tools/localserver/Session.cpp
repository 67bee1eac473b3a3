#include "Session.h"

#include <algorithm>

#include "ChunkedDecoder.h"
#include "HttpParser.h"
#include "HttpText.h"
#include "ReplyFormat.h"

namespace localserver {
namespace {

constexpr size_t kReadBlockBytes = 64 * 1024;

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
  if (reply.delayMs > 0 && !host_.WaitUnlessStopping(reply.delayMs)) return Ending::kAbrupt;
  if (reply.fault == Reply::Fault::kDrop) return Ending::kGraceful;
  if (reply.fault == Reply::Fault::kReset) return Ending::kReset;
  const bool truncating = reply.truncateBodyAt >= 0;
  const bool closing = truncating || RequestWantsClose(request) ||
                       ListsToken(FirstHeader(reply.headers, "Connection"), "close");
  std::string message = FormatHead(reply, closing);
  if (request.method != "HEAD" && !StatusForbidsBody(reply.status)) {
    const size_t length = truncating
                              ? static_cast<size_t>(std::min<int64_t>(
                                    reply.truncateBodyAt, static_cast<int64_t>(reply.body.size())))
                              : reply.body.size();
    message.append(reply.body, 0, length);
  }
  if (!stream_.Write(message)) return Ending::kAbrupt;
  return closing ? Ending::kGraceful : Ending::kKeepOpen;
}

}  // namespace localserver

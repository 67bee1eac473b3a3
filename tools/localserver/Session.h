// The HTTP conversation on one connection: reads requests one at a time,
// records each, and answers it with the reply its host chooses. Internal to
// the localserver library. A session runs on its connection's thread; the
// host's methods are called from that thread.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "LocalHttpServer.h"
#include "RatePacer.h"
#include "Stream.h"

namespace localserver {

struct BodyFraming;

// How a connection ends.
enum class Ending {
  kKeepOpen,  // not yet: serve the next request
  kAbrupt,    // the client went away, or the server stops: just close
  kGraceful,  // our side is done: end sending, let the client read, close
  kReset,     // close with RST
};

// What a connection needs of its server.
class SessionHost {
 public:
  virtual void Record(const Request& request) = 0;
  virtual Reply ChooseReply(const Request& request) = 0;
  // False when the server stops during the wait.
  virtual bool WaitUnlessStopping(int delayMs) = 0;

 protected:
  ~SessionHost() = default;
};

class Session {
 public:
  // stream and host outlive the session; serial numbers the connection.
  Session(Stream& stream, int serial, SessionHost& host);

  // Serves requests until the connection is to end; never kKeepOpen.
  Ending Run();

 private:
  enum class Outcome { kComplete, kEnded, kRejected };

  bool Fill();
  Outcome ReadHead(size_t* headEnd, int* rejection);
  Outcome ReadSizedBody(size_t headEnd, uint64_t length, Request* request, size_t* end);
  Outcome ReadChunkedBody(size_t headEnd, Request* request, size_t* end, int* rejection);
  // 0, or the status that refuses an expectation we cannot meet.
  int MeetExpectation(const Request& request, const BodyFraming& framing, size_t headEnd);
  Outcome ReadRequest(Request* request, int* rejection);

  enum class BodyEnd { kComplete, kAtLimit, kFailed };
  Ending Answer(const Request& request, const Reply& reply);
  Ending Deliver(const Request& request, const Reply& reply, int64_t* sent);
  // Sends the head (with the first piece of the body) and the body up to
  // limit bytes, paced as the reply asks; *sent counts the body bytes.
  BodyEnd SendBody(const Reply& reply, int64_t limit, std::string* head, int64_t* sent);
  // Waits until the pacer lets the piece after sent bytes go; false when the
  // server stops meanwhile.
  bool AwaitDue(const RatePacer& pacer, int64_t sent);

  Stream& stream_;
  const int serial_;
  SessionHost& host_;
  std::string pending_;  // received, not yet taken by a request
  std::vector<char> buffer_;
};

}  // namespace localserver

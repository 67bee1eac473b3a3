// One connection's byte stream, plain or TLS. Internal to the localserver
// library. A stream is used by one thread; it does not own the socket, which
// its caller closes after the stream is gone.
#pragma once
#include <openssl/ssl.h>

#include <cstddef>
#include <memory>
#include <string>

namespace localserver {

class Stream {
 public:
  virtual ~Stream() = default;
  // TLS: the server handshake (blocks); plain: nothing to do. False on failure.
  virtual bool Handshake() = 0;
  // Bytes read (> 0); 0 at the end of the stream or on an error. Blocks.
  virtual size_t Read(char* buffer, size_t size) = 0;
  // Everything or false; blocks until written.
  virtual bool Write(const char* data, size_t size) = 0;
  bool Write(const std::string& data) { return Write(data.data(), data.size()); }
  // Ends what we send (TLS close_notify, then FIN) but keeps reading possible.
  virtual void FinishSending() = 0;
  // Blocks until the client sends anything or closes, or the connection is
  // shut down (the server stops or refuses); reads nothing.
  virtual void AwaitClient() = 0;
};

std::unique_ptr<Stream> MakePlainStream(int fd);
// context is shared by all connections and outlives the stream.
std::unique_ptr<Stream> MakeTlsStream(SSL_CTX* context, int fd);

}  // namespace localserver

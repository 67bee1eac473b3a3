#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>

#include "PlatformTestSupport.h"
#include "platform/Paths.h"
#include "platform/WindowRegistry.h"
#include "support/TestEnvironment.h"

using platform::BringWindowToFront;
using platform::FindWindowByClass;
using platform::WindowClassRegistration;

namespace {

using Clock = std::chrono::steady_clock;

class WindowRegistryTest : public ::testing::Test {
 protected:
  std::string SocketFile(const std::string& sanitizedName) const {
    return env_.Runtime() + "/vornik-window-" + sanitizedName + ".sock";
  }

  testing_support::TestEnvironment env_;
};

sockaddr_un Address(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
  return address;
}

// A socket bound at path; listening when listen is true.
int BoundSocket(const std::string& path, bool listening) {
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const sockaddr_un address = Address(path);
  if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) return -1;
  if (listening && listen(fd, 4) != 0) return -1;
  return fd;
}

int ConnectTo(const std::string& path) {
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const sockaddr_un address = Address(path);
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

std::string Exchange(const std::string& path, const std::string& request) {
  const int fd = ConnectTo(path);
  if (fd < 0) return "<no connection>";
  if (send(fd, request.data(), request.size(), MSG_NOSIGNAL) !=
      static_cast<ssize_t>(request.size()))
    return "<send failed>";
  shutdown(fd, SHUT_WR);  // the listener sees the end at once instead of waiting for more
  std::string reply;
  char c = 0;
  while (recv(fd, &c, 1, 0) == 1) reply.push_back(c);
  close(fd);
  return reply;
}

}  // namespace

TEST_F(WindowRegistryTest, RegisterFindAndPresent) {
  std::atomic<int> presented{0};
  WindowClassRegistration registration(L"MV_UI_Frame_277", [&] { ++presented; });
  ASSERT_TRUE(registration.IsListening());
  EXPECT_TRUE(platform::PathExists(platform_test::Wide(SocketFile("MV_UI_Frame_277"))));
  EXPECT_TRUE(FindWindowByClass(L"MV_UI_Frame_277"));
  EXPECT_EQ(presented, 0);  // finding does not present
  EXPECT_FALSE(FindWindowByClass(L"MV_UI_Frame_278"));
  EXPECT_TRUE(BringWindowToFront(L"MV_UI_Frame_277"));
  EXPECT_EQ(presented, 1);  // the answer comes after the callback
  EXPECT_FALSE(BringWindowToFront(L"MV_UI_Frame_278"));
  EXPECT_EQ(presented, 1);
}

TEST_F(WindowRegistryTest, ProtocolLines) {
  int presented = 0;
  WindowClassRegistration registration(L"MV UI/Frame", [&] { ++presented; });
  ASSERT_TRUE(registration.IsListening());
  const std::string path = SocketFile("MV_UI_Frame");
  EXPECT_EQ(Exchange(path, "ping\n"), "ok\n");
  EXPECT_EQ(Exchange(path, "present\n"), "ok\n");
  EXPECT_EQ(Exchange(path, "close\n"), "unknown\n");
  EXPECT_EQ(Exchange(path, "ping"), "");  // no line feed: closed without an answer
  EXPECT_EQ(Exchange(path, std::string(100, 'x') + "\n"), "");  // too long
  EXPECT_EQ(presented, 1);
  EXPECT_TRUE(FindWindowByClass(L"MV UI/Frame"));  // still serving
}

TEST_F(WindowRegistryTest, SecondRegistrationOfALiveClassIsRefused) {
  std::atomic<int> firstPresented{0};
  std::atomic<int> secondPresented{0};
  WindowClassRegistration first(L"MV_UI_Frame", [&] { ++firstPresented; });
  ASSERT_TRUE(first.IsListening());
  {
    WindowClassRegistration second(L"MV_UI_Frame", [&] { ++secondPresented; });
    EXPECT_FALSE(second.IsListening());
    EXPECT_TRUE(BringWindowToFront(L"MV_UI_Frame"));
  }  // the refused registration must not remove the owner's socket
  EXPECT_TRUE(BringWindowToFront(L"MV_UI_Frame"));
  EXPECT_EQ(firstPresented, 2);
  EXPECT_EQ(secondPresented, 0);
}

TEST_F(WindowRegistryTest, StaleSocketFileIsNotFoundAndIsReplaced) {
  const std::string path = SocketFile("MV_UI_Frame_9");
  const int stale = BoundSocket(path, false);
  ASSERT_GE(stale, 0);
  close(stale);  // the file stays, nobody listens
  ASSERT_TRUE(platform::PathExists(platform_test::Wide(path)));
  EXPECT_FALSE(FindWindowByClass(L"MV_UI_Frame_9"));
  EXPECT_FALSE(BringWindowToFront(L"MV_UI_Frame_9"));

  WindowClassRegistration registration(L"MV_UI_Frame_9", nullptr);
  ASSERT_TRUE(registration.IsListening());
  EXPECT_TRUE(FindWindowByClass(L"MV_UI_Frame_9"));
  EXPECT_TRUE(BringWindowToFront(L"MV_UI_Frame_9"));  // no callback is fine
}

TEST_F(WindowRegistryTest, OwnerProcessThatDiedIsNotFound) {
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(ready[0]);
    WindowClassRegistration registration(L"MV_UI_Frame_277", nullptr);
    const char c = registration.IsListening() ? 'y' : 'n';
    if (write(ready[1], &c, 1) != 1) _exit(3);
    for (;;) pause();
  }
  close(ready[1]);
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  close(ready[0]);
  ASSERT_EQ(c, 'y');
  EXPECT_TRUE(FindWindowByClass(L"MV_UI_Frame_277"));

  kill(child, SIGKILL);
  ASSERT_EQ(waitpid(child, nullptr, 0), child);
  EXPECT_TRUE(platform::PathExists(platform_test::Wide(SocketFile("MV_UI_Frame_277"))));
  EXPECT_FALSE(FindWindowByClass(L"MV_UI_Frame_277"));
  WindowClassRegistration registration(L"MV_UI_Frame_277", nullptr);
  EXPECT_TRUE(registration.IsListening());
}

TEST_F(WindowRegistryTest, DestructorRemovesTheSocketPromptly) {
  auto registration = std::make_unique<WindowClassRegistration>(L"MV_UI_Frame_1", nullptr);
  ASSERT_TRUE(registration->IsListening());
  // A client that connects and never says anything must not hold up the destructor.
  const int silent = ConnectTo(SocketFile("MV_UI_Frame_1"));
  ASSERT_GE(silent, 0);
  const auto start = Clock::now();
  registration.reset();
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500));
  close(silent);
  EXPECT_FALSE(platform::PathExists(platform_test::Wide(SocketFile("MV_UI_Frame_1"))));
  EXPECT_FALSE(FindWindowByClass(L"MV_UI_Frame_1"));
}

TEST_F(WindowRegistryTest, HungOwnerDoesNotHangTheCaller) {
  // Listens but never accepts: the connection lands in the queue and nobody answers.
  const int hung = BoundSocket(SocketFile("MV_UI_Frame_hung"), true);
  ASSERT_GE(hung, 0);
  const auto start = Clock::now();
  EXPECT_FALSE(FindWindowByClass(L"MV_UI_Frame_hung"));
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(4));
  // A live (if hung) owner is not stolen from.
  WindowClassRegistration registration(L"MV_UI_Frame_hung", nullptr);
  EXPECT_FALSE(registration.IsListening());
  close(hung);
}

TEST_F(WindowRegistryTest, ThrowingCallbackKeepsTheListenerAlive) {
  WindowClassRegistration registration(L"thrower", [] { throw std::runtime_error("boom"); });
  ASSERT_TRUE(registration.IsListening());
  EXPECT_TRUE(BringWindowToFront(L"thrower"));
  EXPECT_TRUE(FindWindowByClass(L"thrower"));
}

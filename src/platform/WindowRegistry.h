// Top-level windows by class name across processes (FindWindow and
// SetForegroundWindow stand-ins).
//
// A main window registers its class name for as long as it lives: a Unix
// stream socket "vornik-window-<SanitizeFileNamePart(className)>.sock" in
// GetRuntimeFolder() that the owner listens on. Another process finds the
// window by connecting and sending "ping\n", and asks it to come to the front
// with "present\n"; the owner answers "ok\n". A socket file whose owner died
// (nobody listening) is not found, and the next registration replaces it; a
// registration never takes a name whose owner still listens. Registrations of
// one name are serialised across processes by flock on "<socket>.lock".
//
// The present callback runs on the registration's listener thread, before the
// answer is sent; the owner is expected to hand it to its UI thread and return
// at once (the caller gives up after 2 s). The destructor waits for a running
// callback, so the callback must not wait for the thread that destroys the
// registration. Callers wait at most about 2 s for each step (connect, send,
// answer), so a hung owner cannot hang them. All functions: any thread.
#pragma once
#include <functional>
#include <memory>
#include <string>

namespace platform {

class WindowClassRegistration {
 public:
  WindowClassRegistration(const std::wstring& className, std::function<void()> onPresent);
  ~WindowClassRegistration();  // stops listening at once and removes the socket
  // False when the name is taken by a live owner or the socket could not be made.
  bool IsListening() const;

  WindowClassRegistration(const WindowClassRegistration&) = delete;
  WindowClassRegistration& operator=(const WindowClassRegistration&) = delete;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// True when a live process has registered a window of this class.
bool FindWindowByClass(const std::wstring& className);
// Asks the owner of that class to present its window. True when it took the request.
bool BringWindowToFront(const std::wstring& className);

}  // namespace platform

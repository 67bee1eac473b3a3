// Top-level windows by class name across processes (FindWindow and
// SetForegroundWindow stand-ins).
//
// A main window registers its class name for as long as it lives: a local
// socket in GetRuntimeFolder() that the owner listens on. Another process finds
// the window by connecting, and asks it to come to the front by sending a
// request. The present callback runs on the registration's listener thread;
// the owner is expected to hand it to its UI thread.
#pragma once
#include <functional>
#include <memory>
#include <string>

namespace platform {

class WindowClassRegistration {
 public:
  WindowClassRegistration(const std::wstring& className, std::function<void()> onPresent);
  ~WindowClassRegistration();  // stops listening and removes the socket
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

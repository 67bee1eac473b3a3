// InstallUIMainWnd: the installer's main window.
//
// Lives on the UI thread. It owns up to six worker-thread handles (the
// configuration fetch, the banner thread, the install flow thread); the entry
// joins them through WaitForAllThreadExit after the message loop has ended,
// so the object must outlive the loop.
#pragma once
#include <array>
#include <cstdint>

#include "SingleUserLog.h"
#include "platform/ThreadHandle.h"
#include "uitoolkit/WindowBase.h"

class InstallUIMainWnd : public ui::WindowBase, public IUserLogWindow {
 public:
  static constexpr size_t kThreadSlots = 6;
  static constexpr uint32_t kThreadExitWaitMs = 600000;

  InstallUIMainWnd();
  ~InstallUIMainWnd() override;

  // Waits for each set worker-thread handle in slot order, at most
  // waitMs each; a thread still running after that is left to the process end.
  void WaitForAllThreadExit(uint32_t waitMs = kThreadExitWaitMs);

  platform::ThreadHandle& ThreadSlot(size_t index) { return threads_.at(index); }

  // What the event logger reads of the window (any thread): the download
  // configuration's version text (empty until one is loaded) and the
  // interface language.
  std::wstring GetProductVersion() const override;
  EnumLanguage GetCurrentLanguage() const override;

 protected:
  std::wstring GetWindowClassName() const override;
  std::wstring GetSkinFile() const override { return L"InstallMainWnd.xml"; }
  void InitWindow() override;
  bool OnClose() override;
  void OnFinalMessage() override;

 private:
  void LogDownloaderInfo();
  void SendStartupEvents();
  void SendMachineEventsOnce();

  std::array<platform::ThreadHandle, kThreadSlots> threads_;
  uint32_t windowStartTick_ = 0;
  int32_t screenWidth_ = 0;
  int32_t screenHeight_ = 0;
};

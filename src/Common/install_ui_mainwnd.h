// InstallUIMainWnd: the installer's main window.
//
// Lives on the UI thread. It owns up to six worker-thread handles (the
// configuration fetch, the banner thread, the install flow thread); the entry
// joins them through WaitForAllThreadExit after the message loop has ended,
// so the object must outlive the loop.
//
// The install flow (install_ui_mainwnd_flow.cpp, install_ui_mainwnd_install.cpp)
// runs on its own thread and talks to the window through the fields below:
// single-writer flags and ticks (atomics), the configuration record (its own
// lock), texts behind stateMutex_, and messages posted to the UI thread. It
// reads the product configuration from a tree of its own, never from the
// window's controls. A window that was never created (tests) runs the flow
// all the same; its posted messages go to the flow message sink.
#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "CConfigure.h"
#include "DownLoadImpl.h"
#include "IDownloadProgress.h"
#include "ProductConfig.h"
#include "SingleUserLog.h"
#include "platform/ManualResetEvent.h"
#include "platform/ThreadHandle.h"
#include "uitoolkit/WindowBase.h"

class InstallUIMainWnd : public ui::WindowBase, public IUserLogWindow, public IDownloadProgress {
 public:
  static constexpr size_t kThreadSlots = 6;
  static constexpr uint32_t kThreadExitWaitMs = 600000;
  // The flow's thread slot.
  static constexpr size_t kInstallThreadSlot = 2;
  static constexpr int kDownloadRounds = 12;

  // Reads the product configuration of the skin package and makes the
  // configuration record from its ids.
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

  // The engine's progress of the main download (the flow's thread).
  void UpdateDownloadProgress(int64_t downloaded, int64_t total) override;

  // ---- The install flow -------------------------------------------------------

  // Thread entry of one installation attempt; window is the InstallUIMainWnd.
  static unsigned InstallThreadFunc(void* window);
  // Starts the flow thread in its slot (the previous attempt has ended).
  bool StartInstallThread();
  // The address to download from: the first of the list without the
  // CDN/service marker, or empty. mode is not looked at.
  std::wstring checkRemotePath(std::vector<std::wstring> addresses, int mode);
  // Deletes the package, task and record files of the download folder.
  void ClearAPPData();
  // The installation folder: the folder text, with "/" and the product name
  // appended unless the text holds the name already.
  std::wstring BuildInstallPath() const;
  // The product installer's file name: the embedded Extra_download_url's
  // file name without its extension, "_", the configuration's
  // Software_version, and ".exe" or ".apk".
  std::wstring PackageFileName() const;
  // Logs the user's proxy settings (the download does not use them).
  void GetIEProxyConfig();

  // ---- State shared with the flow (any thread) ---------------------------------

  CConfigure& Configure() { return *configure_; }
  const ProductConfig& Product() const { return product_; }
  void SetInstallFolderText(const std::wstring& text);
  std::wstring InstallFolderText() const;
  std::wstring UsedDownloadAddress() const;
  void SetCurrentLanguage(EnumLanguage language) { language_.store(language); }
  void SetRetried(bool retried) { retried_.store(retried); }
  bool Retried() const { return retried_.load(); }
  int VerifyOver() const { return verifyOver_.load(); }
  int InstallerFinished() const { return installerFinished_.load(); }
  uint32_t InstallerStartTick() const { return installerStartTick_.load(); }
  uint32_t VerifyStartTick() const { return verifyStartTick_.load(); }
  void SetInstallPressTick(uint32_t tick) { installPressTick_.store(tick); }
  // The progress bar's value, 0 to 100, kept by the window's timers.
  void SetProgressValue(int value) { progressValue_.store(value); }
  int ProgressValue() const { return progressValue_.load(); }
  // Set when the progress bar has reached its end.
  platform::ManualResetEvent& ProgressFinish100() { return progressFinish100_; }
  int64_t TotalPackageSize() const { return totalPackageSize_.load(); }
  // The language whose product page opens after the installation; -1: the
  // interface language.
  void SetProductPageLanguage(int language) { productPageLanguage_.store(language); }
  bool ProductStarted() const { return productStarted_.load(); }

  // ---- For tests ------------------------------------------------------------------

  using FlowMessageSink = std::function<void(uint32_t message, uintptr_t wParam)>;
  // Receives the flow's messages instead of the window's queue.
  void SetFlowMessageSinkForTesting(FlowMessageSink sink) { flowSink_ = std::move(sink); }
  // The length of one wait for the product installer (1000 ms).
  void SetInstallerWaitPassMsForTesting(uint32_t ms) { installerWaitPassMs_ = ms; }
  // The download's waits (the 60 s stall limit and the others).
  void SetSupervisionSettingsForTesting(const SupervisionSettings& settings) {
    supervision_ = settings;
  }

 protected:
  std::wstring GetWindowClassName() const override;
  std::wstring GetSkinFile() const override { return L"InstallMainWnd.xml"; }
  void InitWindow() override;
  void OnClick(const ui::Notification& notification) override;
  bool OnClose() override;
  void OnFinalMessage() override;

 private:
  void LogDownloaderInfo();
  void SendStartupEvents();
  void SendMachineEventsOnce();

  // The flow's steps.
  void RunInstallFlow();
  std::wstring ChooseDownloadAddress();
  void ReconcileEarlierDownload(const std::wstring& packagePath);
  int RunDownloadRounds(const std::wstring& address, const std::wstring& packagePath);
  bool Verify(const std::wstring& packagePath);
  void InstallAndLaunch(const std::wstring& packagePath);
  std::wstring InstallerCommandLine();
  void SendProductPage();
  void RestartUnattended(const std::wstring& packagePath);
  void PostFlowMessage(uint32_t message, uintptr_t wParam = 0);
  std::string AttemptLabel() const { return Retried() ? "Retry" : "First"; }
  std::wstring DownloadFolder() const;
  // The product's main program in double quotes.
  std::wstring QuotedMainProgramPath() const;
  void StartProductFromWindow();

  std::array<platform::ThreadHandle, kThreadSlots> threads_;
  uint32_t windowStartTick_ = 0;
  int32_t screenWidth_ = 0;
  int32_t screenHeight_ = 0;

  std::unique_ptr<ui::Control> productTree_;  // the product configuration's labels
  ProductConfig product_;
  std::unique_ptr<CConfigure> configure_;

  mutable std::mutex stateMutex_;  // guards the texts below
  std::wstring installFolderText_;
  std::wstring usedDownloadAddress_;

  std::atomic<int> language_{0};
  std::atomic<bool> retried_{false};
  std::atomic<int> verifyOver_{0};
  std::atomic<int> installerFinished_{0};
  std::atomic<uint32_t> verifyStartTick_{0};
  std::atomic<uint32_t> installerStartTick_{0};
  std::atomic<uint32_t> installPressTick_{0};
  std::atomic<uint32_t> downloadEndTick_{0};
  std::atomic<int> progressValue_{0};
  std::atomic<int64_t> totalPackageSize_{0};
  std::atomic<int> productPageLanguage_{-1};
  std::atomic<bool> productStarted_{false};
  platform::ManualResetEvent progressFinish100_;

  FlowMessageSink flowSink_;
  uint32_t installerWaitPassMs_ = 1000;
  SupervisionSettings supervision_;
};

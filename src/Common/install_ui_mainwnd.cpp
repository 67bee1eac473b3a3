#include "Common/install_ui_mainwnd.h"

#include "Common/ProcessState.h"
#include "Logging.h"

InstallUIMainWnd::InstallUIMainWnd() = default;

InstallUIMainWnd::~InstallUIMainWnd() {
  // Whatever WaitForAllThreadExit gave up on must not take the process down.
  for (platform::ThreadHandle& thread : threads_) thread.Abandon();
}

std::wstring InstallUIMainWnd::GetWindowClassName() const {
  return process_state::g_mainWindowClassName.empty() ? L"MV_UI_Frame"
                                                      : process_state::g_mainWindowClassName;
}

void InstallUIMainWnd::InitWindow() { LOG(INFO) << " InstallUIMainWnd InitWindow"; }

bool InstallUIMainWnd::OnClose() {
  LOG(INFO) << " InstallUIMainWnd close";
  return true;
}

void InstallUIMainWnd::OnFinalMessage() { ui::PostQuitMessage(); }

void InstallUIMainWnd::WaitForAllThreadExit(uint32_t waitMs) {
  LOG(INFO) << "InstallUIMainWnd WaitForAllThreadExit";
  for (size_t slot = 0; slot < threads_.size(); ++slot) {
    platform::ThreadHandle& thread = threads_[slot];
    if (!thread.IsSet()) continue;
    if (!thread.Wait(waitMs)) {
      LOG(INFO) << " worker thread " << slot << " did not end in " << waitMs << " ms";
      thread.Abandon();
    }
  }
}

// A display backend for tests: native windows that only record what is
// asked of them, and a loop that delivers posted messages on the thread
// that runs it, waiting for wake-ups with a deadline (a stuck loop fails the
// test instead of hanging it).
#pragma once
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "uitoolkit/Backend.h"
#include "uitoolkit/NativeWindow.h"

namespace uitest {

class FakeNativeWindow : public ui::NativeWindow {
 public:
  explicit FakeNativeWindow(ui::WindowBase* owner) : owner_(owner) {}
  bool Create(const std::wstring& title, uint32_t, int x, int y, int width, int height,
              ui::NativeWindow*) override;
  // As GTK does: the owner hears of the end at once, and deletes this object.
  void Destroy() override;
  void Show(bool show, bool) override { shown = show; }
  bool IsShown() const override { return shown; }
  void Present() override { ++presents; }
  void Minimize() override { minimized = true; }
  void Center() override { centred = true; }
  void Resize(int width, int height) override;
  void Move(int x, int y) override;
  void GetRect(int* x, int* y, int* width, int* height) const override;
  void Invalidate() override { ++invalidations; }
  void SetInputEnabled(bool enabled) override { inputEnabled = enabled; }
  bool SetTimer(uint32_t id, uint32_t elapseMs) override;
  void KillTimer(uint32_t id) override { timers.erase(id); }
  void OpenDropList(ui::Combo* combo) override { dropLists.push_back(combo); }

  std::wstring title;
  int x = 0, y = 0, width = 0, height = 0;
  bool shown = false;
  bool minimized = false;
  bool centred = false;
  bool inputEnabled = true;
  int presents = 0;
  int invalidations = 0;
  std::map<uint32_t, uint32_t> timers;  // id -> interval
  std::vector<ui::Combo*> dropLists;

 private:
  ui::WindowBase* owner_;
};

class FakeBackend : public ui::Backend {
 public:
  static constexpr std::chrono::seconds kDeadline{10};

  FakeBackend();
  ~FakeBackend() override;

  bool Initialize() override { return true; }
  std::unique_ptr<ui::NativeWindow> CreateNativeWindow(ui::WindowBase* owner) override;
  void RunLoop() override;
  void QuitLoop() override;
  void RunModalLoop(const std::function<bool()>& finished) override;
  void ShowMessageBox(const std::wstring& caption, const std::wstring& text,
                      ui::NativeWindow*) override {
    messageBoxes.push_back(caption + L"|" + text);
  }

  // The native window of the window made last.
  FakeNativeWindow* Last() const { return last_; }
  bool TimedOut() const { return timedOut_; }

  std::vector<std::wstring> messageBoxes;

 private:
  // Waits for a wake-up (or the deadline; or a quit request when
  // stopOnQuit) and delivers what is queued.
  bool Pump(bool stopOnQuit);

  std::mutex mutex_;
  std::condition_variable woken_;
  bool wake_ = false;
  bool quit_ = false;
  bool timedOut_ = false;
  FakeNativeWindow* last_ = nullptr;
};

}  // namespace uitest

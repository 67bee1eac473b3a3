// The window base over a recording backend: modal results, the owner
// disabled meanwhile, messages posted from several threads arriving in
// order while a modal window runs, notification dispatch by name, timers,
// the two-height resize, closing.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <thread>
#include <vector>

#include "FakeBackend.h"
#include "TestZip.h"
#include "support/TestEnvironment.h"
#include "uitoolkit/ResourcePackage.h"
#include "uitoolkit/SystemMessageBox.h"
#include "uitoolkit/WindowBase.h"

namespace {

constexpr uint32_t kOpenDialog = ui::kMsgUser + 1;
constexpr uint32_t kCount = ui::kMsgUser + 2;
constexpr uint32_t kCloseWith = ui::kMsgUser + 3;

// The package every test window reads: a small main window and a dialog.
void UseTestPackage() {
  static const std::vector<unsigned char> bytes =
      uitest::TestZip()
          .Add("main.xml", R"(<Window size="650,560"><VerticalLayout name="root">
                 <Button name="ok" height="30"/></VerticalLayout></Window>)")
          .Add("dialog.xml", R"(<Window size="500,190"><VerticalLayout name="msg_root"/></Window>)")
          .Build();
  ASSERT_TRUE(ui::SetResourcePackage(bytes.data(), bytes.size()));
}

class TestWindow : public ui::WindowBase {
 public:
  explicit TestWindow(std::wstring skin) : skin_(std::move(skin)) {}

  std::vector<std::wstring> handled;  // handler name per notification
  std::vector<uint32_t> rawMessages;
  std::function<bool(uint32_t, uintptr_t)> onCustom;
  bool refuseClose = false;
  int finalMessages = 0;

 protected:
  std::wstring GetWindowClassName() const override { return L"TEST_UI_Frame"; }
  std::wstring GetSkinFolder() const override { return L"skin\\"; }
  std::wstring GetSkinFile() const override { return skin_; }
  void OnFinalMessage() override { ++finalMessages; }
  void OnClick(const ui::Notification&) override { handled.push_back(L"OnClick"); }
  void OnSelectChanged(const ui::Notification&) override { handled.push_back(L"OnSelectChanged"); }
  void OnItemSelect(const ui::Notification&) override { handled.push_back(L"OnItemSelect"); }
  void OnLink(const ui::Notification&) override { handled.push_back(L"OnLink"); }
  void OnHeaderClick(const ui::Notification&) override { handled.push_back(L"OnHeaderClick"); }
  void OnItemActivate(const ui::Notification&) override { handled.push_back(L"OnItemActivate"); }
  bool OnClose() override {
    if (!refuseClose) return true;
    refuseClose = false;
    return false;
  }
  bool HandleCustomMessage(uint32_t message, uintptr_t wParam, intptr_t) override {
    return onCustom && onCustom(message, wParam);
  }
  intptr_t HandleMessage(uint32_t message, uintptr_t, intptr_t, bool& handled) override {
    rawMessages.push_back(message);
    handled = false;
    return 0;
  }

 private:
  std::wstring skin_;
};

class WindowBaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UseTestPackage();
    ui::SetBackend(&backend_);
  }
  void TearDown() override {
    ui::MessageQueue::Instance().Dispatch();
    ui::SetBackend(nullptr);
    EXPECT_FALSE(backend_.TimedOut());
  }
  bool Create(TestWindow& window, TestWindow* parent = nullptr) {
    return window.Create(parent, L"Vornik Lumaclear", ui::kStylePopup, 0, 10, 20, 600, 400);
  }

  testing_support::TestEnvironment env_;  // the windows' class registrations go here
  uitest::FakeBackend backend_;
};

TEST_F(WindowBaseTest, CreateBuildsTheSkinAtItsSizeFromThePackageRoot) {
  TestWindow window(L"main.xml");
  ASSERT_TRUE(Create(window));
  uitest::FakeNativeWindow* native = backend_.Last();
  EXPECT_EQ(650, native->width);
  EXPECT_EQ(560, native->height);
  ASSERT_NE(nullptr, window.FindControl(L"ok"));
  EXPECT_EQ((ui::Rect{0, 0, 650, 30}), window.FindControl(L"ok")->GetPos());
}

TEST_F(WindowBaseTest, TwoHeightResizeKeepsLeftAndTopAndLaysOutAgain) {
  TestWindow window(L"main.xml");
  ASSERT_TRUE(Create(window));
  window.ResizeClient(650, 360);
  int x, y, w, h;
  window.GetWindowRect(&x, &y, &w, &h);
  EXPECT_EQ(10, x);
  EXPECT_EQ(20, y);
  EXPECT_EQ(360, h);
  EXPECT_EQ((ui::Rect{0, 0, 650, 360}), window.GetRoot()->GetPos());
}

TEST_F(WindowBaseTest, NotificationsReachTheirHandlerByName) {
  TestWindow window(L"main.xml");
  ASSERT_TRUE(Create(window));
  for (const wchar_t* type : {L"click", L"selectchanged", L"itemselect", L"link", L"headerclick",
                              L"itemactivate", L"textchanged"}) {
    window.SendNotify(ui::Notification{type, window.FindControl(L"ok"), 0, 0});
  }
  EXPECT_EQ((std::vector<std::wstring>{L"OnClick", L"OnSelectChanged", L"OnItemSelect", L"OnLink",
                                       L"OnHeaderClick", L"OnItemActivate"}),
            window.handled);
}

TEST_F(WindowBaseTest, TimersAreKeptByIdAndReachTheRawHandler) {
  TestWindow window(L"main.xml");
  ASSERT_TRUE(Create(window));
  EXPECT_TRUE(window.SetTimer(1920, 2000));
  EXPECT_TRUE(window.SetTimer(1920, 500));  // the same id again restarts it
  EXPECT_TRUE(window.SetTimer(2000, 7000));
  window.KillTimer(2000);
  EXPECT_EQ((std::map<uint32_t, uint32_t>{{1920, 500}}), backend_.Last()->timers);
  window.HandleBackendMessage(ui::kMsgTimer, 1920, 0);
  EXPECT_EQ((std::vector<uint32_t>{ui::kMsgTimer}), window.rawMessages);
}

struct ModalCase {
  const char* what;
  std::vector<int> closes;  // close requests posted before the loop runs
  bool refuseFirst;
  int expected;
};

class ModalResultTest : public WindowBaseTest, public ::testing::WithParamInterface<ModalCase> {};

TEST_P(ModalResultTest, TheAcceptedCloseRequestGivesTheResult) {
  const ModalCase& c = GetParam();
  TestWindow owner(L"main.xml");
  ASSERT_TRUE(Create(owner));
  owner.ShowWindow();
  uitest::FakeNativeWindow* ownerNative = backend_.Last();
  TestWindow dialog(L"dialog.xml");
  ASSERT_TRUE(Create(dialog, &owner));
  dialog.refuseClose = c.refuseFirst;
  bool ownerTookInput = true;
  dialog.onCustom = [&](uint32_t message, uintptr_t) {
    ownerTookInput = owner.IsInputEnabled() || ownerNative->inputEnabled;
    return message == ui::kMsgUser;
  };
  dialog.PostMessage(ui::kMsgUser);
  for (int result : c.closes) dialog.Close(result);
  EXPECT_EQ(c.expected, dialog.ShowModal()) << c.what;
  EXPECT_FALSE(ownerTookInput) << c.what;
  EXPECT_TRUE(owner.IsInputEnabled());
  EXPECT_TRUE(ownerNative->inputEnabled);
  EXPECT_GE(ownerNative->presents, 1);  // the owner comes back to the front
  EXPECT_FALSE(dialog.IsWindow());
  EXPECT_EQ(1, dialog.finalMessages);
  EXPECT_FALSE(dialog.PostMessage(ui::kMsgUser));  // a gone window takes no messages
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ModalResultTest,
    ::testing::Values(
        ModalCase{"first button", {1}, false, 1}, ModalCase{"close box", {2}, false, 2},
        ModalCase{"close with 1, then with 2: the first ends the dialog", {1, 2}, false, 1},
        ModalCase{"a refused close leaves the dialog for the next", {1, 2}, true, 2}));

TEST_F(WindowBaseTest, AnOwnerHiddenByTheDialogStaysHidden) {
  TestWindow owner(L"main.xml");
  ASSERT_TRUE(Create(owner));
  owner.ShowWindow();
  uitest::FakeNativeWindow* ownerNative = backend_.Last();
  TestWindow dialog(L"dialog.xml");
  ASSERT_TRUE(Create(dialog, &owner));
  // The cancel question's Yes: hide the dialog and the main window, close with 1.
  dialog.onCustom = [&](uint32_t, uintptr_t) {
    dialog.ShowWindow(false);
    owner.ShowWindow(false);
    dialog.Close(1);
    return true;
  };
  dialog.PostMessage(ui::kMsgUser);
  EXPECT_EQ(1, dialog.ShowModal());
  EXPECT_FALSE(ownerNative->shown);
  EXPECT_EQ(0, ownerNative->presents);
  EXPECT_TRUE(owner.IsInputEnabled());
}

TEST_F(WindowBaseTest, ShowModalOfAWindowNeverCreatedReturnsAtOnce) {
  TestWindow dialog(L"dialog.xml");
  EXPECT_EQ(-1, dialog.ShowModal());
}

// The main window opens a modal dialog while messages from three threads
// wait in the queue; the dialog's loop must deliver every one of them, in
// each thread's order, and the dialog closes only after the last.
TEST_F(WindowBaseTest, PostedMessagesArriveInOrderWhileAModalWindowRuns) {
  constexpr int kThreads = 3, kPerThread = 300;
  TestWindow main(L"main.xml");
  ASSERT_TRUE(Create(main));
  TestWindow dialog(L"dialog.xml");
  std::vector<std::vector<int>> received(kThreads);
  int total = 0, duringModal = 0, modalResult = 0;
  bool modalRunning = false;
  main.onCustom = [&](uint32_t message, uintptr_t wParam) {
    if (message == kOpenDialog) {
      EXPECT_TRUE(Create(dialog, &main));
      modalRunning = true;
      modalResult = dialog.ShowModal();
      modalRunning = false;
      ui::PostQuitMessage();
    } else if (message == kCount) {
      received[wParam / 1000].push_back(static_cast<int>(wParam % 1000));
      if (modalRunning) ++duringModal;
      if (++total == kThreads * kPerThread) dialog.Close(7);
    }
    return true;
  };
  ASSERT_TRUE(main.PostMessage(kOpenDialog));
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&main, t] {
      for (int i = 0; i < kPerThread; ++i)
        main.PostMessage(kCount, static_cast<uintptr_t>(t * 1000 + i));
    });
  }
  for (auto& thread : threads) thread.join();
  backend_.RunLoop();
  EXPECT_EQ(7, modalResult);
  EXPECT_EQ(kThreads * kPerThread, duringModal);
  for (int t = 0; t < kThreads; ++t) {
    ASSERT_EQ(static_cast<std::size_t>(kPerThread), received[t].size()) << "thread " << t;
    for (int i = 0; i < kPerThread; ++i) ASSERT_EQ(i, received[t][i]) << "thread " << t;
  }
}

TEST_F(WindowBaseTest, ARefusedCloseKeepsTheWindow) {
  TestWindow window(L"main.xml");
  ASSERT_TRUE(Create(window));
  window.refuseClose = true;
  window.HandleBackendMessage(ui::kMsgClose, 0, 0);
  EXPECT_TRUE(window.IsWindow());
  window.HandleBackendMessage(ui::kMsgClose, 0, 0);
  EXPECT_FALSE(window.IsWindow());
  EXPECT_EQ(1, window.finalMessages);
}

TEST_F(WindowBaseTest, PlainMessageBoxGoesToTheBackend) {
  TestWindow window(L"main.xml");
  ASSERT_TRUE(Create(window));
  ui::ShowSystemMessageBox(L"", L"Click the shortcut", &window);
  EXPECT_EQ((std::vector<std::wstring>{L"|Click the shortcut"}), backend_.messageBoxes);
}

}  // namespace

// The GTK backend with a real display (skipped without one; scripts/test
// runs the tests under scripts/with-display): a window draws its skin, its
// timers fire, and a modal dialog's nested loop delivers messages posted
// from several threads, in order, before it returns its result.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdlib>
#include <thread>
#include <vector>

#include "TestZip.h"
#include "support/TestEnvironment.h"
#include "uitoolkit/Backend.h"
#include "uitoolkit/ResourcePackage.h"
#include "uitoolkit/WindowBase.h"
#include "uitoolkit/gtk/GtkNativeWindow.h"

namespace {

constexpr uint32_t kCount = ui::kMsgUser + 2;

class GtkTestWindow : public ui::WindowBase {
 public:
  explicit GtkTestWindow(std::wstring skin) : skin_(std::move(skin)) {}
  std::function<void(uint32_t, uintptr_t)> onMessage;

 protected:
  std::wstring GetWindowClassName() const override { return L"GTK_TEST_UI_Frame"; }
  std::wstring GetSkinFile() const override { return skin_; }
  intptr_t HandleMessage(uint32_t message, uintptr_t wParam, intptr_t, bool& handled) override {
    if (onMessage) onMessage(message, wParam);
    handled = false;
    return 0;
  }

 private:
  std::wstring skin_;
};

class GtkWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no display";
    static const std::vector<unsigned char> bytes =
        uitest::TestZip()
            .Add("main.xml", R"(<Window size="200,100"><VerticalLayout bkcolor="#FFFFFFFF">
                   <Control name="red" height="40" bkcolor="#FFFF0000"/></VerticalLayout></Window>)")
            .Add("dialog.xml",
                 R"(<Window size="120,60"><VerticalLayout bkcolor="#FF00FF00"/></Window>)")
            .Build();
    ASSERT_TRUE(ui::SetResourcePackage(bytes.data(), bytes.size()));
    if (!ui::GetBackend().Initialize()) GTEST_SKIP() << "the display refused GTK";
  }
  static void Settle() {
    for (int i = 0; i < 1000 && gtk_events_pending(); ++i) gtk_main_iteration_do(FALSE);
  }

  testing_support::TestEnvironment env_;
};

TEST_F(GtkWindowTest, DrawsTheSkin) {
  GtkTestWindow window(L"main.xml");
  ASSERT_TRUE(window.Create(nullptr, L"test", ui::kStylePopup, 0, 0, 0, 10, 10));
  window.ShowWindow(true, false);
  Settle();
  GtkWidget* widget =
      GTK_WIDGET(static_cast<ui::GtkNativeWindow*>(window.GetNativeWindow())->Widget());
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 200, 100);
  cairo_t* cr = cairo_create(surface);
  gtk_widget_draw(widget, cr);
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  const auto* pixels = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(surface));
  const int stride = cairo_image_surface_get_stride(surface) / 4;
  EXPECT_EQ(0xFFFF0000u, pixels[20 * stride + 100]);
  EXPECT_EQ(0xFFFFFFFFu, pixels[70 * stride + 100]);
  cairo_surface_destroy(surface);
}

TEST_F(GtkWindowTest, ModalLoopDeliversTimersAndThreadsMessagesThenReturnsTheResult) {
  constexpr int kThreads = 3, kPerThread = 100, kTimer = 1920;
  GtkTestWindow main(L"main.xml");
  ASSERT_TRUE(main.Create(nullptr, L"test", ui::kStylePopup, 0, 0, 0, 10, 10));
  main.ShowWindow(true, false);
  GtkTestWindow dialog(L"dialog.xml");
  ASSERT_TRUE(dialog.Create(&main, L"dialog", ui::kStylePopup, 0, 0, 0, 10, 10));
  std::vector<std::vector<int>> received(kThreads);
  int total = 0, ticks = 0;
  const auto maybeClose = [&] {
    if (total == kThreads * kPerThread && ticks >= 3) dialog.Close(5);
  };
  main.onMessage = [&](uint32_t message, uintptr_t wParam) {
    if (message == kCount) {
      received[wParam / 1000].push_back(static_cast<int>(wParam % 1000));
      ++total;
      maybeClose();
    } else if (message == ui::kMsgTimer && wParam == kTimer) {
      ++ticks;
      maybeClose();
    }
  };
  ASSERT_TRUE(main.SetTimer(kTimer, 10));
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&main, t] {
      for (int i = 0; i < kPerThread; ++i)
        main.PostMessage(kCount, static_cast<uintptr_t>(t * 1000 + i));
    });
  }
  for (auto& thread : threads) thread.join();
  // A stuck loop fails instead of hanging: the guard closes the dialog.
  guint guard = g_timeout_add(
      15000,
      [](gpointer d) {
        static_cast<ui::WindowBase*>(d)->Close(-2);
        return G_SOURCE_REMOVE;
      },
      &dialog);
  const int result = dialog.ShowModal();
  g_source_remove(guard);
  main.KillTimer(kTimer);
  EXPECT_EQ(5, result);
  EXPECT_GE(ticks, 3);
  for (int t = 0; t < kThreads; ++t) {
    ASSERT_EQ(static_cast<std::size_t>(kPerThread), received[t].size());
    for (int i = 0; i < kPerThread; ++i) ASSERT_EQ(i, received[t][i]);
  }
}

}  // namespace

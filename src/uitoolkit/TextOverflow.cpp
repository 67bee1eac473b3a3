#include "uitoolkit/TextOverflow.h"

#include <mutex>

namespace ui {
namespace {

std::mutex& ObserverMutex() {
  static std::mutex mutex;
  return mutex;
}

TextOverflowObserver& Observer() {
  static TextOverflowObserver observer;
  return observer;
}

}  // namespace

void SetTextOverflowObserver(TextOverflowObserver observer) {
  std::lock_guard<std::mutex> lock(ObserverMutex());
  Observer() = std::move(observer);
}

void ReportTextOverflow(const Control& control, const std::wstring& text, bool cut) {
  TextOverflowObserver observer;
  {
    std::lock_guard<std::mutex> lock(ObserverMutex());
    observer = Observer();
  }
  if (observer) observer(control, text, cut);
}

}  // namespace ui

#include "platform/PublishedText.h"

namespace platform {

void PublishedText::Set(const std::string& text) {
  std::unique_ptr<char[]> copy(new char[text.size() + 1]);
  text.copy(copy.get(), text.size());
  copy[text.size()] = '\0';
  std::lock_guard<std::mutex> lock(mutex_);
  current_.store(copy.get());
  copies_.push_back(std::move(copy));
}

const char* PublishedText::Get() const {
  const char* text = current_.load();
  return text != nullptr ? text : "";
}

}  // namespace platform

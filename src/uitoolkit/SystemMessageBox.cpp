#include "uitoolkit/SystemMessageBox.h"

#include "uitoolkit/Backend.h"
#include "uitoolkit/WindowBase.h"

namespace ui {

void ShowSystemMessageBox(const std::wstring& caption, const std::wstring& text,
                          WindowBase* owner) {
  GetBackend().ShowMessageBox(caption, text, owner != nullptr ? owner->GetNativeWindow() : nullptr);
}

}  // namespace ui

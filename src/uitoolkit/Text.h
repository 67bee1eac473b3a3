// Text with markup and links ("Text"): a label whose "{a}" links raise the
// "link" notification (wParam: the link's number) when clicked. Only the
// links take the mouse; the rest of the text lets a press through to the
// window (a caption drag). "menu" asks for a context menu. Threads: as Control.
#pragma once
#include "uitoolkit/Label.h"

namespace ui {

class Text : public Label {
 public:
  std::wstring GetClass() const override;
  bool SetAttribute(const std::wstring& name, const std::wstring& value) override;
  bool WantsMouseAt(int x, int y) const override;
  void Activate(int x, int y) override;

  bool HasMenu() const { return menu_; }

 private:
  bool menu_ = false;
};

}  // namespace ui

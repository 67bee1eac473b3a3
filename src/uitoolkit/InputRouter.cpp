#include "uitoolkit/InputRouter.h"

#include "uitoolkit/Container.h"
#include "uitoolkit/Edit.h"
#include "uitoolkit/HitTest.h"
#include "uitoolkit/ScrollBar.h"

namespace ui {

Control* InputRouter::InteractiveAt(int x, int y) const { return FindInteractiveAt(root_, x, y); }

std::size_t InputRouter::EditIndex(const Edit& edit, int x) const {
  return measure_ != nullptr ? measure_->EditIndexAt(edit, x) : edit.GetBuffer().GetText().size();
}

void InputRouter::SetHot(Control* control, int x, int y) {
  if (control != nullptr && !IsEffectivelyEnabled(control)) control = nullptr;
  if (hot_ != control) {
    if (auto* label = dynamic_cast<Label*>(hot_)) label->SetHotLink(-1);
    if (hot_ != nullptr) hot_->SetHot(false);
    hot_ = control;
    if (hot_ != nullptr) hot_->SetHot(true);
  }
  if (auto* label = dynamic_cast<Label*>(hot_)) label->SetHotLink(label->LinkAt(x, y));
}

void InputRouter::MouseMove(int x, int y) {
  if (pushed_ == nullptr) {
    SetHot(InteractiveAt(x, y), x, y);
    return;
  }
  if (auto* bar = dynamic_cast<ScrollBar*>(pushed_)) {
    bar->DragTo(x, y);
  } else if (auto* edit = dynamic_cast<Edit*>(pushed_)) {
    edit->DragTo(EditIndex(*edit, x));
  } else {
    // A held button looks pushed only while the pointer is over it.
    pushed_->SetPushed(InteractiveAt(x, y) == pushed_);
  }
}

bool InputRouter::MouseDown(int x, int y, int clickCount, bool shift) {
  Control* target = InteractiveAt(x, y);
  if (target == nullptr) {
    SetFocus(nullptr);
    return false;
  }
  if (!IsEffectivelyEnabled(target)) return true;
  SetFocus(target->WantsFocus() ? target : nullptr);
  pushed_ = target;
  target->SetPushed(true);
  if (auto* bar = dynamic_cast<ScrollBar*>(target)) bar->Press(x, y);
  if (auto* edit = dynamic_cast<Edit*>(target))
    edit->PressAt(EditIndex(*edit, x), clickCount, shift);
  return true;
}

void InputRouter::MouseUp(int x, int y) {
  Control* pressed = pushed_;
  pushed_ = nullptr;
  if (pressed == nullptr) return;
  pressed->SetPushed(false);
  if (auto* bar = dynamic_cast<ScrollBar*>(pressed)) bar->Release();
  const bool activates = InteractiveAt(x, y) == pressed && IsEffectivelyEnabled(pressed);
  // Activation runs window code, which may change or drop the tree.
  if (activates) pressed->Activate(x, y);
  if (pushed_ == nullptr) SetHot(InteractiveAt(x, y), x, y);
}

void InputRouter::MouseLeave() {
  if (pushed_ == nullptr) SetHot(nullptr, 0, 0);
}

bool InputRouter::Wheel(int x, int y, int notches) {
  for (Control* c = FindControlAt(root_, x, y); c != nullptr; c = c->GetParent()) {
    if (auto* bar = dynamic_cast<ScrollBar*>(c)) {
      c = bar->GetParent();
      if (c == nullptr) return false;
    }
    Container* container = c->AsContainer();
    if (container != nullptr && container->ScrollBy(notches * kWheelStep)) return true;
    if (container != nullptr && container->GetVerticalScrollBar() != nullptr &&
        container->GetVerticalScrollBar()->IsActive()) {
      return false;  // at its end: the wheel stops here rather than moving an outer view
    }
  }
  return false;
}

bool InputRouter::KeyPress(const KeyEvent& key) {
  auto* edit = dynamic_cast<Edit*>(focus_);
  return edit != nullptr && edit->HandleKey(key, clipboard_);
}

bool InputRouter::CommitText(const std::wstring& text) {
  auto* edit = dynamic_cast<Edit*>(focus_);
  return edit != nullptr && edit->InsertText(text);
}

void InputRouter::SetPreedit(const std::wstring& text, std::size_t cursor) {
  if (auto* edit = dynamic_cast<Edit*>(focus_)) edit->SetPreedit(text, cursor);
}

void InputRouter::SetFocus(Control* control) {
  if (focus_ == control) return;
  if (focus_ != nullptr) focus_->SetFocused(false);
  focus_ = control;
  if (focus_ != nullptr) focus_->SetFocused(true);
}

void InputRouter::Forget(Control* subtree) {
  if (IsWithin(hot_, subtree)) hot_ = nullptr;
  if (IsWithin(pushed_, subtree)) pushed_ = nullptr;
  if (IsWithin(focus_, subtree)) focus_ = nullptr;
}

std::wstring InputRouter::ToolTipAt(int x, int y) const {
  for (Control* c = FindControlAt(root_, x, y); c != nullptr; c = c->GetParent()) {
    if (!c->GetToolTip().empty()) return c->GetToolTip();
  }
  return std::wstring();
}

CursorKind InputRouter::CursorAt(int x, int y) const {
  Control* target = InteractiveAt(x, y);
  if (target == nullptr || !IsEffectivelyEnabled(target)) return CursorKind::Arrow;
  if (dynamic_cast<Edit*>(target) != nullptr) return CursorKind::IBeam;
  if (auto* label = dynamic_cast<Label*>(target)) {
    if (label->LinkAt(x, y) >= 0) return CursorKind::Hand;
  }
  return CursorKind::Arrow;
}

}  // namespace ui

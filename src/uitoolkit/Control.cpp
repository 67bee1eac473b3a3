#include "uitoolkit/Control.h"

namespace ui {
namespace {

bool ReadPlainColour(const std::wstring& value, uint32_t* field) {
  uint32_t colour = 0;
  if (!ParseColour(value, &colour)) return false;
  *field = colour;
  return true;
}

}  // namespace

Control::Control() = default;
Control::~Control() = default;

std::wstring Control::GetClass() const { return L"Control"; }

Container* Control::AsContainer() { return nullptr; }
std::size_t Control::GetCount() const { return 0; }
Control* Control::GetItemAt(std::size_t) const { return nullptr; }

void Control::SetPos(const Rect& pos) { pos_ = pos; }

void Control::SetVisible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  Invalidate();
}

void Control::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  Invalidate();
}

void Control::SetText(const std::wstring& text) {
  if (text_ == text) return;
  text_ = text;
  Invalidate();
}

void Control::SetBkImage(const PictureDescriptor& image) {
  bkImage_ = image;
  Invalidate();
}

void Control::SetBkColor(uint32_t argb) {
  bkColor_ = argb;
  Invalidate();
}

void Control::SetTextColor(uint32_t argb) {
  textColor_ = argb;
  Invalidate();
}

void Control::SetFixedWidth(int width) {
  if (fixedWidth_ == width) return;
  fixedWidth_ = width;
  Invalidate();
}

void Control::SetFixedHeight(int height) {
  if (fixedHeight_ == height) return;
  fixedHeight_ = height;
  Invalidate();
}

bool Control::WantsMouseAt(int, int) const { return WantsMouse(); }

void Control::Activate(int, int) {}

ControlOwner* Control::GetOwner() const {
  const Control* root = this;
  while (root->parent_ != nullptr) root = root->parent_;
  return root->owner_;
}

void Control::Invalidate() {
  if (ControlOwner* owner = GetOwner()) owner->OnControlChanged(this);
}

void Control::RaiseNotification(const std::wstring& type, uintptr_t wParam, intptr_t lParam) {
  if (ControlOwner* owner = GetOwner()) owner->SendNotify(Notification{type, this, wParam, lParam});
}

void Control::SetHot(bool hot) {
  if (hot_ == hot) return;
  hot_ = hot;
  Invalidate();
}

void Control::SetPushed(bool pushed) {
  if (pushed_ == pushed) return;
  pushed_ = pushed;
  Invalidate();
}

void Control::SetFocused(bool focused) {
  if (focused_ == focused) return;
  focused_ = focused;
  Invalidate();
}

bool Control::ReadColour(const std::wstring& value, std::optional<uint32_t>* field) {
  uint32_t colour = 0;
  if (!ParseColour(value, &colour)) return false;
  *field = colour;
  return true;
}

bool Control::SetAttribute(const std::wstring& name, const std::wstring& value) {
  return SetBoxAttribute(name, value) || SetLookAttribute(name, value) ||
         SetTextAttribute(name, value) || SetStateAttribute(name, value);
}

bool Control::SetBoxAttribute(const std::wstring& name, const std::wstring& value) {
  if (name == L"width") {
    fixedWidth_ = ParseInt(value);
  } else if (name == L"height") {
    fixedHeight_ = ParseInt(value);
  } else if (name == L"padding") {
    padding_ = ParseRect(value);
  } else if (name == L"inset") {
    inset_ = ParseRect(value);
  } else if (name == L"float") {
    float_ = ParseBool(value);
  } else if (name == L"pos") {
    floatPos_ = ParseRect(value);
  } else {
    return false;
  }
  return true;
}

bool Control::SetLookAttribute(const std::wstring& name, const std::wstring& value) {
  if (name == L"bkcolor") {
    ReadPlainColour(value, &bkColor_);
  } else if (name == L"bkimage") {
    SetBkImage(ParsePicture(value));
  } else if (name == L"bordersize") {
    borderSize_ = ParseBorderSize(value);
  } else if (name == L"bordercolor") {
    ReadPlainColour(value, &borderColor_);
  } else {
    return false;
  }
  return true;
}

bool Control::SetTextAttribute(const std::wstring& name, const std::wstring& value) {
  if (name == L"text") {
    SetText(value);
  } else if (name == L"tooltip") {
    toolTip_ = value;
  } else if (name == L"font") {
    font_ = ParseInt(value);
  } else if (name == L"textcolor") {
    ReadColour(value, &textColor_);
  } else if (name == L"disabledtextcolor") {
    ReadColour(value, &disabledTextColor_);
  } else if (name == L"align") {
    const std::wstring align = TrimBlanks(value);
    if (align == L"left") align_ = TextAlign::Left;
    if (align == L"center") align_ = TextAlign::Center;
    if (align == L"right") align_ = TextAlign::Right;
  } else {
    return false;
  }
  return true;
}

bool Control::SetStateAttribute(const std::wstring& name, const std::wstring& value) {
  if (name == L"name") {
    name_ = value;
  } else if (name == L"visible") {
    SetVisible(ParseBool(value));
  } else if (name == L"enabled") {
    SetEnabled(ParseBool(value));
  } else {
    return false;
  }
  return true;
}

}  // namespace ui

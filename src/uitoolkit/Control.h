// Base of every control in a window's tree, built from markup.
//
// A control holds the common markup attributes as typed fields. Each class
// reads its own attributes in SetAttribute and hands the rest to its base;
// an attribute that no class knows is dropped (SetAttribute returns false).
// Colour attributes with an invalid value leave the field as it was.
// Ownership: a control owns its children (see Container); the parent pointer
// is a plain back link set by the owning container.
// Position: GetPos is the rectangle given by the layout engine (empty until
// it runs). The fixed width and height are 0 when the markup sets none,
// meaning "share the free space". A "float" control is left out of its
// parent's stacking and placed at "pos" (relative to the parent's corner),
// which lets the skin lay buttons over a picture.
// State: hot (under the mouse), pushed (pressed and held) and focused are
// set by the window's input handling; painting reads them.
// Owner: the root of a shown tree points at its window (SetOwner); every
// setter that changes what shows asks that window to repaint, and
// RaiseNotification reports through it. A tree without owner (a language
// file, a tree under test) just keeps its values.
// Threads: a tree belongs to one thread at a time (the UI thread of its
// window, or the thread that built it); nothing here locks or blocks.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "uitoolkit/Notification.h"
#include "uitoolkit/Values.h"

namespace ui {

class Container;

enum class TextAlign { Left, Center, Right };

class Control {
 public:
  Control();
  virtual ~Control();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  // The markup element name of the class ("Button", "VerticalLayout", ...).
  virtual std::wstring GetClass() const;
  // True when the attribute is known to this class or a base.
  virtual bool SetAttribute(const std::wstring& name, const std::wstring& value);

  // Tree walking without knowing the concrete class; leaves have no children.
  virtual Container* AsContainer();
  virtual std::size_t GetCount() const;
  virtual Control* GetItemAt(std::size_t index) const;
  Control* GetParent() const { return parent_; }

  // Whether the children are laid out, painted and hit inside this control
  // (a combo box keeps its items for its drop-down list instead).
  virtual bool HasInlineChildren() const { return true; }
  // Whether the mouse acts on this control (buttons, links, edits, ...);
  // a press elsewhere falls through to the window (caption drag).
  virtual bool WantsMouse() const { return false; }
  // The same for one point of the control (a text answers only over its links).
  virtual bool WantsMouseAt(int x, int y) const;
  virtual bool WantsFocus() const { return false; }
  // A completed click (press and release over this control) at x, y.
  virtual void Activate(int x, int y);

  // The owner of the tree this control belongs to (its root's), or null.
  ControlOwner* GetOwner() const;
  void SetOwner(ControlOwner* owner) { owner_ = owner; }
  // Asks the owner to repaint; nothing without owner.
  void Invalidate();
  // Sends a notification with this control as sender; nothing without owner.
  void RaiseNotification(const std::wstring& type, uintptr_t wParam = 0, intptr_t lParam = 0);

  bool IsHot() const { return hot_; }
  void SetHot(bool hot);
  bool IsPushed() const { return pushed_; }
  void SetPushed(bool pushed);
  bool IsFocused() const { return focused_; }
  virtual void SetFocused(bool focused);

  const std::wstring& GetName() const { return name_; }
  void SetName(const std::wstring& name) { name_ = name; }

  const Rect& GetPos() const { return pos_; }
  virtual void SetPos(const Rect& pos);

  bool IsVisible() const { return visible_; }
  virtual void SetVisible(bool visible);
  bool IsEnabled() const { return enabled_; }
  virtual void SetEnabled(bool enabled);

  const std::wstring& GetText() const { return text_; }
  virtual void SetText(const std::wstring& text);
  const std::wstring& GetToolTip() const { return toolTip_; }
  void SetToolTip(const std::wstring& text) { toolTip_ = text; }

  int GetFixedWidth() const { return fixedWidth_; }
  int GetFixedHeight() const { return fixedHeight_; }
  void SetFixedWidth(int width);
  void SetFixedHeight(int height);
  bool IsFloat() const { return float_; }
  const Rect& GetFloatPos() const { return floatPos_; }
  const Rect& GetPadding() const { return padding_; }
  const Rect& GetInset() const { return inset_; }

  uint32_t GetBkColor() const { return bkColor_; }
  void SetBkColor(uint32_t argb);
  const PictureDescriptor& GetBkImage() const { return bkImage_; }
  virtual void SetBkImage(const PictureDescriptor& image);
  const Rect& GetBorderSize() const { return borderSize_; }
  uint32_t GetBorderColor() const { return borderColor_; }

  // Font number of the window's font list; -1 means the window's default font.
  int GetFont() const { return font_; }
  const std::optional<uint32_t>& GetTextColor() const { return textColor_; }
  void SetTextColor(uint32_t argb);
  const std::optional<uint32_t>& GetDisabledTextColor() const { return disabledTextColor_; }
  TextAlign GetAlign() const { return align_; }

 protected:
  void SetAlign(TextAlign align) { align_ = align; }
  // Reads a colour attribute into an optional field; false when the value is invalid.
  static bool ReadColour(const std::wstring& value, std::optional<uint32_t>* field);

 private:
  friend class Container;
  bool SetBoxAttribute(const std::wstring& name, const std::wstring& value);
  bool SetLookAttribute(const std::wstring& name, const std::wstring& value);
  bool SetTextAttribute(const std::wstring& name, const std::wstring& value);
  bool SetStateAttribute(const std::wstring& name, const std::wstring& value);

  Control* parent_ = nullptr;
  ControlOwner* owner_ = nullptr;
  bool hot_ = false;
  bool pushed_ = false;
  bool focused_ = false;
  std::wstring name_;
  Rect pos_;
  int fixedWidth_ = 0;
  int fixedHeight_ = 0;
  bool float_ = false;
  Rect floatPos_;
  Rect padding_;
  Rect inset_;
  uint32_t bkColor_ = 0;
  PictureDescriptor bkImage_;
  Rect borderSize_;
  uint32_t borderColor_ = 0;
  std::wstring text_;
  std::wstring toolTip_;
  int font_ = -1;
  std::optional<uint32_t> textColor_;
  std::optional<uint32_t> disabledTextColor_;
  TextAlign align_ = TextAlign::Left;
  bool visible_ = true;
  bool enabled_ = true;
};

}  // namespace ui

// A scroll bar of a container ("VScrollBar" / "HScrollBar"). It is not a
// markup element of its own: a container that asks for one gets it from the
// markup builder, configured by the window's Default list for its class.
// Parts: two arrow buttons (each may be hidden), the thumb, the rail and the
// background, each with four state pictures ("button1normalimage", "thumbhotimage", ...).
//
// Model: the range is how far the content can move (content - view, 0 when
// it fits: the bar is then inactive and not shown); the position stays in
// [0, range]. The container places the bar (SetPos) and reads the position
// when it lays out its children. The thumb's length is the view's share of
// the content, at least kMinThumb pixels; the thumb is dragged with the mouse
// and a press on the rail beside it moves by one view.
// Threads: as Control.
#pragma once
#include "uitoolkit/Control.h"
#include "uitoolkit/StateImages.h"

namespace ui {

class ScrollBar : public Control {
 public:
  static constexpr int kMinThumb = 16;
  enum class Part { None, Thumb, PageUp, PageDown };

  explicit ScrollBar(bool horizontal);

  std::wstring GetClass() const override;
  bool SetAttribute(const std::wstring& name, const std::wstring& value) override;
  bool WantsMouse() const override { return true; }

  bool IsHorizontal() const { return horizontal_; }
  bool ShowsButton1() const { return showButton1_; }
  bool ShowsButton2() const { return showButton2_; }
  int GetLineSize() const { return lineSize_; }
  const StateImages& GetButton1Images() const { return button1_; }
  const StateImages& GetButton2Images() const { return button2_; }
  const StateImages& GetThumbImages() const { return thumb_; }
  const StateImages& GetRailImages() const { return rail_; }
  const StateImages& GetBackImages() const { return back_; }

  void SetScrollRange(int range, int page);
  int GetScrollRange() const { return range_; }
  int GetPage() const { return page_; }
  int GetScrollPos() const { return pos_; }
  // Clamped into [0, range]; the owning container lays out again.
  void SetScrollPos(int pos);
  bool IsActive() const { return range_ > 0; }

  Rect GetThumbRect() const;
  Part HitPart(int x, int y) const;
  // A press on the bar: starts a thumb drag, or pages.
  void Press(int x, int y);
  void DragTo(int x, int y);
  void Release();
  bool IsDragging() const { return dragging_; }

 private:
  bool SetImageAttribute(const std::wstring& name, const std::wstring& value);
  int RailLength() const;
  int ThumbLength() const;

  bool horizontal_;
  bool showButton1_ = true;
  bool showButton2_ = true;
  int lineSize_ = 8;
  StateImages button1_;
  StateImages button2_;
  StateImages thumb_;
  StateImages rail_;
  StateImages back_;
  int range_ = 0;
  int page_ = 0;
  int pos_ = 0;
  bool dragging_ = false;
  int dragOffset_ = 0;  // where in the thumb the mouse took it
};

}  // namespace ui

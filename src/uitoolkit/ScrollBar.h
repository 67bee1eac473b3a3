// A scroll bar of a container ("VScrollBar" / "HScrollBar"). It is not a
// markup element of its own: a container that asks for one gets it from the
// markup builder, configured by the window's Default list for its class.
// Parts: two arrow buttons (each may be hidden), the thumb, the rail and the
// background, each with four state pictures ("button1normalimage", "thumbhotimage", ...).
// Position and range are left to the layout engine. Threads: as Control.
#pragma once
#include "uitoolkit/Control.h"
#include "uitoolkit/StateImages.h"

namespace ui {

class ScrollBar : public Control {
 public:
  explicit ScrollBar(bool horizontal);

  std::wstring GetClass() const override;
  bool SetAttribute(const std::wstring& name, const std::wstring& value) override;

  bool IsHorizontal() const { return horizontal_; }
  bool ShowsButton1() const { return showButton1_; }
  bool ShowsButton2() const { return showButton2_; }
  int GetLineSize() const { return lineSize_; }
  const StateImages& GetButton1Images() const { return button1_; }
  const StateImages& GetButton2Images() const { return button2_; }
  const StateImages& GetThumbImages() const { return thumb_; }
  const StateImages& GetRailImages() const { return rail_; }
  const StateImages& GetBackImages() const { return back_; }

 private:
  bool SetImageAttribute(const std::wstring& name, const std::wstring& value);

  bool horizontal_;
  bool showButton1_ = true;
  bool showButton2_ = true;
  int lineSize_ = 8;
  StateImages button1_;
  StateImages button2_;
  StateImages thumb_;
  StateImages rail_;
  StateImages back_;
};

}  // namespace ui

// The pictures of a control part for its four states, as the markup names
// them with a prefix: "<prefix>normalimage", "<prefix>hotimage",
// "<prefix>pushedimage", "<prefix>disabledimage" (a button uses the empty prefix).
// Plain value type; any thread.
#pragma once
#include <string>

#include "uitoolkit/Values.h"

namespace ui {

enum class ControlState { Normal, Hot, Pushed, Disabled };

struct StateImages {
  PictureDescriptor normal;
  PictureDescriptor hot;
  PictureDescriptor pushed;
  PictureDescriptor disabled;

  // Reads name when it is prefix + one of the four state names; false otherwise.
  bool SetAttribute(const std::wstring& prefix, const std::wstring& name,
                    const std::wstring& value);
  // The picture to draw in a state: that state's own, else the normal one.
  const PictureDescriptor& ForState(ControlState state) const;
};

}  // namespace ui

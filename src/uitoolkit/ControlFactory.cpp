#include "uitoolkit/ControlFactory.h"

#include <functional>
#include <map>

#include "uitoolkit/BoxLayouts.h"
#include "uitoolkit/Button.h"
#include "uitoolkit/CheckBox.h"
#include "uitoolkit/Combo.h"
#include "uitoolkit/Edit.h"
#include "uitoolkit/ListLabelElement.h"
#include "uitoolkit/Option.h"
#include "uitoolkit/Progress.h"
#include "uitoolkit/RichEdit.h"
#include "uitoolkit/TabLayout.h"
#include "uitoolkit/Text.h"

namespace ui {
namespace {

using Maker = std::function<std::unique_ptr<Control>()>;

template <typename T>
Maker MakerOf() {
  return [] { return std::make_unique<T>(); };
}

const std::map<std::wstring, Maker>& Makers() {
  static const std::map<std::wstring, Maker> makers = {
      {L"Control", MakerOf<Control>()},
      {L"Container", MakerOf<Container>()},
      {L"VerticalLayout", MakerOf<VerticalLayout>()},
      {L"HorizontalLayout", MakerOf<HorizontalLayout>()},
      {L"TabLayout", MakerOf<TabLayout>()},
      {L"Label", MakerOf<Label>()},
      {L"Text", MakerOf<Text>()},
      {L"Button", MakerOf<Button>()},
      {L"Option", MakerOf<Option>()},
      {L"CheckBox", MakerOf<CheckBox>()},
      {L"Combo", MakerOf<Combo>()},
      {L"ListLabelElement", MakerOf<ListLabelElement>()},
      {L"Edit", MakerOf<Edit>()},
      {L"Progress", MakerOf<Progress>()},
      {L"RichEdit", MakerOf<RichEdit>()},
  };
  return makers;
}

}  // namespace

std::unique_ptr<Control> CreateControl(const std::wstring& elementName) {
  const auto found = Makers().find(elementName);
  return found == Makers().end() ? nullptr : found->second();
}

}  // namespace ui

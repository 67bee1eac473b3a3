// A hook for tools and tests: painting reports each text that did not fit
// its control at its own size: drawn smaller (cut false), or cut with an
// ellipsis even so (cut true). The screenshot tool lists them per window and
// language. Any thread; the observer is called on the painting thread.
#pragma once
#include <functional>
#include <string>

namespace ui {

class Control;

using TextOverflowObserver =
    std::function<void(const Control& control, const std::wstring& text, bool cut)>;
void SetTextOverflowObserver(TextOverflowObserver observer);
void ReportTextOverflow(const Control& control, const std::wstring& text, bool cut);

}  // namespace ui

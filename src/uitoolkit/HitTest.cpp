#include "uitoolkit/HitTest.h"

#include "uitoolkit/Container.h"
#include "uitoolkit/Geometry.h"
#include "uitoolkit/ScrollBar.h"

namespace ui {
namespace {

Control* HitChildren(Container& container, int x, int y) {
  ScrollBar* bar = container.GetVerticalScrollBar();
  if (bar != nullptr && bar->IsActive() && Contains(bar->GetPos(), x, y)) return bar;
  if (!container.HasInlineChildren()) return nullptr;
  const bool inClient = Contains(container.GetClientRect(), x, y);
  for (std::size_t i = container.GetCount(); i-- > 0;) {
    Control* child = container.GetItemAt(i);
    if (!container.ShowsChild(i) || (!child->IsFloat() && !inClient)) continue;
    if (Control* hit = FindControlAt(child, x, y)) return hit;
  }
  return nullptr;
}

}  // namespace

Control* FindControlAt(Control* root, int x, int y) {
  if (root == nullptr || !root->IsVisible() || !Contains(root->GetPos(), x, y)) return nullptr;
  if (Container* container = root->AsContainer()) {
    if (Control* hit = HitChildren(*container, x, y)) return hit;
  }
  return root;
}

Control* FindInteractiveAt(Control* root, int x, int y) {
  for (Control* c = FindControlAt(root, x, y); c != nullptr; c = c->GetParent()) {
    if (c->WantsMouseAt(x, y)) return c;
    if (c == root) break;
  }
  return nullptr;
}

bool IsShown(const Control* control) {
  for (const Control* c = control; c != nullptr; c = c->GetParent()) {
    if (!c->IsVisible()) return false;
    Control* parent = c->GetParent();
    if (parent == nullptr) break;
    Container* container = parent->AsContainer();
    if (container == nullptr) continue;
    const int index = container->GetItemIndex(c);
    // A scroll bar is no item; it shows with its container.
    if (index >= 0 && !container->ShowsChild(static_cast<std::size_t>(index))) return false;
  }
  return true;
}

bool IsEffectivelyEnabled(const Control* control) {
  for (const Control* c = control; c != nullptr; c = c->GetParent()) {
    if (!c->IsEnabled()) return false;
  }
  return true;
}

bool IsWithin(const Control* control, const Control* root) {
  for (const Control* c = control; c != nullptr; c = c->GetParent()) {
    if (c == root) return true;
  }
  return false;
}

}  // namespace ui

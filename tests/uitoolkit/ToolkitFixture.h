// Helpers shared by the toolkit's tests: control trees built from markup
// text through a small in-memory package, a window side that records the
// notifications a tree raises, and pictures made on the fly as PNG bytes.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "uitoolkit/Control.h"
#include "uitoolkit/Notification.h"
#include "uitoolkit/SkinPackage.h"
#include "uitoolkit/WindowMarkup.h"

namespace uitest {

// Files of a package (name -> content), the layouts among them as text.
using Files = std::map<std::string, std::string>;

// A package that lives as long as the fixture, and windows built from it.
class MarkupFixture {
 public:
  // Replaces the package; "window.xml" is what Build reads by default.
  void SetFiles(const Files& files);
  ui::WindowMarkup Build(const std::wstring& path = L"window.xml");
  const ui::SkinPackage& Package() const { return package_; }

 private:
  std::vector<unsigned char> bytes_;
  ui::SkinPackage package_;
};

// Stands in for the window: records notifications, counts repaint requests.
class RecordingOwner : public ui::ControlOwner {
 public:
  void SendNotify(const ui::Notification& notification) override;
  void OnControlChanged(ui::Control*) override { ++changes; }
  void OnControlRemoved(ui::Control* control) override { removed.push_back(control); }
  void OpenDropList(ui::Combo* combo) override { dropLists.push_back(combo); }

  // "type:name" per notification, in order.
  std::vector<std::string> Names() const;

  std::vector<ui::Notification> notifications;
  std::vector<ui::Control*> removed;
  std::vector<ui::Combo*> dropLists;
  int changes = 0;
};

// A PNG of width x height whose pixel colours (ARGB, unpremultiplied) come
// from colourAt(x, y).
std::string MakePng(int width, int height, const std::function<uint32_t(int, int)>& colourAt);
// A horizontal strip of cells, each one plain colour.
std::string MakeStrip(int cellWidth, int height, const std::vector<uint32_t>& colours);

}  // namespace uitest

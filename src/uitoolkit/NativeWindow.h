// What a window base needs from a display backend for one native window.
// The GTK backend (uitoolkit/gtk) implements it; tests stand in their own
// (see Backend.h). All calls are made on the UI thread.
//
// The native window draws the owner's control tree, lays it out when its
// size changes and feeds the owner's InputRouter; it reports the end of the
// window by calling WindowBase::OnNativeDestroyed as the very last thing of
// its destruction (after which the owner may delete the native object).
#pragma once
#include <cstdint>
#include <string>

namespace ui {

class Combo;

class NativeWindow {
 public:
  virtual ~NativeWindow() = default;
  // parent may be null. False when the window could not be made.
  virtual bool Create(const std::wstring& title, uint32_t style, int x, int y, int width,
                      int height, NativeWindow* parent) = 0;
  // Ends the window; OnNativeDestroyed follows (at once or from the loop).
  virtual void Destroy() = 0;
  virtual void Show(bool show, bool takeFocus) = 0;
  virtual bool IsShown() const = 0;
  // Brings the window back from the taskbar and to the front.
  virtual void Present() = 0;
  virtual void Minimize() = 0;
  // Centres over the parent window when there is one, else on the monitor's work area.
  virtual void Center() = 0;
  // New size; the left and top edges stay where they are.
  virtual void Resize(int width, int height) = 0;
  virtual void Move(int x, int y) = 0;
  virtual void GetRect(int* x, int* y, int* width, int* height) const = 0;
  virtual void Invalidate() = 0;
  // A window that does not accept input (the owner of a modal window).
  virtual void SetInputEnabled(bool enabled) = 0;
  virtual bool SetTimer(uint32_t id, uint32_t elapseMs) = 0;
  virtual void KillTimer(uint32_t id) = 0;
  // Shows the combo box's drop-down list (see DropList.h) until an item is
  // chosen or the user clicks elsewhere.
  virtual void OpenDropList(Combo* combo) = 0;
};

}  // namespace ui

// Where forms appear: in memory only (no display), or as real X11 windows.
// Forms draw into their own surfaces either way; a backend only shows those
// surfaces and turns the display's input into queue messages.
//
// Each module (the control library, the installer, a host program) carries
// its own copy of the framework and so its own backend and, with X11, its own
// display connection. X delivers a window's events only to the connection that
// made it, so two modules in one process never see each other's events and
// never share Xlib state; each connection has its own reader thread that posts
// the translated input to the owning form's window queue.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>

#include "Graphics.h"

class TCustomForm;
class TSurface;

namespace qorv::framework {

// Posted by a display backend when part of a window must be drawn again:
// wParam packs left and top, lParam right and bottom (16 bits each).
constexpr UINT CM_EXPOSE = WM_APP + 0x3F02;

class TGuiBackend {
 public:
  virtual ~TGuiBackend();
  virtual bool IsHeadless() const = 0;
  virtual void Attach(TCustomForm& form, HWND hwnd, const std::string& utf8Caption, bool decorated);
  virtual void Detach(HWND hwnd);
  virtual void Show(HWND hwnd, const TRect& bounds, bool visible);
  virtual void Move(HWND hwnd, const TRect& bounds);
  virtual void SetCaption(HWND hwnd, const std::string& utf8Caption);
  // Copies the area of the form's surface to the screen.
  virtual void Present(HWND hwnd, TSurface& surface, const TRect& area);
  // Reads the window's pixels back from the display (0x00RRGGBB, row after
  // row); false where there is no display.
  virtual bool Capture(HWND hwnd, int width, int height, std::vector<std::uint32_t>& pixels);
  // The desktop area forms are centred on.
  virtual TRect ScreenRect() const;
  // The mouse cursor shown while the pointer is over the window.
  virtual void SetCursor(HWND hwnd, TCursor cursor);
};

// The backend of this module, chosen on first use: QORV_GUI=headless forces
// the in-memory one; otherwise X11 when DISPLAY names a reachable server.
TGuiBackend& Backend();
// Made by the X11 backend's file; nullptr when no display can be opened.
std::unique_ptr<TGuiBackend> CreateX11Backend();

}  // namespace qorv::framework

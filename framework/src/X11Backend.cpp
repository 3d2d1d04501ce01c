// The X11 backend. Xlib's headers define Window, Status, None, Bool and
// friends as plain names that clash with ours, so they stay inside this file.
// clang-format off
#include "Canvas.h"
#include "Forms.h"
#include "GuiBackend.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/keysym.h>
// clang-format on

namespace qorv::framework {
namespace {

// Xlib's default error handler ends the process; a failed request (a window
// gone between two calls) must not.
int IgnoreXError(Display*, XErrorEvent*) { return 0; }

LPARAM PackPoint(int x, int y) {
  return static_cast<LPARAM>((static_cast<DWORD>(static_cast<WORD>(y)) << 16) | static_cast<WORD>(x));
}

// The Unicode character a key symbol types, or 0.
std::uint32_t KeysymToUnicode(KeySym sym) {
  if (sym >= 0x01000000 && sym <= 0x0110FFFF) return static_cast<std::uint32_t>(sym - 0x01000000);
  if ((sym >= 0x20 && sym <= 0x7E) || (sym >= 0xA0 && sym <= 0xFF)) return static_cast<std::uint32_t>(sym);
  // The Arabic keysym block follows the Unicode Arabic block.
  if (sym == 0x05AC) return 0x060C;
  if (sym == 0x05BB) return 0x061B;
  if (sym == 0x05BF) return 0x061F;
  if (sym >= 0x05C1 && sym <= 0x05DA) return static_cast<std::uint32_t>(0x0621 + (sym - 0x05C1));
  if (sym >= 0x05E0 && sym <= 0x05F2) return static_cast<std::uint32_t>(0x0640 + (sym - 0x05E0));
  return 0;
}

// Keys that reach the form as key messages (the queue makes their characters).
WORD VirtualKeyOf(KeySym sym) {
  switch (sym) {
    case XK_Return:
    case XK_KP_Enter: return VK_RETURN;
    case XK_Escape: return VK_ESCAPE;
    case XK_Tab:
    case XK_ISO_Left_Tab: return VK_TAB;
    case XK_BackSpace: return VK_BACK;
    case XK_Delete: return VK_DELETE;
    case XK_Left: return VK_LEFT;
    case XK_Right: return VK_RIGHT;
    case XK_Up: return VK_UP;
    case XK_Down: return VK_DOWN;
    case XK_Home: return VK_HOME;
    case XK_End: return VK_END;
    case XK_Shift_L:
    case XK_Shift_R: return VK_SHIFT;
    case XK_Control_L:
    case XK_Control_R: return VK_CONTROL;
    case XK_Alt_L:
    case XK_Alt_R: return VK_MENU;
    default: break;
  }
  if (sym >= XK_F1 && sym <= XK_F12) return static_cast<WORD>(VK_F1 + (sym - XK_F1));
  return 0;
}

WPARAM MouseKeys(unsigned state) {
  WPARAM keys = 0;
  if (state & Button1Mask) keys |= MK_LBUTTON;
  if (state & Button3Mask) keys |= MK_RBUTTON;
  if (state & ShiftMask) keys |= MK_SHIFT;
  if (state & ControlMask) keys |= MK_CONTROL;
  return keys;
}

// The cursor font shape of a framework cursor; -1 where the window takes its
// parent's cursor.
int CursorShapeOf(TCursor cursor) {
  switch (cursor) {
    case crArrow: return XC_left_ptr;
    case crIBeam: return XC_xterm;
    case crHandPoint: return XC_hand2;
    default: return -1;
  }
}

class TX11Backend : public TGuiBackend {
 public:
  explicit TX11Backend(Display* display) : display_(display) {
    screen_ = DefaultScreen(display_);
    deleteWindow_ = XInternAtom(display_, "WM_DELETE_WINDOW", False);
    netWmName_ = XInternAtom(display_, "_NET_WM_NAME", False);
    utf8String_ = XInternAtom(display_, "UTF8_STRING", False);
    motifHints_ = XInternAtom(display_, "_MOTIF_WM_HINTS", False);
    // The reader lives as long as the process; it only blocks waiting for
    // the next event.
    std::thread([this] { ReadEvents(); }).detach();
  }

  bool IsHeadless() const override { return false; }

  void Attach(TCustomForm&, HWND hwnd, const std::string& caption, bool decorated) override {
    XLockDisplay(display_);
    ::Window root = RootWindow(display_, screen_);
    ::Window w = XCreateSimpleWindow(display_, root, 0, 0, 1, 1, 0, BlackPixel(display_, screen_),
                                     WhitePixel(display_, screen_));
    XSelectInput(display_, w,
                 ExposureMask | KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask |
                     PointerMotionMask | LeaveWindowMask | StructureNotifyMask);
    XSetWMProtocols(display_, w, &deleteWindow_, 1);
    if (!decorated) {
      // Motif hints: flags = decorations, decorations = none.
      long hints[5] = {2, 0, 0, 0, 0};
      XChangeProperty(display_, w, motifHints_, motifHints_, 32, PropModeReplace,
                      reinterpret_cast<unsigned char*>(hints), 5);
    }
    SetCaptionLocked(w, caption);
    {
      std::lock_guard<std::mutex> lock(mapLock_);
      windows_[hwnd] = w;
      handles_[w] = hwnd;
    }
    XFlush(display_);
    XUnlockDisplay(display_);
  }

  void Detach(HWND hwnd) override {
    ::Window w = WindowOf(hwnd);
    if (!w) return;
    {
      std::lock_guard<std::mutex> lock(mapLock_);
      windows_.erase(hwnd);
      handles_.erase(w);
      cursors_.erase(w);
    }
    XLockDisplay(display_);
    XDestroyWindow(display_, w);
    XFlush(display_);
    XUnlockDisplay(display_);
  }

  void Show(HWND hwnd, const TRect& bounds, bool visible) override {
    ::Window w = WindowOf(hwnd);
    if (!w) return;
    XLockDisplay(display_);
    if (visible) {
      XMoveResizeWindow(display_, w, bounds.Left, bounds.Top, std::max(1, bounds.Width()),
                        std::max(1, bounds.Height()));
      XMapRaised(display_, w);
    } else {
      XUnmapWindow(display_, w);
    }
    // Mapped before anything is drawn into it, so the first paint shows.
    XSync(display_, False);
    XUnlockDisplay(display_);
  }

  void Move(HWND hwnd, const TRect& bounds) override {
    ::Window w = WindowOf(hwnd);
    if (!w) return;
    XLockDisplay(display_);
    XMoveResizeWindow(display_, w, bounds.Left, bounds.Top, std::max(1, bounds.Width()), std::max(1, bounds.Height()));
    XFlush(display_);
    XUnlockDisplay(display_);
  }

  void SetCaption(HWND hwnd, const std::string& caption) override {
    ::Window w = WindowOf(hwnd);
    if (!w) return;
    XLockDisplay(display_);
    SetCaptionLocked(w, caption);
    XFlush(display_);
    XUnlockDisplay(display_);
  }

  void Present(HWND hwnd, TSurface& surface, const TRect& area) override {
    ::Window w = WindowOf(hwnd);
    if (!w || area.IsEmpty()) return;
    XLockDisplay(display_);
    Visual* visual = DefaultVisual(display_, screen_);
    int depth = DefaultDepth(display_, screen_);
    // The surface's 32-bit pixels (0x00RRGGBB in native order) are exactly
    // the 24-bit TrueColor layout, so they go to the server unchanged.
    XImage* image = XCreateImage(display_, visual, static_cast<unsigned>(depth), ZPixmap, 0,
                                 reinterpret_cast<char*>(const_cast<std::uint8_t*>(surface.Data())),
                                 static_cast<unsigned>(surface.Width()), static_cast<unsigned>(surface.Height()), 32,
                                 surface.Stride());
    if (image) {
      GC gc = DefaultGC(display_, screen_);
      XPutImage(display_, w, gc, image, area.Left, area.Top, area.Left, area.Top, static_cast<unsigned>(area.Width()),
                static_cast<unsigned>(area.Height()));
      image->data = nullptr;
      XDestroyImage(image);
    }
    XFlush(display_);
    XUnlockDisplay(display_);
  }

  bool Capture(HWND hwnd, int width, int height, std::vector<std::uint32_t>& pixels) override {
    ::Window w = WindowOf(hwnd);
    if (!w || width <= 0 || height <= 0) return false;
    XLockDisplay(display_);
    XSync(display_, False);
    XImage* image =
        XGetImage(display_, w, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height), AllPlanes, ZPixmap);
    bool ok = image != nullptr;
    if (ok) {
      pixels.resize(static_cast<std::size_t>(width) * height);
      for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
          pixels[static_cast<std::size_t>(y) * width + x] =
              static_cast<std::uint32_t>(XGetPixel(image, x, y)) & 0xFFFFFF;
        }
      }
      XDestroyImage(image);
    }
    XUnlockDisplay(display_);
    return ok;
  }

  TRect ScreenRect() const override {
    return TRect{0, 0, DisplayWidth(display_, screen_), DisplayHeight(display_, screen_)};
  }

  void SetCursor(HWND hwnd, TCursor cursor) override {
    ::Window w = WindowOf(hwnd);
    if (!w) return;
    int shape = CursorShapeOf(cursor);
    if (!NoteCursor(w, shape)) return;
    XLockDisplay(display_);
    if (shape < 0) {
      XUndefineCursor(display_, w);
    } else {
      XDefineCursor(display_, w, FontCursor(shape));
    }
    XFlush(display_);
    XUnlockDisplay(display_);
  }

 private:
  // Records the window's cursor shape; false when it already had it (a new
  // window shows its parent's cursor).
  bool NoteCursor(::Window w, int shape) {
    std::lock_guard<std::mutex> lock(mapLock_);
    auto it = cursors_.find(w);
    if ((it == cursors_.end() ? -1 : it->second) == shape) return false;
    cursors_[w] = shape;
    return true;
  }

  ::Window WindowOf(HWND hwnd) {
    std::lock_guard<std::mutex> lock(mapLock_);
    auto it = windows_.find(hwnd);
    return it == windows_.end() ? 0 : it->second;
  }

  HWND HandleOf(::Window w) {
    std::lock_guard<std::mutex> lock(mapLock_);
    auto it = handles_.find(w);
    return it == handles_.end() ? nullptr : it->second;
  }

  void SetCaptionLocked(::Window w, const std::string& caption) {
    XChangeProperty(display_, w, netWmName_, utf8String_, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(caption.data()), static_cast<int>(caption.size()));
    XStoreName(display_, w, caption.c_str());
  }

  // Made once per shape and kept for the connection's life. The caller
  // holds the display lock.
  ::Cursor FontCursor(int shape) {
    auto it = fontCursors_.find(shape);
    if (it != fontCursors_.end()) return it->second;
    ::Cursor cursor = XCreateFontCursor(display_, static_cast<unsigned>(shape));
    fontCursors_[shape] = cursor;
    return cursor;
  }

  // Events become queue messages posted to the owning form's window, which
  // its own thread then handles. The reader waits inside Xlib, not in a poll
  // of its own on the socket: any thread's request (a flush, a sync, an
  // image read) may read the events that have arrived into Xlib's queue, and
  // a poll on the socket would then sleep with them unhandled until the next
  // event came. Xlib's own wait wakes for events that another thread read.
  void ReadEvents() {
    for (;;) {
      XEvent event;
      XNextEvent(display_, &event);
      Translate(event);
    }
  }

  void Translate(XEvent& event) {
    if (event.type == MappingNotify) {
      // Keys looked up after a keyboard mapping change must use the new map.
      XRefreshKeyboardMapping(&event.xmapping);
      return;
    }
    HWND hwnd = HandleOf(event.xany.window);
    if (!hwnd) return;
    switch (event.type) {
      case Expose: {
        const XExposeEvent& e = event.xexpose;
        PostMessageA(
            hwnd, CM_EXPOSE, (static_cast<DWORD>(e.y) << 16) | static_cast<WORD>(e.x),
            static_cast<LPARAM>((static_cast<DWORD>(e.y + e.height) << 16) | static_cast<WORD>(e.x + e.width)));
        return;
      }
      case MotionNotify:
        PostMessageA(hwnd, WM_MOUSEMOVE, MouseKeys(event.xmotion.state), PackPoint(event.xmotion.x, event.xmotion.y));
        return;
      case LeaveNotify: PostMessageA(hwnd, WM_MOUSELEAVE, 0, 0); return;
      case ButtonPress:
      case ButtonRelease: TranslateButton(hwnd, event.xbutton, event.type == ButtonPress); return;
      case KeyPress:
      case KeyRelease: TranslateKey(hwnd, event.xkey, event.type == KeyPress); return;
      case ClientMessage:
        if (static_cast<Atom>(event.xclient.data.l[0]) == deleteWindow_) PostMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        return;
      default: return;
    }
  }

  void TranslateButton(HWND hwnd, const XButtonEvent& e, bool press) {
    if (e.button != Button1 && e.button != Button3) return;
    bool left = e.button == Button1;
    UINT message = left ? (press ? WM_LBUTTONDOWN : WM_LBUTTONUP) : (press ? WM_RBUTTONDOWN : WM_RBUTTONUP);
    if (press && left) {
      // A second press soon after the first, near it, is a double click.
      bool isDouble =
          e.time - lastClickTime_ < 500 && std::abs(e.x - lastClickX_) < 4 && std::abs(e.y - lastClickY_) < 4;
      if (isDouble) message = WM_LBUTTONDBLCLK;
      lastClickTime_ = isDouble ? 0 : e.time;
      lastClickX_ = e.x;
      lastClickY_ = e.y;
    }
    WPARAM keys = MouseKeys(e.state);
    if (press) keys |= left ? MK_LBUTTON : MK_RBUTTON;
    PostMessageA(hwnd, message, keys, PackPoint(e.x, e.y));
  }

  void TranslateKey(HWND hwnd, XKeyEvent& e, bool press) {
    char buffer[16];
    KeySym sym = 0;
    XLookupString(&e, buffer, sizeof buffer, &sym, nullptr);
    if (WORD vk = VirtualKeyOf(sym)) {
      PostMessageA(hwnd, press ? WM_KEYDOWN : WM_KEYUP, vk, press ? 1 : static_cast<LPARAM>(0xC0000001u));
      return;
    }
    if (!press) return;
    std::uint32_t cp = KeysymToUnicode(sym);
    if (cp == 0 || cp > 0xFFFF) return;
    char16_t wide = static_cast<char16_t>(cp);
    char ansi = 0;
    BOOL usedDefault = FALSE;
    if (WideCharToMultiByte(CP_ACP, 0, &wide, 1, &ansi, 1, nullptr, &usedDefault) == 1 && !usedDefault) {
      PostMessageA(hwnd, WM_CHAR, static_cast<unsigned char>(ansi), 1);
    }
  }

  Display* display_;
  int screen_;
  Atom deleteWindow_, netWmName_, utf8String_, motifHints_;
  std::mutex mapLock_;
  std::map<HWND, ::Window> windows_;
  std::map<::Window, HWND> handles_;
  // The cursor shape each window has defined (-1: its parent's).
  std::map<::Window, int> cursors_;
  std::map<int, ::Cursor> fontCursors_;
  Time lastClickTime_ = 0;
  int lastClickX_ = 0, lastClickY_ = 0;
};

}  // namespace

std::unique_ptr<TGuiBackend> CreateX11Backend() {
  // Must come before any other Xlib call of the process; a second call (from
  // another module's copy of the framework) is harmless.
  XInitThreads();
  Display* display = XOpenDisplay(nullptr);
  if (!display) return nullptr;
  XSetErrorHandler(IgnoreXError);
  if (DefaultDepth(display, DefaultScreen(display)) < 24) {
    XCloseDisplay(display);
    return nullptr;
  }
  return std::make_unique<TX11Backend>(display);
}

}  // namespace qorv::framework

#include "GuiBackend.h"

#include <cstdlib>
#include <cstring>
#include <mutex>

#include "ModulePin.h"

namespace qorv::framework {

TGuiBackend::~TGuiBackend() = default;
void TGuiBackend::Attach(TCustomForm&, HWND, const std::string&, bool) {}
void TGuiBackend::Detach(HWND) {}
void TGuiBackend::Show(HWND, const TRect&, bool) {}
void TGuiBackend::Move(HWND, const TRect&) {}
void TGuiBackend::SetCaption(HWND, const std::string&) {}
void TGuiBackend::Present(HWND, TSurface&, const TRect&) {}
bool TGuiBackend::Capture(HWND, int, int, std::vector<std::uint32_t>&) { return false; }
void TGuiBackend::SetCursor(HWND, TCursor) {}

TRect TGuiBackend::ScreenRect() const {
  RECT r{};
  if (!GetWindowRect(GetDesktopWindow(), &r)) return TRect{0, 0, 1920, 1080};
  return TRect{r.left, r.top, r.right, r.bottom};
}

namespace {

class THeadlessBackend : public TGuiBackend {
 public:
  bool IsHeadless() const override { return true; }
};

std::unique_ptr<TGuiBackend> ChooseBackend() {
  const char* forced = std::getenv("QORV_GUI");
  bool headless = forced && std::strcmp(forced, "headless") == 0;
  const char* display = std::getenv("DISPLAY");
  if (!headless && display && *display) {
    if (auto x11 = CreateX11Backend()) return x11;
  }
  return std::make_unique<THeadlessBackend>();
}

}  // namespace

TGuiBackend& Backend() {
  // Made once and kept to the end of the process: reader threads and windows
  // may still refer to it while static objects are being destroyed.
  static TGuiBackend* backend = [] {
    // The display's reader thread runs code of this module from here on.
    KeepThisModuleLoaded();
    return ChooseBackend().release();
  }();
  return *backend;
}

}  // namespace qorv::framework

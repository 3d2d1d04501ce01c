#include "FontSetup.h"

#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-fontmap.h>
#include <systemroot.h>

#include <filesystem>

#include "Fonts.h"

namespace {

// Each form font is followed by installed families that cover Latin and
// Persian; "accept" puts them after the named family, so a real font of that
// name, once added, wins.
constexpr const char* kAliases = R"(<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  <alias binding="strong"><family>Tahoma</family>
    <accept><family>Noto Sans</family><family>Noto Sans Arabic</family></accept></alias>
  <alias binding="strong"><family>MS Sans Serif</family>
    <accept><family>Noto Sans</family><family>Noto Sans Arabic</family></accept></alias>
  <alias binding="strong"><family>Times New Roman</family>
    <accept><family>Noto Serif</family><family>Noto Naskh Arabic</family></accept></alias>
  <alias binding="strong"><family>B Titr</family>
    <accept><family>Titr</family><family>Noto Sans</family><family>Noto Sans Arabic</family></accept></alias>
  <alias binding="strong"><family>B Nazanin</family>
    <accept><family>Nazli</family><family>Noto Naskh Arabic</family></accept></alias>
</fontconfig>
)";

struct TFontState {
  std::mutex Lock;
  FcConfig* Config = nullptr;
  PangoFontMap* Map = nullptr;
};

TFontState& State() {
  static TFontState state;
  return state;
}

void AddRootFontFolder(FcConfig* config) {
  auto folder = qorv::platform::WindowsToLinuxPath(qorv::platform::FontFolder());
  std::error_code ec;
  if (!folder || !std::filesystem::is_directory(*folder, ec)) return;
  FcConfigAppFontAddDir(config, reinterpret_cast<const FcChar8*>(folder->c_str()));
}

}  // namespace

namespace qorv::framework {

std::mutex& TextLock() { return State().Lock; }

PangoFontMap* SharedFontMap() {
  TFontState& s = State();
  if (s.Map) return s.Map;
  s.Config = FcInitLoadConfigAndFonts();
  FcConfigParseAndLoadFromMemory(s.Config, reinterpret_cast<const FcChar8*>(kAliases), FcTrue);
  AddRootFontFolder(s.Config);
  s.Map = pango_cairo_font_map_new_for_font_type(CAIRO_FONT_TYPE_FT);
  pango_fc_font_map_set_config(PANGO_FC_FONT_MAP(s.Map), s.Config);
  return s.Map;
}

}  // namespace qorv::framework

void RefreshFonts() {
  TFontState& s = State();
  std::lock_guard<std::mutex> lock(s.Lock);
  if (!s.Map) return;
  AddRootFontFolder(s.Config);
  pango_fc_font_map_config_changed(PANGO_FC_FONT_MAP(s.Map));
}

// Fontconfig keeps its configuration and pattern caches for the life of the
// process and frees them only in FcFini, which cannot run while Pango's font
// map still refers to them; the leak checker is told so. The hook is read
// only by the leak checker, in sanitizer builds.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}

// Pango loads fontconfig's fonts on a helper thread and hands them over with
// GLib's own futex-based locks, which the race detector cannot see; races it
// reports inside these libraries are that hand-over, not ours.
extern "C" __attribute__((visibility("default"))) const char* __tsan_default_suppressions() {
  return "race:libfontconfig.so\nrace:libpangoft2-1.0.so\nrace:libpango-1.0.so\n";
}

#include "FontSetup.h"

#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-fontmap.h>
#include <systemroot.h>
#include <wingdi.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>

#include "AnsiStrings.h"
#include "Fonts.h"
#include "ModulePin.h"

namespace {

// Each form font is followed by installed families that cover Latin and
// Persian; "accept" puts them after the named family, so a real font of that
// name, once added, wins. The forms were laid out for the named fonts, so the
// stand-ins must not be taller or wider: Liberation has the metrics of the
// Windows core fonts, and DejaVu Sans (Condensed), which covers Persian,
// gives 13 px lines at -11 and 16 px lines at -13 as Tahoma does. Titr is a
// headline face like B Titr; its 22-24 px lines fit the 36 px buttons and
// the tab bar that use it. Noto Sans Arabic UI comes last for the few Urdu
// letters of code page 1256 that the others lack.
constexpr const char* kAliases = R"(<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  <alias binding="strong"><family>Tahoma</family>
    <accept><family>DejaVu Sans Condensed</family><family>Noto Sans Arabic UI</family></accept></alias>
  <alias binding="strong"><family>MS Sans Serif</family>
    <accept><family>Liberation Sans</family><family>DejaVu Sans Condensed</family>
      <family>Noto Sans Arabic UI</family></accept></alias>
  <alias binding="strong"><family>Arial</family>
    <accept><family>Liberation Sans</family><family>DejaVu Sans Condensed</family>
      <family>Noto Sans Arabic UI</family></accept></alias>
  <alias binding="strong"><family>Times New Roman</family>
    <accept><family>Liberation Serif</family><family>DejaVu Sans</family>
      <family>Noto Sans Arabic UI</family></accept></alias>
  <alias binding="strong"><family>B Titr</family>
    <accept><family>Titr</family><family>DejaVu Sans Condensed</family>
      <family>Noto Sans Arabic UI</family></accept></alias>
  <alias binding="strong"><family>B Nazanin</family>
    <accept><family>Nazli</family><family>Noto Naskh Arabic</family></accept></alias>
</fontconfig>
)";

struct TFontState {
  std::mutex Lock;
  FcConfig* Config = nullptr;
  PangoFontMap* Map = nullptr;
  std::uint64_t AddedGeneration = 0;  // of the platform's added fonts, when last read
  std::size_t AddedCount = 0;         // how many of them the config holds
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

// Fonts added with AddFontResourceA (by any module of the process) become
// application fonts of this module's config. The platform's list only grows,
// so the files not seen yet are its tail.
bool AddPlatformFonts(TFontState& s) {
  if (qorv::platform::AddedFontGeneration() == s.AddedGeneration) return false;
  auto added = qorv::platform::AddedFontFiles();
  for (std::size_t i = s.AddedCount; i < added.Files.size(); ++i) {
    FcConfigAppFontAddFile(s.Config, reinterpret_cast<const FcChar8*>(added.Files[i].c_str()));
  }
  s.AddedCount = added.Files.size();
  s.AddedGeneration = added.Generation;
  return true;
}

}  // namespace

namespace qorv::framework {

void SyncAddedFonts() {
  TFontState& s = State();
  if (!s.Map) return;
  if (AddPlatformFonts(s)) pango_fc_font_map_config_changed(PANGO_FC_FONT_MAP(s.Map));
}

std::mutex& TextLock() { return State().Lock; }

PangoFontMap* SharedFontMap() {
  TFontState& s = State();
  if (s.Map) return s.Map;
  // Pango loads fonts on a thread of its own, inside libraries this module
  // brought in; they must stay.
  KeepThisModuleLoaded();
  s.Config = FcInitLoadConfigAndFonts();
  FcConfigParseAndLoadFromMemory(s.Config, reinterpret_cast<const FcChar8*>(kAliases), FcTrue);
  AddRootFontFolder(s.Config);
  AddPlatformFonts(s);
  s.Map = pango_cairo_font_map_new_for_font_type(CAIRO_FONT_TYPE_FT);
  pango_fc_font_map_set_config(PANGO_FC_FONT_MAP(s.Map), s.Config);
  return s.Map;
}

}  // namespace qorv::framework

std::vector<std::string> FontFamiliesUsedFor(const std::string& family, const std::string& text) {
  std::lock_guard<std::mutex> lock(qorv::framework::TextLock());
  PangoFontMap* map = qorv::framework::SharedFontMap();
  qorv::framework::SyncAddedFonts();
  PangoContext* context = pango_font_map_create_context(map);
  PangoLayout* layout = pango_layout_new(context);
  PangoFontDescription* desc = pango_font_description_new();
  pango_font_description_set_family(desc, family.c_str());
  pango_font_description_set_absolute_size(desc, 16 * PANGO_SCALE);
  pango_layout_set_font_description(layout, desc);
  pango_font_description_free(desc);
  std::string utf8 = AnsiToUtf8(text);
  pango_layout_set_text(layout, utf8.c_str(), static_cast<int>(utf8.size()));
  std::vector<std::string> families;
  PangoLayoutIter* runs = pango_layout_get_iter(layout);
  do {
    PangoLayoutRun* run = pango_layout_iter_get_run_readonly(runs);
    if (!run) continue;
    PangoFontDescription* used = pango_font_describe(run->item->analysis.font);
    std::string name = pango_font_description_get_family(used);
    pango_font_description_free(used);
    if (std::find(families.begin(), families.end(), name) == families.end()) families.push_back(name);
  } while (pango_layout_iter_next_run(runs));
  pango_layout_iter_free(runs);
  g_object_unref(layout);
  g_object_unref(context);
  return families;
}

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

// The stand-ins for the fonts the forms were laid out for: installed, able to
// write every Persian letter of code page 1256 in one face, and no larger
// than the boxes the forms give their texts.
#include <gtest/gtest.h>

#include <fontconfig/fontconfig.h>

#include <memory>
#include <string>
#include <vector>

#include "AnsiStrings.h"
#include "Canvas.h"
#include "windows.h"

namespace {

// The Arabic-script letters of the ANSI code page (1256).
std::vector<char32_t> CodePageLetters() {
  std::vector<char32_t> letters;
  for (int byte = 0x80; byte <= 0xFF; ++byte) {
    char ansi = static_cast<char>(byte);
    char16_t wide = 0;
    if (MultiByteToWideChar(CP_ACP, 0, &ansi, 1, &wide, 1) == 1 && wide >= 0x0600 && wide <= 0x06FF) {
      letters.push_back(wide);
    }
  }
  return letters;
}

// Letters used in Urdu only; Persian text never holds them.
bool UrduOnly(char32_t c) {
  return c == 0x0679 || c == 0x0688 || c == 0x0691 || c == 0x06BA || c == 0x06BE || c == 0x06C1 || c == 0x06D2;
}

struct TFontSetDeleter {
  void operator()(FcFontSet* set) const { FcFontSetDestroy(set); }
};

// The character sets of the upright faces of a family (the forms use no
// italics).
std::unique_ptr<FcFontSet, TFontSetDeleter> FacesOf(const char* family) {
  FcPattern* pattern =
      FcPatternBuild(nullptr, FC_FAMILY, FcTypeString, family, FC_SLANT, FcTypeInteger, FC_SLANT_ROMAN, nullptr);
  FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, FC_CHARSET, FC_WEIGHT, nullptr);
  FcFontSet* set = FcFontList(nullptr, pattern, objects);
  FcObjectSetDestroy(objects);
  FcPatternDestroy(pattern);
  return std::unique_ptr<FcFontSet, TFontSetDeleter>(set);
}

// Regular and bold faces; light and black ones are never chosen.
bool EveryFaceHas(const FcFontSet& faces, char32_t c) {
  for (int i = 0; i < faces.nfont; ++i) {
    int weight = 0;
    FcPatternGetInteger(faces.fonts[i], FC_WEIGHT, 0, &weight);
    if (weight != FC_WEIGHT_REGULAR && weight != FC_WEIGHT_BOLD) continue;
    FcCharSet* charset = nullptr;
    if (FcPatternGetCharSet(faces.fonts[i], FC_CHARSET, 0, &charset) != FcResultMatch) return false;
    if (!FcCharSetHasChar(charset, c)) return false;
  }
  return true;
}

// The families the framework's aliases name: the Persian faces must write
// every Persian letter themselves (a word in two faces would not join), and
// the last one in every list covers the Urdu letters as well.
TEST(FontFit, StandInFamiliesAreInstalledAndWriteEveryLetterOfTheCodePage) {
  ASSERT_TRUE(FcInit());
  for (const char* family :
       {"Liberation Sans", "Liberation Serif", "DejaVu Sans", "DejaVu Sans Condensed", "Titr", "Noto Sans Arabic UI"}) {
    auto faces = FacesOf(family);
    ASSERT_TRUE(faces && faces->nfont > 0) << family << " is not installed (see run.sh)";
  }
  std::vector<char32_t> letters = CodePageLetters();
  ASSERT_GE(letters.size(), 50u);
  for (const char* family : {"DejaVu Sans", "DejaVu Sans Condensed", "Titr", "Noto Sans Arabic UI"}) {
    auto faces = FacesOf(family);
    for (char32_t c : letters) {
      if (UrduOnly(c) && std::string(family) != "Noto Sans Arabic UI") continue;
      EXPECT_TRUE(EveryFaceHas(*faces, c)) << family << " lacks U+" << std::hex << static_cast<unsigned>(c);
    }
  }
}

// Text in each form font, against the box the stored forms give it. A
// negative height is the font's pixel height without its leading.
TEST(FontFit, TextFitsTheBoxesOfTheStoredForms) {
  const std::string persian =
      Utf8ToAnsi("\u0646\u0635\u0628 \u067e\u0634\u062a\u064a\u0628\u0627\u0646\u064a \u0698 \u06af\u0686");
  struct Row {
    const char* Where;
    const char* Font;
    int Height;
    bool Bold;
    std::string Text;
    int MaxWidth;
    int MaxHeight;
  } rows[] = {
      // The port dialog's first label, inside its bevel (18 + width <= 207).
      {"port dialog label", "MS Sans Serif", -11, false, "The configured serial port is not valid.", 189, 13},
      // The control's caption bar: 58 x 17.
      {"control caption", "Times New Roman", -15, true, "QorvX", 58, 17},
      // The about box's labels: 19 high.
      {"about box label", "Times New Roman", -16, true, "QorvX Control", 0, 19},
      // The installer: Tahoma -11 forms keep 13 px text, the notice gives
      // each of its two lines 22 px and Tahoma's own line is 16 px.
      {"installer text", "Tahoma", -11, false, persian, 0, 13},
      {"installer notice", "Tahoma", -13, false, persian, 0, 16},
      // "B Titr" buttons are 36 px high inside 2 px bevels; the tab bar and
      // the one push button in that font are 25 px.
      {"installer button", "B Titr", -12, true, persian, 0, 32},
      {"installer tab", "B Titr", -13, true, persian, 0, 25},
  };
  TSurface surface(1, 1);
  TCanvas& canvas = surface.Canvas();
  for (const Row& row : rows) {
    canvas.Font.Name = row.Font;
    canvas.Font.Height = row.Height;
    canvas.Font.Style = static_cast<TFontStyles>(row.Bold ? fsBold : 0);
    TSize size = canvas.TextExtent(row.Text);
    EXPECT_LE(size.cy, row.MaxHeight) << row.Where;
    if (row.MaxWidth > 0) {
      EXPECT_LE(size.cx, row.MaxWidth) << row.Where;
    }
  }
}

}  // namespace

// The image button in a stored form description, as the installer's window
// names it: its properties, its pictures filled in place, its handlers, and
// damaged picture data refused with the line that holds it.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "AnsiStrings.h"
#include "Application.h"
#include "FormInput.h"
#include "FormLoader.h"
#include "Forms.h"
#include "HeadlessGuiTest.h"
#include "PngTestPictures.h"
#include "pngextra.h"

using namespace qorv::test;
namespace fs = std::filesystem;

namespace {

std::string Hex(const std::vector<unsigned char>& bytes) {
  std::string hex;
  char buffer[3];
  for (unsigned char b : bytes) {
    std::snprintf(buffer, sizeof buffer, "%02X", b);
    hex += buffer;
  }
  return hex;
}

std::string HexOfPicture(const std::string& name) { return Hex(ReadFileBytes(InstallerDataPath(name))); }

class TInstallerLikeForm : public TForm {
 public:
  explicit TInstallerLikeForm(TComponent* owner) : TForm(owner) {
    RegisterField("PNGButton14", PNGButton14);
    RegisterHandler("PNGButton14Click", &TInstallerLikeForm::PNGButton14Click);
    RegisterHandler("PNGButton14MouseExit", &TInstallerLikeForm::PNGButton14MouseExit);
  }
  TPNGButton* PNGButton14 = nullptr;
  int Clicks = 0;
  int Exits = 0;
  void PNGButton14Click(TObject*) { ++Clicks; }
  void PNGButton14MouseExit(TObject*) { ++Exits; }
};

// The installer's remote-connection button; `extra` lines go after the
// pictures, `normal` is the normal picture's data.
std::string Description(const std::string& normal, const std::string& extra = "") {
  return "object Form1: TInstallerLikeForm\n"
         "  ClientWidth = 300\n"
         "  ClientHeight = 200\n"
         "  object PNGButton14: TPNGButton\n"
         "    Left = 104\n"
         "    Top = 8\n"
         "    Width = 95\n"
         "    Height = 90\n"
         "    Cursor = crHandPoint\n"
         "    Font.Charset = ARABIC_CHARSET\n"
         "    Font.Color = clWhite\n"
         "    Font.Height = -12\n"
         "    Font.Name = 'Tahoma'\n"
         "    Font.Style = []\n"
         "    ButtonLayout = pbsImageAbove\n"
         "    Caption = #1575#1578#1589#1575#1604' '#1575#1586' '#1585#1575#1607' '#1583#1608#1585\n"
         "    ImageNormal.Data = {\n"
         "      " +
         normal +
         "}\n"
         "    ImageOver.Data = {\n"
         "      " +
         HexOfPicture("over.png") +
         "}\n"
         "    ButtonStyle = pbsNoFrame\n" +
         extra +
         "    OnClick = PNGButton14Click\n"
         "    OnMouseExit = PNGButton14MouseExit\n"
         "  end\n"
         "end\n";
}

class PngButtonForm : public HeadlessGuiTest {
 protected:
  void SetUp() override {
    HeadlessGuiTest::SetUp();
    RegisterPNGButtonClass();
  }
  std::unique_ptr<TInstallerLikeForm> Load(const std::string& text) {
    auto form = std::make_unique<TInstallerLikeForm>(nullptr);
    form->LoadFromDescription(text);
    return form;
  }
};

}  // namespace

// Every stored property reaches the button; the pictures are filled in
// place, so no disabled picture exists until the button is disabled.
TEST_F(PngButtonForm, LoadsTheInstallersButton) {
  auto form = Load(Description(HexOfPicture("normal.png")));
  TPNGButton* b = form->PNGButton14;
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->Left(), 104);
  EXPECT_EQ(b->Width(), 95);
  EXPECT_EQ(b->Height(), 90);
  EXPECT_EQ(b->ButtonLayout(), pbsImageAbove);
  EXPECT_EQ(b->ButtonStyle(), pbsNoFrame);
  EXPECT_EQ(AnsiToUtf8(b->Caption()),
            "\u0627\u062a\u0635\u0627\u0644 \u0627\u0632 \u0631\u0627\u0647 \u062f\u0648\u0631");
  EXPECT_TRUE(b->TControl::Caption().empty()) << "the button's own caption, not the control's";
  EXPECT_EQ(b->Font().Name, "Tahoma");
  EXPECT_EQ(b->Cursor, crHandPoint);
  EXPECT_EQ(b->ImageNormal().Width(), 64);
  EXPECT_EQ(b->ImageNormal().Height(), 60);
  EXPECT_EQ(b->ImageNormal().ColorType(), COLOR_RGBALPHA);
  EXPECT_EQ(b->ImageOver().Width(), 72);
  EXPECT_TRUE(b->ImageDown().Empty());
  EXPECT_TRUE(b->ImageDisabled().Empty()) << "filled in place, not through the setter";

  form->SetBounds(0, 0, 300, 200);
  form->Show();
  PostClick(*form, 150, 50);
  PostMouseMove(*form, 280, 180);
  Application->ProcessMessages();
  EXPECT_EQ(form->Clicks, 1);
  EXPECT_EQ(form->Exits, 1);

  b->SetEnabled(false);
  EXPECT_EQ(b->ImageDisabled().Width(), 64) << "built when disabled";
}

// Enabled = False after the pictures disables it as it loads, building the
// disabled picture; without a normal picture that fails on its line.
TEST_F(PngButtonForm, StoredAsDisabled) {
  auto form = Load(Description(HexOfPicture("normal.png"), "    Enabled = False\n"));
  EXPECT_EQ(form->PNGButton14->ButtonState(), pbsStateDisabled);
  EXPECT_EQ(form->PNGButton14->ImageDisabled().Height(), 60);

  std::string text = Description(HexOfPicture("normal.png"), "    Enabled = False\n");
  std::size_t from = text.find("    ImageNormal.Data");
  text.erase(from, text.find("    ImageOver.Data") - from);
  try {
    Load(text);
    FAIL() << "loaded";
  } catch (const EReadError& e) {
    EXPECT_NE(e.Message().find("Enabled"), std::string::npos) << e.Message();
    EXPECT_NE(e.Message().find("no header"), std::string::npos) << e.Message();
  }
}

// Damaged picture data, and names the type information does not spell, are
// refused with the line of the property.
TEST_F(PngButtonForm, RefusesDamagedPicturesAndUnknownNames) {
  std::vector<std::string> damaged;
  for (const auto& entry : fs::directory_iterator(TestDataDir() / "framework" / "data" / "bad")) {
    if (entry.path().extension() == ".png") damaged.push_back(Hex(ReadFileBytes(entry.path())));
  }
  ASSERT_GE(damaged.size(), 4u);
  auto normal = ReadFileBytes(InstallerDataPath("normal.png"));
  damaged.push_back(Hex({normal.begin(), normal.begin() + normal.size() / 2}));  // cut inside the image data
  damaged.push_back("");                                                         // no data at all
  auto corrupt = normal;
  corrupt[40] ^= 0xFF;  // inside the first data chunk: its checksum no longer matches
  damaged.push_back(Hex(corrupt));
  int normalLine = 17;  // the line of "ImageNormal.Data = {" in Description
  for (const std::string& data : damaged) {
    try {
      Load(Description(data));
      ADD_FAILURE() << "loaded damaged data " << data.substr(0, 80);
    } catch (const EReadError& e) {
      EXPECT_EQ(e.Line(), normalLine) << e.Message();
      EXPECT_NE(e.Message().find("PNG"), std::string::npos) << e.Message();
    }
  }

  for (const char* wrong :
       {"    ButtonLayout = pbsImageBelow\n", "    ButtonStyle = bsFlat\n", "    ButtonLayout = 4\n"}) {
    EXPECT_THROW(Load(Description(HexOfPicture("normal.png"), wrong)), EReadError) << wrong;
  }
  auto form = Load(Description(HexOfPicture("normal.png"), "    ButtonLayout = 3\n    ButtonStyle = pbsFlat\n"));
  EXPECT_EQ(form->PNGButton14->ButtonLayout(), pbsImageRight) << "enumerations may be stored as numbers";
  EXPECT_EQ(form->PNGButton14->ButtonStyle(), pbsFlat);
}

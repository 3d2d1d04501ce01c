// The installer window as its description makes it: the window itself, the
// bar that takes room only while shown, the buttons beyond the page's edge,
// the edits' limits and the settings table's declared fields.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "ADODB.h"
#include "AnsiStrings.h"
#include "Bitmap.h"
#include "Button.h"
#include "Image.h"
#include "InstallerWindowFixture.h"
#include "Label.h"
#include "LabeledEdit.h"
#include "OpenDialog.h"
#include "ProgressBar.h"
#include "SpeedButton.h"
#include "pngextra.h"

using namespace qorv::test;

namespace {

// Every field the window's code reaches, with the name the description
// gives the component.
std::vector<std::pair<std::string, TComponent*>> Fields(TForm1& w) {
  return {{"ProgressBar1", w.ProgressBar1},
          {"PageControl1", w.PageControl1},
          {"TabSheet1", w.TabSheet1},
          {"Image1", w.Image1},
          {"Label1", w.Label1},
          {"SpeedButton1", w.SpeedButton1},
          {"SpeedButton2", w.SpeedButton2},
          {"SpeedButton4", w.SpeedButton4},
          {"SpeedButton5", w.SpeedButton5},
          {"PNGButton14", w.PNGButton14},
          {"Label2", w.Label2},
          {"SpeedButton10", w.SpeedButton10},
          {"SpeedButton11", w.SpeedButton11},
          {"Image3", w.Image3},
          {"Button1", w.Button1},
          {"Button5", w.Button5},
          {"TabSheet2", w.TabSheet2},
          {"Image2", w.Image2},
          {"Image4", w.Image4},
          {"Label5", w.Label5},
          {"SpeedButton6", w.SpeedButton6},
          {"SpeedButton7", w.SpeedButton7},
          {"SpeedButton8", w.SpeedButton8},
          {"Label6", w.Label6},
          {"SpeedButton3", w.SpeedButton3},
          {"SpeedButton9", w.SpeedButton9},
          {"PNGButton1", w.PNGButton1},
          {"LabeledEdit2", w.LabeledEdit2},
          {"LabeledEdit1", w.LabeledEdit1},
          {"ADOCommand1", w.ADOCommand1},
          {"ADOCommand2", w.ADOCommand2},
          {"ADOCommand3", w.ADOCommand3},
          {"ADOCommand4", w.ADOCommand4},
          {"TblPrimery", w.TblPrimery},
          {"OpenDialog1", w.OpenDialog1}};
}

// Focus moved by Tab from the first control that takes it, once round.
std::vector<TControl*> FocusRound(TForm1& window) {
  std::vector<TControl*> seen;
  for (int i = 0; i < 20; ++i) {
    TControl* focused = window.ActiveControl();
    if (focused && !seen.empty() && focused == seen.front()) break;
    if (focused) seen.push_back(focused);
    PostKey(window, VK_TAB);
    Application->ProcessMessages();
  }
  return seen;
}

bool Contains(const std::vector<TControl*>& list, const TControl* control) {
  return std::find(list.begin(), list.end(), control) != list.end();
}

}  // namespace

// A borderless right-to-left window of 864 by 414 with every component its
// code uses bound to its field, the single-user page in front.
TEST_F(InstallerWindowTest, LoadsBorderlessRightToLeftWithEveryField) {
  TForm1& window = Window();
  EXPECT_EQ(window.BorderStyle, bsNone);
  EXPECT_EQ(window.Position, poDesktopCenter);
  EXPECT_EQ(window.Width(), 864);
  EXPECT_EQ(window.Height(), 414);
  EXPECT_EQ(window.BiDiMode(), bdRightToLeft);
  EXPECT_EQ(AnsiToUtf8(window.Caption()), "نصب نرم افزار Velmora Nerosa");
  for (const auto& [name, component] : Fields(window)) {
    ASSERT_NE(component, nullptr) << name << " is not bound";
    EXPECT_EQ(component->Name(), name);
  }
  EXPECT_EQ(window.PageControl1->PageCount(), 2);
  EXPECT_EQ(window.PageControl1->ActivePage(), window.TabSheet1);
  EXPECT_EQ(window.PageControl1->Style, tsButtons);
  // The transfer button's caption keeps the blank it ends in.
  EXPECT_EQ(AnsiToUtf8(window.SpeedButton11->Caption()), "انتقال تنظيمات قبلي ");
}

// Hidden, the bar takes no room and the pages fill the window; shown, it
// takes the bottom 17 pixels from them, and hiding it gives them back.
TEST_F(InstallerWindowTest, BarTakesRoomOnlyWhileShown) {
  TForm1& window = Window();
  EXPECT_FALSE(window.ProgressBar1->Visible());
  EXPECT_EQ(window.PageControl1->Height(), 414);

  window.StartProgress(42);
  EXPECT_EQ(window.PageControl1->Height(), 397);
  EXPECT_EQ(window.ProgressBar1->Top(), 397);
  EXPECT_EQ(window.ProgressBar1->Height(), 17);
  EXPECT_EQ(window.ProgressBar1->Width(), 864);
  EXPECT_EQ(window.TabSheet1->Width(), 856);
  EXPECT_EQ(window.TabSheet1->Height(), 356);
  // The background stretches with its page.
  EXPECT_EQ(window.Image1->Height(), 356);

  window.EndProgress();
  EXPECT_EQ(window.PageControl1->Height(), 414);
}

// Button5 lies past the page's right edge, so no click reaches it, but Tab
// does; the invisible Button1 is reached by neither.
TEST_F(InstallerWindowTest, OffPageButtonIsReachedOnlyByFocus) {
  TForm1& window = Window();
  EXPECT_GE(window.Button5->Left(), window.TabSheet1->Width());
  EXPECT_FALSE(window.Button1->Visible());
  std::vector<TControl*> round = FocusRound(window);
  EXPECT_TRUE(Contains(round, window.Button5));
  EXPECT_FALSE(Contains(round, window.Button1));
}

// The edits keep 20 characters of what is typed and show the password as
// typed.
TEST_F(InstallerWindowTest, EditsKeepTwentyCharactersAsTyped) {
  TForm1& window = Window();
  window.PageControl1->SetActivePage(window.TabSheet2);
  for (TLabeledEdit* edit : {window.LabeledEdit1, window.LabeledEdit2}) {
    EXPECT_EQ(edit->Text(), "");
    edit->SetFocus();
    for (char c : std::string("abcdefghijklmnopqrstuvwxy")) PostChar(window, c);
    Application->ProcessMessages();
    EXPECT_EQ(edit->Text(), "abcdefghijklmnopqrst") << edit->Name();
    EXPECT_EQ(edit->PasswordChar, '\0') << edit->Name();
  }
}

// The settings table declares its 184 fields, among them the two that no
// upgrade statement adds and the read-only identity.
TEST_F(InstallerWindowTest, SettingsTableDeclaresItsFields) {
  TForm1& window = Window();
  TADOTable& table = *window.TblPrimery;
  EXPECT_EQ(table.TableName(), "Primery");
  EXPECT_EQ(table.CursorType(), ctStatic);
  EXPECT_EQ(table.FieldCount(), 184);
  ASSERT_NE(table.FindField("id"), nullptr);
  EXPECT_EQ(table.FindField("id")->DataType(), ftAutoInc);
  EXPECT_TRUE(table.FindField("id")->ReadOnly());
  ASSERT_NE(table.FindField("DelaySMS"), nullptr);
  EXPECT_EQ(table.FindField("DelaySMS")->DataType(), ftInteger);
  ASSERT_NE(table.FindField("NumEkht"), nullptr);
  EXPECT_EQ(table.FindField("NumEkht")->DataType(), ftWideString);
  EXPECT_EQ(table.FindField("NumEkht")->Size(), 50);
  ASSERT_NE(table.FindField("Url2"), nullptr);
  EXPECT_EQ(table.FindField("Url2")->Size(), 250);
  ASSERT_NE(table.FindField("kerayeEkhtiar"), nullptr);
  EXPECT_EQ(table.FindField("kerayeEkhtiar")->DataType(), ftString);
  EXPECT_FALSE(table.Active());
  EXPECT_EQ(window.ADOCommand3->ConnectionString(),
            "Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;Initial Catalog=Tavro_Client");
  EXPECT_EQ(window.ADOCommand2->ConnectionString(),
            "Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;Initial Catalog=master");
}

// The pictures the description carries are of the kinds and sizes the
// window was drawn for: the stretched backgrounds and logos, the exit glyph
// with its see-through corner colour, the image buttons' pictures with alpha.
TEST_F(InstallerWindowTest, PicturesAreOfTheirKindsAndSizes) {
  TForm1& window = Window();
  for (TImage* background : {window.Image1, window.Image2}) {
    const TGraphic* graphic = background->Picture().Graphic();
    ASSERT_NE(graphic, nullptr) << background->Name();
    EXPECT_STREQ(graphic->ClassName(), "TJPEGImage");
    EXPECT_EQ(graphic->Width(), 1920);
    EXPECT_EQ(graphic->Height(), 800);
  }
  for (TImage* logo : {window.Image3, window.Image4}) {
    const auto* png = dynamic_cast<const TPNGObject*>(logo->Picture().Graphic());
    ASSERT_NE(png, nullptr) << logo->Name();
    EXPECT_EQ(png->Width(), 831);
    EXPECT_EQ(png->Height(), 231);
    EXPECT_TRUE(png->HasAlphaChannel());
  }
  for (TSpeedButton* exit : {window.SpeedButton5, window.SpeedButton9}) {
    const auto* glyph = dynamic_cast<const TBitmap*>(exit->Glyph().Graphic());
    ASSERT_NE(glyph, nullptr) << exit->Name();
    EXPECT_EQ(glyph->Width(), 57);
    EXPECT_EQ(glyph->Height(), 32);
    EXPECT_EQ(glyph->BitsPerPixel(), 24);
  }
  for (TPNGButton* remote : {window.PNGButton14, window.PNGButton1}) {
    EXPECT_EQ(remote->ImageNormal().Width(), 64) << remote->Name();
    EXPECT_EQ(remote->ImageNormal().Height(), 60);
    EXPECT_TRUE(remote->ImageNormal().HasAlphaChannel());
    EXPECT_EQ(remote->ImageOver().Width(), 72);
    EXPECT_EQ(remote->ImageOver().Height(), 68);
    EXPECT_TRUE(remote->ImageOver().HasAlphaChannel());
    EXPECT_TRUE(remote->ImageDown().Empty());
  }
}

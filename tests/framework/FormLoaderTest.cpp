// Loading forms from descriptions: each property kind reaches its control,
// handlers and fields are bound by name, the loading state brackets the
// whole load, and a bad description is a clear error that frees the form.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <new>
#include <stdexcept>

#include "AnsiStrings.h"
#include "Button.h"
#include "ComboBox.h"
#include "FormLoader.h"
#include "Forms.h"
#include "Image.h"
#include "Label.h"
#include "LabeledEdit.h"
#include "PngImage.h"
#include "TestSupport.h"
#include "Timer.h"

namespace {

std::string HexOfFile(const char* name) {
  auto bytes = qorv::test::ReadFileBytes(qorv::test::TestDataDir() / "framework" / "data" / name);
  std::string hex;
  char buffer[3];
  for (unsigned char b : bytes) {
    std::snprintf(buffer, sizeof buffer, "%02X", b);
    hex += buffer;
  }
  return hex;
}

class TTestForm : public TForm {
 public:
  explicit TTestForm(TComponent* owner) : TForm(owner) {
    RegisterField("Label1", Label1);
    RegisterField("Button1", Button1);
    RegisterHandler("Button1Click", &TTestForm::Button1Click);
    RegisterHandler("FormCreate", &TTestForm::FormCreate);
    RegisterHandler("FormKeyPress", &TTestForm::FormKeyPress);
  }
  std::string DescriptionName() const override { return {}; }

  void Load(const std::string& text) {
    LoadFromDescription(text);
    InitForm();
  }

  TLabel* Label1 = nullptr;
  TButton* Button1 = nullptr;
  int Clicks = 0;
  int Creates = 0;

  void Button1Click(TObject*) { ++Clicks; }
  void FormCreate(TObject*) { ++Creates; }
  void FormKeyPress(TObject*, char&) {}
};

// Records what it sees while being loaded.
class TProbe : public TComponent {
 public:
  using TComponent::TComponent;
  static std::vector<std::string>& Log() {
    static std::vector<std::string> log;
    return log;
  }
  void SetValue(int v) {
    Log().push_back(Name() + (IsLoading() ? " set while loading " : " set ") + std::to_string(v));
  }

 protected:
  void Loaded() override { Log().push_back(Name() + (IsLoading() ? " loaded, still loading" : " loaded")); }
};

void RegisterProbe() {
  RegisterComponentClass("TProbe", "TComponent", [](TComponent* owner) -> TComponent* {
    return new TProbe(owner);
  }).Property<TProbe>("Value", [](TProbe& p, const TLoadContext& ctx) { p.SetValue(ctx.Int()); });
}

TEST(FormLoaderProperties, EveryKindReachesItsControl) {
  std::string text = R"(object Form1: TTestForm
  Caption = 'A '#1606#1589
  ClientWidth = 220
  ClientHeight = 131
  Color = clBtnFace
  BorderStyle = bsDialog
  BorderIcons = [biSystemMenu]
  Position = poScreenCenter
  KeyPreview = True
  Font.Name = 'MS Sans Serif'
  Font.Height = -11
  BiDiMode = bdRightToLeft
  OnCreate = FormCreate
  OnKeyPress = FormKeyPress
  object Label1: TLabel
    Left = 18
    Top = 14
    Width = 176
    Height = 13
    AutoSize = False
    Caption = 'The configured serial port is not valid.'
    Font.Color = $00FF0000
    Font.Style = [fsBold, fsUnderline]
    ParentFont = False
    Transparent = True
    Cursor = crHandPoint
  end
  object Button1: TButton
    Left = 8
    Top = 95
    Caption = 'OK'
    Default = True
    ModalResult = 1
    TabOrder = 0
    OnClick = Button1Click
  end
  object Combo: TComboBox
    Style = csDropDownList
    Items.Strings = (
      'COM3'
      'COM7')
    ItemIndex = 1
  end
  object Image1: TImage
    Stretch = True
    Picture.Data = {)" +
                     HexOfFile("alpha.png") + R"(}
  end
  object Timer1: TTimer
    Interval = 10
    Left = 24
    Top = 8
  end
end
)";
  TTestForm form(nullptr);
  form.Load(text);
  EXPECT_EQ(form.Caption(), Utf8ToAnsi("A \u0646\u0635"));
  EXPECT_EQ(form.Caption(), std::string("A \xE4\xD5")) << "Persian text in code page 1256";
  EXPECT_EQ(form.Width(), 220);
  EXPECT_EQ(form.BorderStyle, bsDialog);
  EXPECT_EQ(form.BorderIcons, biSystemMenu);
  EXPECT_EQ(form.Position, poScreenCenter);
  EXPECT_TRUE(form.KeyPreview);
  EXPECT_EQ(form.BiDiMode(), bdRightToLeft);
  EXPECT_EQ(form.Creates, 1) << "the creation event runs once, after loading";
  ASSERT_NE(form.Label1, nullptr);
  EXPECT_EQ(form.Label1->BoundsRect(), Bounds(18, 14, 176, 13)) << "AutoSize off keeps the stored size";
  EXPECT_EQ(form.Label1->Font().Color, clBlue);
  EXPECT_EQ(form.Label1->Font().Style, fsBold | fsUnderline);
  EXPECT_EQ(form.Label1->Cursor, crHandPoint);
  EXPECT_EQ(form.Label1->Parent(), &form);
  ASSERT_NE(form.Button1, nullptr);
  EXPECT_TRUE(form.Button1->Default);
  EXPECT_EQ(form.Button1->ModalResult, mrOk);
  form.Button1->Click();
  EXPECT_EQ(form.Clicks, 1) << "OnClick bound to Button1Click by name";
  auto* combo = dynamic_cast<TComboBox*>(form.FindComponent("Combo"));
  ASSERT_NE(combo, nullptr);
  EXPECT_EQ(combo->Style, csDropDownList);
  EXPECT_EQ(combo->Text(), "COM7");
  auto* image = dynamic_cast<TImage*>(form.FindComponent("Image1"));
  ASSERT_NE(image, nullptr);
  EXPECT_STREQ(image->Picture().Graphic()->ClassName(), "TPNGObject");
  EXPECT_EQ(image->Picture().Width(), 4);
  auto* timer = dynamic_cast<TTimer*>(form.FindComponent("Timer1"));
  ASSERT_NE(timer, nullptr);
  EXPECT_EQ(timer->Interval(), 10u);
  for (int i = 0; i < form.ComponentCount(); ++i) EXPECT_FALSE(form.Components(i)->IsLoading());
}

TEST(FormLoaderProperties, LabeledEditPlacesItsLabelOnTheRight) {
  TTestForm form(nullptr);
  form.Load(R"(object F: TTestForm
  object LabeledEdit1: TLabeledEdit
    Left = 662
    Top = 53
    Width = 131
    Height = 26
    EditLabel.Width = 50
    EditLabel.Height = 13
    EditLabel.Caption = 'User'
    LabelPosition = lpRight
    MaxLength = 20
  end
end)");
  auto* edit = dynamic_cast<TLabeledEdit*>(form.FindComponent("LabeledEdit1"));
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(edit->MaxLength, 20);
  EXPECT_EQ(edit->EditLabel().Caption(), "User");
  EXPECT_EQ(edit->EditLabel().Left(), 662 + 131 + 3);
  EXPECT_EQ(edit->EditLabel().Parent(), &form);
}

TEST(FormLoaderState, LoadingBracketsTheWholeLoadAndLoadedRunsAfter) {
  RegisterProbe();
  TProbe::Log().clear();
  TTestForm form(nullptr);
  form.Load(
      "object F: TTestForm\n  object P1: TProbe\n    Value = 1\n  end\n  object P2: TProbe\n    Value = 2\n  end\nend");
  EXPECT_EQ(TProbe::Log(),
            (std::vector<std::string>{"P1 set while loading 1", "P2 set while loading 2", "P1 loaded", "P2 loaded"}));
}

TEST(FormLoaderErrors, BadDescriptionsNameTheLineAndFreeTheForm) {
  RegisterProbe();
  struct Case {
    const char* Body;
    int Line;
    const char* Words;
  } cases[] = {
      {"  object X: TNoSuchClass\n  end\n", 2, "TNoSuchClass"},
      {"  Colour = clRed\n", 2, "Colour"},
      {"  object B: TButton\n    OnClick = NoSuchHandler\n  end\n", 3, "NoSuchHandler"},
      {"  object B: TButton\n    OnClick = FormKeyPress\n  end\n", 3, "FormKeyPress"},
      {"  Left = 'ten'\n", 2, "integer"},
      {"  BorderStyle = bsRound\n", 2, "bsRound"},
      {"  Font.Style = [fsHeavy]\n", 2, "fsHeavy"},
      {"  object Label1: TButton\n  end\n", 2, "Label1"},
      {"  object P: TProbe\n  end\n  object P: TProbe\n  end\n", 4, "P"},
      {"  object I: TImage\n    Picture.Data = {00112233}\n  end\n", 3, "Picture.Data"},
      {"  object P: TProbe\n    object L: TLabel\n    end\n  end\n", 3, "L"},
      {"  KeyPreview = 1\n", 2, "True or False"},
      {"  PixelsPerInch = 0\n", 2, "range"},
  };
  for (const Case& c : cases) {
    std::string text = std::string("object F: TTestForm\n") + c.Body + "end\n";
    try {
      auto* form = new TTestForm(nullptr);
      try {
        form->Load(text);
      } catch (...) {
        delete form;
        throw;
      }
      delete form;
      ADD_FAILURE() << "accepted:\n" << text;
    } catch (const EReadError& e) {
      EXPECT_EQ(e.Line(), c.Line) << e.Message();
      EXPECT_NE(e.Message().find(c.Words), std::string::npos) << e.Message();
    }
  }
}

TEST(FormLoaderResources, FormFindsItsDescriptionByClassName) {
  class TResourceForm : public TForm {
   public:
    explicit TResourceForm(TComponent* owner) : TForm(owner) { RegisterField("Label1", Label1); }
    std::string DescriptionName() const override { return "TRESOURCEFORM"; }
    TLabel* Label1 = nullptr;
  };
  std::unique_ptr<TResourceForm> form(NewForm<TResourceForm>(nullptr));
  EXPECT_EQ(form->Caption(), Utf8ToAnsi("\u0646\u0635\u0628 Velmora"));
  ASSERT_NE(form->Label1, nullptr);
  EXPECT_EQ(form->Label1->Caption(), "stored as a resource");
}

TEST(FormLoaderErrors, MissingResourceIsNamed) {
  class TMissing : public TForm {
   public:
    using TForm::TForm;
    std::string DescriptionName() const override { return "TNOSUCHFORM"; }
  };
  try {
    NewForm<TMissing>(nullptr);
    ADD_FAILURE();
  } catch (const EResNotFound& e) {
    EXPECT_NE(e.Message().find("TNOSUCHFORM"), std::string::npos);
  }
}

// Memory that runs out while a form is made or filled leaves as EOutOfMemory
// (never a bare std::bad_alloc), and NewForm frees the half-made form.
TEST(FormLoaderErrors, MemoryExhaustedWhileLoadingIsEOutOfMemory) {
  RegisterComponentClass("TExhausting", "TComponent", [](TComponent*) -> TComponent* { throw std::bad_alloc(); });
  TTestForm form(nullptr);
  EXPECT_THROW(form.LoadFromDescription("object F: TTestForm\n  object X: TExhausting\n  end\nend\n"), EOutOfMemory);

  static int alive = 0;
  class TExhaustedOnCreate : public TForm {
   public:
    explicit TExhaustedOnCreate(TComponent* owner) : TForm(owner) {
      ++alive;
      OnCreate = [](TObject*) { throw std::length_error("vector::reserve"); };
    }
    ~TExhaustedOnCreate() override { --alive; }
  };
  EXPECT_THROW(NewForm<TExhaustedOnCreate>(nullptr), EOutOfMemory);
  EXPECT_EQ(alive, 0) << "the form was freed";
}

}  // namespace

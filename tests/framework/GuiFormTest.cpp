// Forms at run time without a display: alignment, modal loops, keys and
// mouse input through the window queue, timers inside modal loops, and
// handlers that free their own form.
#include <gtest/gtest.h>

#include <climits>

#include "Application.h"
#include "Button.h"
#include "Dialogs.h"
#include "Edit.h"
#include "FormInput.h"
#include "Forms.h"
#include "HeadlessGuiTest.h"
#include "Label.h"
#include "PageControl.h"
#include "ProgressBar.h"
#include "SpeedButton.h"
#include "Timer.h"

namespace {

using GuiTest = HeadlessGuiTest;

template <class T>
T* Add(TWinControl* parent, int l, int t, int w, int h) {
  auto* c = new T(parent->ParentForm() ? static_cast<TComponent*>(parent->ParentForm()) : parent);
  c->SetParent(parent);
  c->SetBounds(l, t, w, h);
  return c;
}

using GuiAlignment = GuiTest;

TEST_F(GuiAlignment, HiddenBottomBarTakesNoRoomAndShowingItTakesItsHeight) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 864, 414);
  auto* bar = Add<TProgressBar>(&form, 0, 0, 864, 17);
  bar->SetAlign(alBottom);
  bar->SetVisible(false);
  auto* pages = Add<TPageControl>(&form, 0, 0, 10, 10);
  pages->Style = tsButtons;
  pages->Font().SetHeight(-13);
  pages->SetAlign(alClient);
  auto* sheet = Add<TTabSheet>(pages, 0, 0, 1, 1);
  EXPECT_EQ(pages->BoundsRect(), Bounds(0, 0, 864, 414));
  bar->SetVisible(true);
  EXPECT_EQ(pages->BoundsRect(), Bounds(0, 0, 864, 397));
  EXPECT_EQ(bar->BoundsRect(), Bounds(0, 397, 864, 17));
  EXPECT_EQ(sheet->Width(), 856);
  EXPECT_EQ(sheet->Height(), 356) << "the page inside the tab row and border";
  bar->SetVisible(false);
  EXPECT_EQ(pages->Height(), 414);
}

TEST_F(GuiAlignment, TopBottomAndClientShareTheArea) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 100, 100);
  form.DisableAlign();
  auto* top = Add<TLabel>(&form, 5, 5, 10, 20);
  top->SetAutoSize(false);
  top->SetAlign(alTop);
  auto* bottom = Add<TLabel>(&form, 0, 0, 10, 30);
  bottom->SetAutoSize(false);
  bottom->SetAlign(alBottom);
  auto* client = Add<TLabel>(&form, 0, 0, 1, 1);
  client->SetAutoSize(false);
  client->SetAlign(alClient);
  form.EnableAlign();
  EXPECT_EQ(top->BoundsRect(), Bounds(0, 0, 100, 20));
  EXPECT_EQ(bottom->BoundsRect(), Bounds(0, 70, 100, 30));
  EXPECT_EQ(client->BoundsRect(), Bounds(0, 20, 100, 50));
  form.SetBounds(0, 0, 200, 50);
  EXPECT_EQ(client->BoundsRect(), Bounds(0, 20, 200, 0)) << "no negative sizes when the form shrinks";
}

class TDialogForm : public TForm {
 public:
  explicit TDialogForm(TComponent* owner) : TForm(owner) {
    SetBounds(0, 0, 220, 131);
    Ok = Add<TButton>(this, 8, 95, 85, 27);
    Ok->SetCaption("OK");
    Ok->Default = true;
    Ok->ModalResult = mrOk;
    Abort = Add<TButton>(this, 124, 95, 85, 27);
    Abort->SetCaption("Cancel");
    Abort->ModalResult = mrAbort;
    Abort->Cancel = true;
  }
  TButton* Ok;
  TButton* Abort;
};

using GuiModal = GuiTest;

TEST_F(GuiModal, KeysClicksAndCloseBoxGiveTheirResults) {
  struct Case {
    const char* What;
    std::function<void(TDialogForm&)> Input;
    TModalResult Expected;
  } cases[] = {
      {"Enter presses the default button", [](TDialogForm& f) { PostKey(f, VK_RETURN); }, mrOk},
      {"Escape presses the cancel button", [](TDialogForm& f) { PostKey(f, VK_ESCAPE); }, mrAbort},
      {"a click on Cancel", [](TDialogForm& f) { PostClick(f, 130, 100); }, mrAbort},
      {"the close box", [](TDialogForm& f) { PostClose(f); }, mrCancel},
      {"a click beside the buttons changes nothing",
       [](TDialogForm& f) {
         PostClick(f, 110, 10);
         PostClick(f, 10, 100);
       },
       mrOk},
  };
  for (const Case& c : cases) {
    TDialogForm form(nullptr);
    SetModalResponder([&c](TCustomForm& shown) { c.Input(static_cast<TDialogForm&>(shown)); });
    EXPECT_EQ(form.ShowModal(), c.Expected) << c.What;
    EXPECT_FALSE(form.Visible()) << c.What;
    EXPECT_FALSE(form.IsModal());
  }
}

TEST_F(GuiModal, OtherFormsAreDisabledWhileModalAndEnabledAfter) {
  TForm main(nullptr);
  main.Show();
  TDialogForm dialog(nullptr);
  bool mainEnabledDuring = true;
  SetModalResponder([&](TCustomForm& shown) {
    mainEnabledDuring = main.Enabled();
    PostKey(shown, VK_RETURN);
  });
  dialog.ShowModal();
  EXPECT_FALSE(mainEnabledDuring);
  EXPECT_TRUE(main.Enabled());
  EXPECT_THROW(main.ShowModal(), EInvalidOperation) << "a visible form cannot become modal";
}

TEST_F(GuiModal, TimerKeepsFiringInsideAModalMessageBox) {
  TTimer timer(nullptr);
  timer.SetInterval(10);
  int ticks = 0;
  timer.OnTimer = [&](TObject*) {
    if (++ticks == 3 && Application->ActiveForm()) PostKey(*Application->ActiveForm(), VK_RETURN);
  };
  SetModalResponder([](TCustomForm&) {});
  EXPECT_EQ(MessageDlg("Continue?", mtWarning, mbYes | mbNo, 0), mrYes);
  EXPECT_GE(ticks, 3);
}

TEST_F(GuiModal, UnattendedBoxWritesItsTextAndAnswersWithTheDefault) {
  testing::internal::CaptureStderr();
  int answer = MessageBox("Disk full", "Copy", MB_OKCANCEL | MB_DEFBUTTON2);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(answer, IDCANCEL);
  EXPECT_NE(err.find("Copy"), std::string::npos);
  EXPECT_NE(err.find("Disk full"), std::string::npos);
}

// The click must land on OK for the test to mean anything; after it, nothing
// may touch the freed form (ASan would report it).
TEST_F(GuiModal, HandlerThatFreesItsFormDuringAClickIsSafe) {
  auto* form = new TDialogForm(nullptr);
  form->Ok->ModalResult = mrNone;
  bool freed = false;
  // The handler lives in the form it frees: it notes the click first.
  form->Ok->OnClick = [form, &freed](TObject*) {
    freed = true;
    delete form;
  };
  form->Show();
  PostClick(*form, 20, 100);
  Application->ProcessMessages();
  EXPECT_TRUE(freed) << "the click missed OK";
  if (!freed) delete form;
}

TEST_F(GuiModal, HandlerThatFreesItsModalFormEndsTheLoop) {
  auto* form = new TDialogForm(nullptr);
  bool freed = false;
  form->Ok->OnClick = [form, &freed](TObject*) {
    freed = true;
    delete form;
  };
  SetModalResponder([](TCustomForm& shown) { PostKey(shown, VK_RETURN); });
  EXPECT_EQ(form->ShowModal(), mrCancel);
  EXPECT_TRUE(freed) << "Enter did not reach OK";
}

using GuiFormLimits = GuiTest;

// A form past the size limit of drawing surfaces is refused when it would be
// painted, with the size in the message: at once from PaintToSurface, and in
// the message loop through the exception display.
TEST_F(GuiFormLimits, FormTooLargeToPaintIsRefusedNamingItsSize) {
  TForm form(nullptr);
  form.LoadFromDescription("object Huge: TForm\n  ClientWidth = 100000\n  ClientHeight = 100000\nend\n");
  try {
    form.PaintToSurface();
    ADD_FAILURE() << "a surface of 100000 x 100000 was made";
  } catch (const EOutOfResources& e) {
    EXPECT_NE(e.Message().find("100000 x 100000"), std::string::npos) << e.Message();
  }
  std::vector<std::string> shown;
  Application->OnException = [&](TObject*, const std::exception& e) {
    shown.push_back(std::string(dynamic_cast<const EOutOfResources*>(&e) ? "EOutOfResources: " : "") + e.what());
  };
  form.Show();
  Application->ProcessMessages();
  Application->OnException = nullptr;
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_NE(shown[0].find("EOutOfResources: Drawing surface is too large (100000 x 100000"), std::string::npos)
      << shown[0];
}

// Coordinates from a description may lie anywhere in the int range: controls
// near either end are placed, invalidated, painted and hit-tested without
// overflowing (UBSan), and the ones inside the form still take clicks.
TEST_F(GuiFormLimits, ControlsAtTheEndsOfTheCoordinateRangeDoNotOverflow) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 200, 100);
  auto* far = Add<TButton>(&form, INT_MAX - 5, INT_MAX - 5, INT_MAX, INT_MAX);
  auto* before = Add<TLabel>(&form, INT_MIN, INT_MIN, INT_MAX, 20);
  before->SetCaption("far left");
  auto* after = Add<TLabel>(&form, INT_MAX - 5, 0, 100, 20);
  after->SetAlignment(taRightJustify);
  after->SetCaption("far right");
  auto* sheet = Add<TTabSheet>(&form, 10, 10, 100, 50);
  auto* inner = Add<TSpeedButton>(sheet, INT_MAX - 5, 0, 100, 20);
  auto* near = Add<TSpeedButton>(&form, 150, 60, 40, 30);
  int clicks = 0;
  near->OnClick = [&](TObject*) { ++clicks; };
  form.Show();
  Application->ProcessMessages();
  EXPECT_EQ(far->BoundsRect(), Rect(INT_MAX - 5, INT_MAX - 5, INT_MAX, INT_MAX));
  EXPECT_EQ(inner->ClientToForm({0, 0}), (TPoint{INT_MAX, 10})) << "saturated, not wrapped to the left";
  far->Invalidate();
  inner->Invalidate();
  before->SetCaption("still far left");
  after->SetCaption("still far right");
  PostClick(form, 160, 70);
  PostClick(form, 199, 99);
  Application->ProcessMessages();
  EXPECT_EQ(clicks, 1);
  EXPECT_NE(form.PaintToSurface(), nullptr);
}

using GuiInput = GuiTest;

TEST_F(GuiInput, TypingFillsTheFocusedEditUpToMaxLength) {
  TForm form(nullptr);
  auto* edit = Add<TEdit>(&form, 10, 10, 100, 21);
  edit->MaxLength = 3;
  form.Show();
  PostClick(form, 20, 15);
  for (char c : std::string("ab\xE4z")) PostChar(form, c);
  Application->ProcessMessages();
  EXPECT_TRUE(edit->Focused());
  EXPECT_EQ(edit->Text(), std::string("ab\xE4")) << "the fourth character is refused";
  PostKey(form, VK_BACK);
  PostChar(form, 'q');
  Application->ProcessMessages();
  EXPECT_EQ(edit->Text(), "abq") << "Backspace makes room for one more";
}

// A form opens with the focus on the lowest tab order among the controls
// that can take it: hidden and disabled ones are passed over, so typing at
// once goes to the edit. A control the show event focuses keeps the focus.
TEST_F(GuiInput, FirstControlInTabOrderHasTheFocusWhenTheFormOpens) {
  TForm form(nullptr);
  auto* label = Add<TLabel>(&form, 10, 0, 100, 13);
  label->SetCaption("Name");
  auto* later = Add<TButton>(&form, 10, 70, 75, 25);
  later->TabOrder = 3;
  auto* edit = Add<TEdit>(&form, 10, 15, 100, 21);
  edit->TabOrder = 2;
  auto* hidden = Add<TButton>(&form, 10, 40, 75, 25);
  hidden->TabOrder = 0;
  hidden->SetVisible(false);
  auto* disabled = Add<TButton>(&form, 90, 40, 75, 25);
  disabled->TabOrder = 1;
  disabled->SetEnabled(false);
  form.Show();
  EXPECT_EQ(form.ActiveControl(), edit);
  PostChar(form, 'x');
  Application->ProcessMessages();
  EXPECT_EQ(edit->Text(), "x");
  PostKey(form, VK_TAB);
  Application->ProcessMessages();
  EXPECT_EQ(form.ActiveControl(), later);

  TForm chosen(nullptr);
  auto* first = Add<TButton>(&chosen, 10, 10, 75, 25);
  first->TabOrder = 0;
  auto* second = Add<TButton>(&chosen, 10, 40, 75, 25);
  second->TabOrder = 1;
  chosen.OnShow = [&](TObject*) { chosen.SetActiveControl(second); };
  chosen.Show();
  EXPECT_EQ(chosen.ActiveControl(), second);
}

TEST_F(GuiInput, KeyPreviewLetsTheFormSeeAndChangeKeysFirst) {
  TForm form(nullptr);
  auto* edit = Add<TEdit>(&form, 10, 10, 100, 21);
  form.KeyPreview = true;
  std::string seen;
  form.OnKeyPress = [&](TObject*, char& key) {
    seen += key;
    if (key == 'x') key = 0;
    if (key == 'a') key = 'A';
  };
  form.Show();
  edit->SetFocus();
  for (char c : std::string("axb")) PostChar(form, c);
  Application->ProcessMessages();
  EXPECT_EQ(seen, "axb");
  EXPECT_EQ(edit->Text(), "Ab");
}

TEST_F(GuiInput, ClicksReachTheTopmostEnabledControlAndFallThroughDisabledOnes) {
  TForm form(nullptr);
  std::vector<std::string> clicks;
  auto* under = Add<TLabel>(&form, 0, 0, 100, 100);
  under->SetAutoSize(false);
  under->OnClick = [&](TObject*) { clicks.push_back("under"); };
  auto* over = Add<TSpeedButton>(&form, 10, 10, 20, 20);
  over->OnClick = [&](TObject*) { clicks.push_back("over"); };
  form.OnClick = [&](TObject*) { clicks.push_back("form"); };
  form.Show();
  PostClick(form, 15, 15);
  PostClick(form, 50, 50);
  PostClick(form, 150, 150);
  Application->ProcessMessages();
  over->SetEnabled(false);
  PostClick(form, 15, 15);
  Application->ProcessMessages();
  EXPECT_EQ(clicks, (std::vector<std::string>{"over", "under", "form", "under"}));
}

TEST_F(GuiInput, ReleaseOutsideGivesNoClickAndHoverEntersAndLeaves) {
  TForm form(nullptr);
  auto* button = Add<TSpeedButton>(&form, 10, 10, 20, 20);
  int clicks = 0;
  std::string hover;
  button->OnClick = [&](TObject*) { ++clicks; };
  button->OnMouseEnter = [&](TObject*) { hover += "E"; };
  button->OnMouseLeave = [&](TObject*) { hover += "L"; };
  form.Show();
  PostMouseMove(form, 15, 15);
  PostMouseButton(form, WM_LBUTTONDOWN, 15, 15);
  PostMouseMove(form, 100, 100);
  PostMouseButton(form, WM_LBUTTONUP, 100, 100);
  Application->ProcessMessages();
  EXPECT_EQ(clicks, 0);
  EXPECT_FALSE(button->Pressed());
  EXPECT_EQ(hover, "EL");
}

TEST_F(GuiInput, PageTabsSwitchPagesOnClick) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 300, 200);
  auto* pages = Add<TPageControl>(&form, 0, 0, 300, 200);
  auto* one = Add<TTabSheet>(pages, 0, 0, 1, 1);
  one->SetCaption("One");
  auto* two = Add<TTabSheet>(pages, 0, 0, 1, 1);
  two->SetCaption("Two");
  int changes = 0;
  pages->OnChange = [&](TObject*) { ++changes; };
  form.Show();
  EXPECT_EQ(pages->ActivePage(), one);
  TRect tab = pages->TabRect(1);
  PostClick(form, tab.Left + 3, tab.Top + 3);
  Application->ProcessMessages();
  EXPECT_EQ(pages->ActivePage(), two);
  EXPECT_TRUE(two->Visible());
  EXPECT_FALSE(one->Visible());
  EXPECT_EQ(changes, 1);
}

}  // namespace

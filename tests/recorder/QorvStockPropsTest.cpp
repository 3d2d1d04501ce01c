// The form's stock properties through the IQorvX vtable: COM booleans and
// strings, colours passed bit for bit, enums kept in range, and the Font
// property linked both ways to a font object.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ComErrorReader.h"
#include "HeadlessGuiTest.h"
#include "QorvImpl1.h"
#include "olectl.h"

namespace {

using QorvProj1_TLB::IQorvX;

struct TFormDeleter {
  void operator()(TQorvX* form) const { delete form; }
};
using TQorvXPtr = std::unique_ptr<TQorvX, TFormDeleter>;

// A reference released at the end of the scope.
template <class T>
struct TRef {
  T* P = nullptr;
  ~TRef() {
    if (P) P->Release();
  }
  T* operator->() const { return P; }
};

BSTR Wide(const std::u16string& text) { return SysAllocStringLen(text.data(), static_cast<UINT>(text.size())); }

class QorvXStockProps : public HeadlessGuiTest {
 protected:
  void SetUp() override {
    HeadlessGuiTest::SetUp();
    control.reset(NewForm<TQorvX>(nullptr));
    face = control.get();
  }
  void TearDown() override {
    control.reset();
    HeadlessGuiTest::TearDown();
  }
  TQorvXPtr control;
  IQorvX* face = nullptr;
};

// Every boolean property: any non-zero value is true and answers -1, zero is
// false and answers 0, and the form's own property follows.
TEST_F(QorvXStockProps, BooleansFollowComRules) {
  struct Row {
    const char* Name;
    HRESULT (STDMETHODCALLTYPE IQorvX::*Put)(VARIANT_BOOL);
    HRESULT (STDMETHODCALLTYPE IQorvX::*Get)(VARIANT_BOOL*);
    std::function<bool(TQorvX&)> Form;
  };
  const std::vector<Row> rows = {
      {"Visible", &IQorvX::put_Visible, &IQorvX::get_Visible, [](TQorvX& f) { return f.Visible(); }},
      {"AutoScroll", &IQorvX::put_AutoScroll, &IQorvX::get_AutoScroll, [](TQorvX& f) { return f.AutoScroll; }},
      {"AutoSize", &IQorvX::put_AutoSize, &IQorvX::get_AutoSize, [](TQorvX& f) { return f.AutoSize; }},
      {"KeyPreview", &IQorvX::put_KeyPreview, &IQorvX::get_KeyPreview, [](TQorvX& f) { return f.KeyPreview; }},
      {"Scaled", &IQorvX::put_Scaled, &IQorvX::get_Scaled, [](TQorvX& f) { return f.Scaled; }},
      {"DropTarget", &IQorvX::put_DropTarget, &IQorvX::get_DropTarget, [](TQorvX& f) { return f.DropTarget; }},
      {"DoubleBuffered", &IQorvX::put_DoubleBuffered, &IQorvX::get_DoubleBuffered,
       [](TQorvX& f) { return f.DoubleBuffered; }},
      {"Enabled", &IQorvX::put_Enabled, &IQorvX::get_Enabled, [](TQorvX& f) { return f.Enabled(); }},
  };
  for (const Row& row : rows) {
    for (VARIANT_BOOL put : {static_cast<VARIANT_BOOL>(2), VARIANT_FALSE, VARIANT_TRUE,
                             static_cast<VARIANT_BOOL>(0x8000), static_cast<VARIANT_BOOL>(0)}) {
      ASSERT_EQ((face->*row.Put)(put), S_OK) << row.Name;
      VARIANT_BOOL got = 99;
      ASSERT_EQ((face->*row.Get)(&got), S_OK) << row.Name;
      EXPECT_EQ(got, put ? VARIANT_TRUE : VARIANT_FALSE) << row.Name << " put " << put;
      EXPECT_EQ(row.Form(*control), put != 0) << row.Name << " put " << put;
    }
    EXPECT_EQ((face->*row.Get)(nullptr), E_POINTER) << row.Name;
  }
}

// Read-only booleans tell the form's state as it is.
TEST_F(QorvXStockProps, ReadOnlyStateOfTheForm) {
  VARIANT_BOOL value = 99;
  ASSERT_EQ(face->get_AlignDisabled(&value), S_OK);
  EXPECT_EQ(value, VARIANT_FALSE);
  control->DisableAlign();
  ASSERT_EQ(face->get_AlignDisabled(&value), S_OK);
  EXPECT_EQ(value, VARIANT_TRUE);
  control->EnableAlign();
  ASSERT_EQ(face->get_Active(&value), S_OK);
  EXPECT_EQ(value, VARIANT_FALSE) << "never shown, never active";
  LONG docked = 5;
  ASSERT_EQ(face->get_VisibleDockClientCount(&docked), S_OK);
  EXPECT_EQ(docked, 0);
  EXPECT_EQ(face->get_Active(nullptr), E_POINTER);
}

// An empty caption answers a null string; text goes through the ANSI code
// page both ways, Persian included.
TEST_F(QorvXStockProps, StringsGoThroughTheAnsiCodePage) {
  BSTR caption = Wide(u"");
  ASSERT_EQ(face->put_Caption(caption), S_OK);
  SysFreeString(caption);
  BSTR got = reinterpret_cast<BSTR>(1);
  ASSERT_EQ(face->get_Caption(&got), S_OK);
  EXPECT_EQ(got, nullptr);

  const std::u16string persian = u"\u0636\u0628\u0637 QorvX";
  caption = Wide(persian);
  ASSERT_EQ(face->put_Caption(caption), S_OK);
  SysFreeString(caption);
  EXPECT_EQ(control->Caption(), "\xD6\xC8\xD8 QorvX") << "stored in code page 1256";
  ASSERT_EQ(face->get_Caption(&got), S_OK);
  EXPECT_EQ(std::u16string(got, SysStringLen(got)), persian);
  SysFreeString(got);

  BSTR keyword = Wide(u"recording");
  ASSERT_EQ(face->put_HelpKeyword(keyword), S_OK);
  SysFreeString(keyword);
  EXPECT_EQ(control->HelpKeyword, "recording");
  ASSERT_EQ(face->put_HelpFile(nullptr), S_OK);
  EXPECT_EQ(control->HelpFile, "");
  EXPECT_EQ(face->get_HelpFile(nullptr), E_POINTER);
}

// Colours pass bit for bit: a system colour stays a system colour.
TEST_F(QorvXStockProps, ColourPassesUnchanged) {
  for (OLE_COLOR colour : {0x8000000Fu, 0x80000005u, 0x00123456u, 0x00000000u}) {
    ASSERT_EQ(face->put_Color(colour), S_OK);
    EXPECT_EQ(static_cast<OLE_COLOR>(control->Color()), colour);
    OLE_COLOR got = 1;
    ASSERT_EQ(face->get_Color(&got), S_OK);
    EXPECT_EQ(got, colour);
  }
}

// Enums take their own values and refuse others with the error information
// a caller reads, leaving the form as it was.
TEST_F(QorvXStockProps, EnumsOutOfRangeAreRefused) {
  using QorvProj1_TLB::TxActiveFormBorderStyle;
  using QorvProj1_TLB::TxHelpType;
  using QorvProj1_TLB::TxPrintScale;
  ASSERT_EQ(face->put_AxBorderStyle(static_cast<TxActiveFormBorderStyle>(3)), S_OK);
  EXPECT_EQ(control->AxBorderStyle, afbRaised);
  ASSERT_EQ(face->put_PrintScale(static_cast<TxPrintScale>(2)), S_OK);
  EXPECT_EQ(control->PrintScale, poPrintToFit);
  ASSERT_EQ(face->put_HelpType(static_cast<TxHelpType>(0)), S_OK);
  EXPECT_EQ(control->HelpType, htKeyword);

  SetErrorInfo(0, nullptr);
  EXPECT_EQ(face->put_AxBorderStyle(static_cast<TxActiveFormBorderStyle>(4)), E_INVALIDARG);
  const TComErrorRecord error = TakeComError();
  ASSERT_TRUE(error.Present);
  EXPECT_EQ(error.Guid, IID_IQorvX);
  EXPECT_EQ(error.Source, "QorvProj1.QorvX");
  EXPECT_FALSE(error.Description.empty());
  EXPECT_EQ(face->put_PrintScale(static_cast<TxPrintScale>(-1)), E_INVALIDARG);
  EXPECT_EQ(face->put_HelpType(static_cast<TxHelpType>(2)), E_INVALIDARG);
  EXPECT_EQ(control->AxBorderStyle, afbRaised);
  EXPECT_EQ(control->PrintScale, poPrintToFit);
  EXPECT_EQ(control->HelpType, htKeyword);

  TxActiveFormBorderStyle style = QorvProj1_TLB::afbNone;
  ASSERT_EQ(face->get_AxBorderStyle(&style), S_OK);
  EXPECT_EQ(style, QorvProj1_TLB::afbRaised);
}

// Numbers pass as they are; AutoSize switched on fits the form to its
// controls at once.
TEST_F(QorvXStockProps, NumbersAndAutoSize) {
  ASSERT_EQ(face->put_Cursor(-21), S_OK);
  SHORT cursor = 0;
  ASSERT_EQ(face->get_Cursor(&cursor), S_OK);
  EXPECT_EQ(cursor, -21);
  EXPECT_EQ(control->Cursor, crHandPoint);
  ASSERT_EQ(face->put_PixelsPerInch(120), S_OK);
  LONG ppi = 0;
  ASSERT_EQ(face->get_PixelsPerInch(&ppi), S_OK);
  EXPECT_EQ(ppi, 120);

  const int fitted = control->Width();
  ASSERT_EQ(face->put_AutoSize(VARIANT_FALSE), S_OK);
  control->SetWidth(fitted + 40);
  ASSERT_EQ(face->put_AutoSize(VARIANT_TRUE), S_OK);
  EXPECT_EQ(control->Width(), fitted);
}

// The font object answered by get follows the form's font and drives it.
TEST_F(QorvXStockProps, FontObjectDrivesTheFormsFont) {
  TRef<IFontDisp> disp;
  ASSERT_EQ(face->get_Font(&disp.P), S_OK);
  ASSERT_NE(disp.P, nullptr);
  TRef<IFont> font;
  ASSERT_EQ(disp->QueryInterface(IID_IFont, reinterpret_cast<void**>(&font.P)), S_OK);
  BSTR name = nullptr;
  ASSERT_EQ(font->get_Name(&name), S_OK);
  EXPECT_EQ(std::u16string(name, SysStringLen(name)), u"MS Sans Serif") << "the stored form font";
  SysFreeString(name);
  CY size{};
  font->get_Size(&size);
  EXPECT_EQ(size.int64, 80000) << "height -11 at 96 pixels per inch";

  BSTR tahoma = Wide(u"Tahoma");
  ASSERT_EQ(font->put_Name(tahoma), S_OK);
  SysFreeString(tahoma);
  ASSERT_EQ(font->put_Bold(TRUE), S_OK);
  size.int64 = 120000;
  ASSERT_EQ(font->put_Size(size), S_OK);
  EXPECT_EQ(control->Font().Name, "Tahoma");
  EXPECT_TRUE(control->Font().Style & fsBold);
  EXPECT_EQ(control->Font().Height, -16);
  EXPECT_EQ(control->Font().Color, clWindowText) << "colour is no font object attribute";

  // The form's font changed by other means is what the next get answers.
  control->Font().SetStyle(fsItalic);
  TRef<IFontDisp> again;
  ASSERT_EQ(face->get_Font(&again.P), S_OK);
  EXPECT_EQ(again.P, disp.P) << "one font object for the form";
  BOOL italic = FALSE, bold = TRUE;
  font->get_Italic(&italic);
  font->get_Bold(&bold);
  EXPECT_TRUE(italic);
  EXPECT_FALSE(bold);
  EXPECT_EQ(face->get_Font(nullptr), E_POINTER);
}

TRef<IFontDisp> HostFont(const char16_t* name, LONGLONG size) {
  FONTDESC d{};
  d.cbSizeofstruct = sizeof d;
  d.lpstrName = const_cast<LPOLESTR>(name);
  d.cySize.int64 = size;
  d.sWeight = FW_BOLD;
  d.sCharset = 178;
  TRef<IFontDisp> font;
  EXPECT_EQ(OleCreateFontIndirect(&d, IID_IFontDisp, reinterpret_cast<void**>(&font.P)), S_OK);
  return font;
}

void SetName(IFontDisp* disp, const char16_t* name) {
  IFont* font = nullptr;
  ASSERT_EQ(disp->QueryInterface(IID_IFont, reinterpret_cast<void**>(&font)), S_OK);
  BSTR text = SysAllocString(name);
  EXPECT_EQ(font->put_Name(text), S_OK);
  SysFreeString(text);
  font->Release();
}

// A put (by value or by reference) makes the form take the host's font at
// once and follow it from then on; the object it had before drives nothing.
TEST_F(QorvXStockProps, PutFontFollowsTheHostsObject) {
  TRef<IFontDisp> before;
  ASSERT_EQ(face->get_Font(&before.P), S_OK);
  TRef<IFontDisp> host = HostFont(u"Arial", 100000);
  ASSERT_EQ(face->put_Font(host.P), S_OK);
  EXPECT_EQ(control->Font().Name, "Arial");
  EXPECT_EQ(control->Font().Size(), 10);
  EXPECT_TRUE(control->Font().Style & fsBold);
  EXPECT_EQ(control->Font().Charset, 178);

  SetName(host.P, u"Tahoma");
  EXPECT_EQ(control->Font().Name, "Tahoma") << "follows the host's object";
  SetName(before.P, u"Courier New");
  EXPECT_EQ(control->Font().Name, "Tahoma") << "the old object is let go";
  TRef<IFontDisp> now;
  ASSERT_EQ(face->get_Font(&now.P), S_OK);
  EXPECT_EQ(now.P, host.P) << "get answers the object the form follows";

  TRef<IFontDisp> other = HostFont(u"Verdana", 90000);
  IFontDisp* byReference = other.P;
  ASSERT_EQ(face->_set_Font(&byReference), S_OK);
  EXPECT_EQ(control->Font().Name, "Verdana");
  SetName(host.P, u"Arial");
  EXPECT_EQ(control->Font().Name, "Verdana");
}

// A null font object is refused and the form keeps its font and its link.
TEST_F(QorvXStockProps, NullFontIsRefused) {
  TRef<IFontDisp> host = HostFont(u"Arial", 100000);
  ASSERT_EQ(face->put_Font(host.P), S_OK);
  SetErrorInfo(0, nullptr);
  EXPECT_EQ(face->put_Font(nullptr), E_POINTER);
  EXPECT_EQ(TakeComError().Source, "QorvProj1.QorvX");
  IFontDisp* none = nullptr;
  EXPECT_EQ(face->_set_Font(&none), E_POINTER);
  EXPECT_EQ(face->_set_Font(nullptr), E_POINTER);
  SetName(host.P, u"Tahoma");
  EXPECT_EQ(control->Font().Name, "Tahoma") << "still linked";
}

// The host may keep the font object after the control is gone; changing it
// then reaches nothing that was freed.
TEST_F(QorvXStockProps, FontObjectOutlivesTheControl) {
  TRef<IFontDisp> disp;
  ASSERT_EQ(face->get_Font(&disp.P), S_OK);
  TRef<IFontDisp> host = HostFont(u"Arial", 100000);
  ASSERT_EQ(face->put_Font(host.P), S_OK);
  control.reset();
  SetName(disp.P, u"Tahoma");
  SetName(host.P, u"Tahoma");
}

}  // namespace

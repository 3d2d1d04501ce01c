// A form's own properties written as description text and read back: texts
// with quotes, line breaks, Persian letters and nothing at all survive, and
// the written text is what the form reader reads.
#include <gtest/gtest.h>

#include <string>

#include "FormOwnProperties.h"
#include "HeadlessGuiTest.h"

namespace {

using FormOwnPropertiesText = HeadlessGuiTest;

class TPlainForm : public TActiveForm {
 public:
  using TActiveForm::TActiveForm;
};

std::string RoundTrip(TActiveForm& from, TActiveForm& to) {
  const std::string text = DescribeFormOwnProperties(from, "TActiveForm");
  ApplyFormOwnProperties(to, "TActiveForm", ParseFormDescription(text));
  return text;
}

TEST_F(FormOwnPropertiesText, TextsOfEveryKindComeBackAsTheyWere) {
  const std::string captions[] = {
      "",
      "'",
      "It's ''quoted''",
      "line one\r\nline two",
      "\t#7 and #",
      "\xD3\xE1\xC7\xE3",  // Persian letters in the ANSI code page
      "ends in a quote'",
  };
  for (const std::string& caption : captions) {
    TPlainForm from(nullptr);
    from.SetName("Source");
    from.SetCaption(caption);
    from.HelpFile = caption;
    TPlainForm to(nullptr);
    to.SetName("Target");
    to.SetCaption("something else");
    const std::string text = RoundTrip(from, to);
    EXPECT_EQ(to.Caption(), caption) << text;
    EXPECT_EQ(to.HelpFile, caption) << text;
    EXPECT_EQ(to.Name(), "Target") << "the stored name is not taken over";
  }
}

TEST_F(FormOwnPropertiesText, EmptyAndFullSetsAndEveryEnumerationValueComeBack) {
  for (TFontStyles styles : {TFontStyles{0}, TFontStyles{fsBold | fsItalic | fsUnderline | fsStrikeOut}}) {
    for (int border = afbNone; border <= afbRaised; ++border) {
      TPlainForm from(nullptr);
      from.SetName("Source");
      from.Font().SetStyle(styles);
      from.AxBorderStyle = static_cast<TActiveFormBorderStyle>(border);
      from.PrintScale = poPrintToFit;
      from.HelpType = htKeyword;
      from.SetColor(static_cast<TColor>(0x80000000u | 15));  // a system colour, negative as an int
      TPlainForm to(nullptr);
      to.SetName("Target");
      const std::string text = RoundTrip(from, to);
      EXPECT_EQ(to.Font().Style, styles) << text;
      EXPECT_EQ(to.AxBorderStyle, border) << text;
      EXPECT_EQ(to.PrintScale, poPrintToFit);
      EXPECT_EQ(to.HelpType, htKeyword);
      EXPECT_EQ(to.Color(), from.Color());
    }
  }
}

TEST_F(FormOwnPropertiesText, OnlyTheFormsOwnPropertiesAreWritten) {
  TPlainForm form(nullptr);
  form.SetName("Alone");
  const std::string text = DescribeFormOwnProperties(form, "TActiveForm");
  const TFormNode node = ParseFormDescription(text);
  EXPECT_EQ(node.Name, "Alone");
  EXPECT_EQ(node.ClassName, "TActiveForm");
  EXPECT_TRUE(node.Children.empty());
  EXPECT_EQ(node.Properties.size(), FormOwnProperties().size());
  for (const TFormProperty& property : node.Properties) {
    EXPECT_EQ(property.Name.rfind("On", 0), std::string::npos) << "no handler is state: " << property.Name;
  }
}

}  // namespace

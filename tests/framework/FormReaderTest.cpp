// The description reader: every value kind, nesting, line numbers, and a
// clear error naming the line for text it cannot read.
#include <gtest/gtest.h>

#include <filesystem>

#include "FormReader.h"
#include "TestSupport.h"

namespace {

const char* kRich = R"(object Form1: TForm1
  Left = -4
  Color = $00FF0000
  Scale = 1.5
  Caption = 'It''s '#1606#1589'b' +
    'c'
  Font.Style = [fsBold, fsItalic]
  Empty = []
  OnShow = FormShow
  Items.Strings = (
    'one'
    'two')
  Picture.Data = {
    0A0b
    FF}
  object Label1: TLabel
    Top = 44
    object Inner: TPanel
    end
  end
  object Timer1: TTimer
  end
end
)";

TEST(FormReaderValues, ReadsEveryValueKindWithItsLine) {
  TFormNode root = ParseFormDescription(kRich);
  EXPECT_EQ(root.Name, "Form1");
  EXPECT_EQ(root.ClassName, "TForm1");
  ASSERT_EQ(root.Properties.size(), 9u);
  const auto& p = root.Properties;
  EXPECT_EQ(p[0].Value.Integer, -4);
  EXPECT_EQ(p[1].Value.Integer, 0x00FF0000) << "hex colour constant";
  EXPECT_EQ(p[2].Value.Kind, TFormValueKind::Float);
  EXPECT_DOUBLE_EQ(p[2].Value.Float, 1.5);
  EXPECT_EQ(p[3].Value.Text, "It's \u0646\u0635bc") << "quotes doubled, #codes and '+' continuation";
  EXPECT_EQ(p[4].Value.Names, (std::vector<std::string>{"fsBold", "fsItalic"}));
  EXPECT_TRUE(p[5].Value.Names.empty());
  EXPECT_EQ(p[6].Value.Kind, TFormValueKind::Identifier);
  EXPECT_EQ(p[6].Value.Text, "FormShow");
  ASSERT_EQ(p[7].Value.Items.size(), 2u);
  EXPECT_EQ(p[7].Value.Items[1].Text, "two");
  EXPECT_EQ(p[8].Value.Bytes, (std::vector<std::uint8_t>{0x0A, 0x0B, 0xFF})) << "hex over lines, any case";
  EXPECT_EQ(p[8].Line, 13);
  ASSERT_EQ(root.Children.size(), 2u);
  EXPECT_EQ(root.Children[0].Line, 16);
  EXPECT_EQ(root.Children[0].Children[0].ClassName, "TPanel");
  EXPECT_EQ(root.Children[1].Name, "Timer1");
}

TEST(FormReaderValues, NegativeHexAndLargeHexKeepTheirPattern) {
  TFormNode root = ParseFormDescription("object F: TForm\n  A = $FFFFFFFF\n  B = $100000000\nend");
  EXPECT_EQ(root.Properties[0].Value.Integer, -1) << "32-bit patterns are signed like colours";
  EXPECT_EQ(root.Properties[1].Value.Integer, 0x100000000LL);
}

TEST(FormReaderErrors, NamesTheLineOfTheFault) {
  struct Case {
    const char* Text;
    int Line;
  } cases[] = {
      {"object F: TForm\n  A = 1\n  B 2\nend", 3},
      {"object F: TForm\n  A = 'x\nend", 2},
      {"object F: TForm\n  object L: TLabel\n  end\n", 4},
      {"object F: TForm\n\n  A = {123}\nend", 3},
      {"object F TForm\nend", 1},
      {"", 1},
      {"object F: TForm\nend\nx", 3},
  };
  for (const Case& c : cases) {
    try {
      ParseFormDescription(c.Text);
      ADD_FAILURE() << "accepted: " << c.Text;
    } catch (const EReadError& e) {
      EXPECT_EQ(e.Line(), c.Line) << c.Text;
      EXPECT_NE(e.Message().find("line " + std::to_string(c.Line)), std::string::npos) << e.Message();
    }
  }
}

TEST(FormReaderErrors, EveryMalformedFileGivesAReadError) {
  auto folder = qorv::test::TestDataDir() / "framework" / "data" / "bad-forms";
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    auto bytes = qorv::test::ReadFileBytes(entry.path());
    std::string text(bytes.begin(), bytes.end());
    EXPECT_THROW(ParseFormDescription(text), EReadError) << entry.path();
    ++count;
  }
  EXPECT_GE(count, 10);
}

// A description nesting `levels` objects, each on its own line.
std::string NestedObjects(int levels) {
  std::string text;
  for (int i = 0; i < levels; ++i) text += "object O" + std::to_string(i) + ": TPanel\n";
  for (int i = 0; i < levels; ++i) text += "end\n";
  return text;
}

// A form whose property holds `levels` nested lists, each opened on its own
// line, so that list k opens on line k + 1.
std::string NestedLists(int levels) {
  std::string text = "object F: TForm\n  Items = ";
  for (int i = 0; i < levels; ++i) text += "(\n";
  text += "'x'";
  for (int i = 0; i < levels; ++i) text += ")";
  return text + "\nend\n";
}

// `objects` nested objects, the innermost holding `lists` nested lists.
std::string ObjectsHoldingLists(int objects, int lists) {
  std::string text;
  for (int i = 0; i < objects; ++i) text += "object O" + std::to_string(i) + ": TPanel\n";
  text += "  Items = " + std::string(lists, '(') + "1" + std::string(lists, ')') + "\n";
  for (int i = 0; i < objects; ++i) text += "end\n";
  return text;
}

// Objects and lists nest through recursion; a host hands the control streams
// of any depth, so the reader counts both kinds together and refuses the first
// level past kMaxFormNesting (the root object is level 1).
TEST(FormReaderNesting, DeepestAllowedNestingIsRead) {
  TFormNode objects = ParseFormDescription(NestedObjects(kMaxFormNesting));
  const TFormNode* node = &objects;
  int depth = 1;
  while (!node->Children.empty()) node = &node->Children[0], ++depth;
  EXPECT_EQ(depth, kMaxFormNesting);

  TFormNode lists = ParseFormDescription(NestedLists(kMaxFormNesting - 1));
  const TFormValue* value = &lists.Properties.at(0).Value;
  depth = 1;
  while (value->Kind == TFormValueKind::List) value = &value->Items.at(0), ++depth;
  EXPECT_EQ(depth, kMaxFormNesting);
  EXPECT_EQ(value->Text, "x");

  EXPECT_NO_THROW(ParseFormDescription(ObjectsHoldingLists(kMaxFormNesting / 2, kMaxFormNesting / 2)));
  EXPECT_NO_THROW(ParseFormDescription(ObjectsHoldingLists(1, kMaxFormNesting - 1)));
}

TEST(FormReaderNesting, OneLevelTooDeepIsRefusedAtItsLine) {
  struct Case {
    const char* What;
    std::string Text;
    int Line;
  } cases[] = {
      {"objects", NestedObjects(kMaxFormNesting + 1), kMaxFormNesting + 1},
      {"lists", NestedLists(kMaxFormNesting), kMaxFormNesting + 1},
      {"objects holding lists", ObjectsHoldingLists(kMaxFormNesting / 2, kMaxFormNesting / 2 + 1),
       kMaxFormNesting / 2 + 1},
      {"a list at the deepest object", ObjectsHoldingLists(kMaxFormNesting, 1), kMaxFormNesting + 1},
  };
  for (const Case& c : cases) {
    try {
      ParseFormDescription(c.Text);
      ADD_FAILURE() << "accepted " << c.What;
    } catch (const EReadError& e) {
      EXPECT_EQ(e.Line(), c.Line) << c.What;
      EXPECT_NE(e.Message().find("nested"), std::string::npos) << c.What << ": " << e.Message();
      EXPECT_NE(e.Message().find(std::to_string(kMaxFormNesting)), std::string::npos) << e.Message();
    }
  }
}

// Before the limit, 15,000 objects or 30,000 lists overflowed the stack.
TEST(FormReaderNesting, HundredThousandLevelsAreAnErrorNotACrash) {
  for (const std::string& text : {NestedObjects(100000), NestedLists(100000), ObjectsHoldingLists(1, 100000),
                                  "object F: TForm\n  A = " + std::string(100000, '(')}) {
    EXPECT_THROW(ParseFormDescription(text), EReadError);
  }
}

}  // namespace

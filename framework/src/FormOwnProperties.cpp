#include "FormOwnProperties.h"

#include <functional>

#include "AnsiStrings.h"
#include "FormLoader.h"

namespace {

using TKind = TOwnPropertyKind;

const std::vector<const char*> kBorderStyles{"afbNone", "afbSingle", "afbSunken", "afbRaised"};
const std::vector<const char*> kPrintScales{"poNone", "poProportional", "poPrintToFit"};
const std::vector<const char*> kHelpTypes{"htKeyword", "htContext"};
const std::vector<const char*> kFontStyles{"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"};

// Every kept property with the reading of its present value. Writing goes
// through the form classes' property tables, as loading a resource does, so
// there is one setter per property.
struct TOwnPropertyReader {
  TOwnProperty Property;
  std::function<std::int64_t(const TActiveForm&)> Number;  // Integer, Boolean, Enumeration, Color, Set
  std::function<std::string(const TActiveForm&)> Text;     // Text, in the ANSI code page
};

const std::vector<TOwnPropertyReader>& Readers() {
  static const std::vector<TOwnPropertyReader> readers = [] {
    auto number = [](const char* name, TKind kind, std::function<std::int64_t(const TActiveForm&)> get,
                     std::vector<const char*> names = {}) {
      return TOwnPropertyReader{{name, kind, std::move(names)}, std::move(get), nullptr};
    };
    auto text = [](const char* name, std::function<std::string(const TActiveForm&)> get) {
      return TOwnPropertyReader{{name, TKind::Text, {}}, nullptr, std::move(get)};
    };
    return std::vector<TOwnPropertyReader>{
        number("Left", TKind::Integer, [](const TActiveForm& f) { return f.Left(); }),
        number("Top", TKind::Integer, [](const TActiveForm& f) { return f.Top(); }),
        number("Width", TKind::Integer, [](const TActiveForm& f) { return f.Width(); }),
        number("Height", TKind::Integer, [](const TActiveForm& f) { return f.Height(); }),
        number("AutoScroll", TKind::Boolean, [](const TActiveForm& f) { return f.AutoScroll; }),
        number("AutoSize", TKind::Boolean, [](const TActiveForm& f) { return f.AutoSize; }),
        number(
            "AxBorderStyle", TKind::Enumeration, [](const TActiveForm& f) { return f.AxBorderStyle; }, kBorderStyles),
        text("Caption", [](const TActiveForm& f) { return f.Caption(); }),
        number("Color", TKind::Color, [](const TActiveForm& f) { return f.Color(); }),
        number("Cursor", TKind::Integer, [](const TActiveForm& f) { return f.Cursor; }),
        number("DoubleBuffered", TKind::Boolean, [](const TActiveForm& f) { return f.DoubleBuffered; }),
        number("DropTarget", TKind::Boolean, [](const TActiveForm& f) { return f.DropTarget; }),
        number("Enabled", TKind::Boolean, [](const TActiveForm& f) { return f.Enabled(); }),
        number("Font.Charset", TKind::Integer, [](const TActiveForm& f) { return f.Font().Charset; }),
        number("Font.Color", TKind::Color, [](const TActiveForm& f) { return f.Font().Color; }),
        number("Font.Height", TKind::Integer, [](const TActiveForm& f) { return f.Font().Height; }),
        text("Font.Name", [](const TActiveForm& f) { return f.Font().Name; }),
        number(
            "Font.Style", TKind::Set, [](const TActiveForm& f) { return f.Font().Style; }, kFontStyles),
        text("HelpFile", [](const TActiveForm& f) { return f.HelpFile; }),
        text("HelpKeyword", [](const TActiveForm& f) { return f.HelpKeyword; }),
        number(
            "HelpType", TKind::Enumeration, [](const TActiveForm& f) { return f.HelpType; }, kHelpTypes),
        number("KeyPreview", TKind::Boolean, [](const TActiveForm& f) { return f.KeyPreview; }),
        number("PixelsPerInch", TKind::Integer, [](const TActiveForm& f) { return f.PixelsPerInch; }),
        number(
            "PrintScale", TKind::Enumeration, [](const TActiveForm& f) { return f.PrintScale; }, kPrintScales),
        number("Scaled", TKind::Boolean, [](const TActiveForm& f) { return f.Scaled; }),
    };
  }();
  return readers;
}

TFormValue ValueOf(const TOwnPropertyReader& reader, const TActiveForm& form) {
  TFormValue value;
  switch (reader.Property.Kind) {
    case TKind::Text:
      value.Kind = TFormValueKind::String;
      value.Text = AnsiToUtf8(reader.Text(form));
      break;
    case TKind::Boolean:
      value.Kind = TFormValueKind::Identifier;
      value.Text = reader.Number(form) ? "True" : "False";
      break;
    case TKind::Enumeration: {
      std::int64_t index = reader.Number(form);
      const auto& names = reader.Property.Names;
      // An ordinal without a name is kept as the number the loader also takes.
      if (index >= 0 && index < static_cast<std::int64_t>(names.size())) {
        value.Kind = TFormValueKind::Identifier;
        value.Text = names[static_cast<std::size_t>(index)];
      } else {
        value.Integer = index;
      }
      break;
    }
    case TKind::Set: {
      value.Kind = TFormValueKind::Set;
      std::int64_t bits = reader.Number(form);
      for (std::size_t i = 0; i < reader.Property.Names.size(); ++i) {
        if (bits & (std::int64_t{1} << i)) value.Names.emplace_back(reader.Property.Names[i]);
      }
      break;
    }
    case TKind::Integer:
    case TKind::Color: value.Integer = reader.Number(form); break;
  }
  return value;
}

// A string as the reader reads it: quoted runs, a doubled quote for a quote,
// and #n for control characters, which may not stand inside quotes.
std::string QuotedText(const std::string& utf8) {
  std::string out;
  bool quoted = false;
  for (char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20) {
      if (quoted) out += '\'';
      quoted = false;
      out += '#' + std::to_string(byte);
      continue;
    }
    if (!quoted) out += '\'';
    quoted = true;
    out += c;
    if (c == '\'') out += '\'';
  }
  if (quoted) out += '\'';
  return out.empty() ? "''" : out;
}

std::string ValueText(const TFormValue& value) {
  switch (value.Kind) {
    case TFormValueKind::String: return QuotedText(value.Text);
    case TFormValueKind::Identifier: return value.Text;
    case TFormValueKind::Set: {
      std::string out = "[";
      for (std::size_t i = 0; i < value.Names.size(); ++i) out += (i ? ", " : "") + value.Names[i];
      return out + "]";
    }
    default: return std::to_string(value.Integer);
  }
}

bool IsKept(const std::string& name) {
  const std::string lower = TComponentClass::Lower(name);
  for (const auto& reader : Readers()) {
    if (TComponentClass::Lower(reader.Property.Name) == lower) return true;
  }
  return false;
}

void CheckOwnPropertiesOnly(const std::string& className, const TFormNode& node) {
  if (TComponentClass::Lower(node.ClassName) != TComponentClass::Lower(className)) {
    throw EReadError(node.Line, "object of class " + node.ClassName + " where " + className + " was expected");
  }
  if (!node.Children.empty()) {
    throw EReadError(node.Children.front().Line, "object " + node.Children.front().Name + " is not kept here");
  }
  for (const TFormProperty& property : node.Properties) {
    if (!IsKept(property.Name)) throw EReadError(property.Line, "property " + property.Name + " is not kept here");
  }
}

TFormNode NodeOf(const TActiveForm& form, const std::string& className) {
  TFormNode node;
  node.Name = form.Name();
  node.ClassName = className;
  node.Properties.reserve(Readers().size());
  for (const auto& reader : Readers()) {
    node.Properties.push_back(TFormProperty{reader.Property.Name, ValueOf(reader, form), 0});
  }
  return node;
}

}  // namespace

const std::vector<TOwnProperty>& FormOwnProperties() {
  static const std::vector<TOwnProperty> properties = [] {
    std::vector<TOwnProperty> out;
    for (const auto& reader : Readers()) out.push_back(reader.Property);
    return out;
  }();
  return properties;
}

std::vector<TFormProperty> ReadFormOwnProperties(const TActiveForm& form) {
  return NodeOf(form, std::string()).Properties;
}

std::string DescribeFormOwnProperties(const TActiveForm& form, const std::string& className) {
  const TFormNode node = NodeOf(form, className);
  std::string text = "object " + node.Name + ": " + className + "\n";
  for (const TFormProperty& property : node.Properties) {
    text += "  " + property.Name + " = " + ValueText(property.Value) + "\n";
  }
  return text + "end\n";
}

void ApplyFormOwnProperties(TActiveForm& form, const std::string& className, const TFormNode& node) {
  CheckOwnPropertiesOnly(className, node);
  // A value can still be refused halfway (out of range, wrong kind); the
  // values read beforehand put back what the first ones changed.
  const TFormNode before = NodeOf(form, className);
  TFormNode incoming = node;
  incoming.Name = form.Name();
  try {
    ApplyFormDescription(form, incoming);
  } catch (...) {
    ApplyFormDescription(form, before);
    throw;
  }
}

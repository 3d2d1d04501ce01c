// Persistent fields: the value of one column of the current row, with the
// conversions between the field's kind and text, numbers and Booleans.
#include <algorithm>
#include <cctype>
#include <cstdint>

#include "ADODB.h"
#include "DataSetRows.h"
#include "StrToInt.h"

namespace {

bool IsTextKind(TFieldType type) { return type == ftString || type == ftWideString || type == ftMemo; }
bool IsNumberKind(TFieldType type) { return type == ftWord || type == ftInteger || type == ftAutoInc; }

// A leading part of word, any case, as the original matched "T", "tr", ...
bool IsPrefixOf(const std::string& text, const char* word) {
  std::size_t i = 0;
  for (; i < text.size() && word[i]; ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(word[i]))) {
      return false;
    }
  }
  return i == text.size();
}

}  // namespace

TField::TField(TComponent* owner, TFieldType dataType, int defaultSize)
    : TComponent(owner), dataType_(dataType), size_(defaultSize) {}

TField::~TField() {
  if (!dataSet_) return;
  // The open data set maps its fields to columns by position; without this
  // field that map is wrong, so the data set closes first.
  dataSet_->Close();
  auto& fields = dataSet_->fields_;
  fields.erase(std::remove(fields.begin(), fields.end(), this), fields.end());
}

void TField::SetParentComponent(TComponent* parent) {
  if (auto* dataSet = dynamic_cast<TDataSet*>(parent)) SetDataSet(dataSet);
}

void TField::SetDataSet(TDataSet* dataSet) {
  if (dataSet == dataSet_) return;
  // Both checks before either change, so a refusal leaves the field where
  // it was.
  if (dataSet) dataSet->CheckInactive();
  if (dataSet_) dataSet_->CheckInactive();
  if (dataSet_) dataSet_->RemoveField(this);
  if (dataSet) dataSet->AddField(this);
  dataSet_ = dataSet;
}

int TField::Index() const {
  if (!dataSet_) return -1;
  const auto& fields = dataSet_->fields_;
  return static_cast<int>(std::find(fields.begin(), fields.end(), this) - fields.begin());
}

namespace {

std::string FieldLabel(const TField& field) { return field.FieldName().empty() ? field.Name() : field.FieldName(); }

}  // namespace

// The value as the data set holds it: the edit buffer while editing, else
// the current row (Null past the last row).
const TFieldValue& TField::Value() const {
  static const TFieldValue null;
  if (!dataSet_) throw EDatabaseError("Field '" + FieldLabel(*this) + "' has no dataset");
  dataSet_->CheckActive();
  const TDataSetRows& rows = *dataSet_->rows_;
  std::size_t column = rows.FieldColumn.at(static_cast<std::size_t>(Index()));
  if (dataSet_->State() == dsEdit || dataSet_->State() == dsInsert) return rows.Buffer[column];
  if (rows.Current >= rows.Rows.size()) return null;
  return rows.Rows[rows.Current][column];
}

void TField::SetValue(TFieldValue value) {
  if (!dataSet_) throw EDatabaseError("Field '" + FieldLabel(*this) + "' has no dataset");
  dataSet_->CheckActive();
  if (readOnly_) throw EDatabaseError("Field '" + FieldLabel(*this) + "' cannot be modified");
  if (dataSet_->State() != dsEdit && dataSet_->State() != dsInsert) {
    throw EDatabaseError(dataSet_->DisplayName() + ": Dataset not in edit or insert mode");
  }
  TDataSetRows& rows = *dataSet_->rows_;
  std::size_t column = rows.FieldColumn.at(static_cast<std::size_t>(Index()));
  rows.Buffer[column] = std::move(value);
  rows.Changed[column] = true;
}

bool TField::IsNull() const { return std::holds_alternative<std::monostate>(Value()); }

void TField::Clear() { SetValue(std::monostate{}); }

WideString TField::AsWideString() const {
  const TFieldValue& v = Value();
  if (const auto* text = std::get_if<std::u16string>(&v)) return *text;
  if (const auto* number = std::get_if<std::int64_t>(&v)) return AnsiToWide(std::to_string(*number));
  if (const auto* bit = std::get_if<bool>(&v)) return *bit ? u"True" : u"False";
  return {};
}

std::string TField::AsString() const { return WideToAnsi(AsWideString()); }

int TField::AsInteger() const {
  const TFieldValue& v = Value();
  if (const auto* number = std::get_if<std::int64_t>(&v)) return static_cast<int>(*number);
  if (const auto* bit = std::get_if<bool>(&v)) return *bit ? 1 : 0;
  if (const auto* text = std::get_if<std::u16string>(&v)) return StrToInt(WideToAnsi(*text));
  return 0;
}

bool TField::AsBoolean() const {
  const TFieldValue& v = Value();
  if (const auto* bit = std::get_if<bool>(&v)) return *bit;
  if (const auto* number = std::get_if<std::int64_t>(&v)) return *number != 0;
  if (const auto* text = std::get_if<std::u16string>(&v)) {
    return !text->empty() && (text->front() == u'T' || text->front() == u't' || text->front() == u'Y' ||
                              text->front() == u'y' || text->front() == u'1');
  }
  return false;
}

void TField::SetAsInteger(int value) {
  if (dataType_ == ftWord && (value < 0 || value > 65535)) {
    throw EDatabaseError(std::to_string(value) + " is not a valid value for field '" + FieldLabel(*this) +
                         "'. The allowed range is 0 to 65535");
  }
  if (IsNumberKind(dataType_)) {
    SetValue(static_cast<std::int64_t>(value));
  } else if (dataType_ == ftBoolean) {
    SetValue(value != 0);
  } else {
    SetValue(AnsiToWide(std::to_string(value)));
  }
}

void TField::SetAsBoolean(bool value) {
  if (dataType_ == ftBoolean) {
    SetValue(value);
  } else if (IsNumberKind(dataType_)) {
    SetValue(static_cast<std::int64_t>(value ? 1 : 0));
  } else {
    SetValue(std::u16string(value ? u"True" : u"False"));
  }
}

void TField::SetAsString(const std::string& value) {
  if (IsTextKind(dataType_)) {
    SetValue(AnsiToWide(value));
    return;
  }
  if (value.empty()) {
    Clear();
    return;
  }
  if (IsNumberKind(dataType_)) {
    SetAsInteger(StrToInt(value));
    return;
  }
  if (dataType_ == ftBoolean) {
    if (value == "0" || IsPrefixOf(value, "False")) {
      SetValue(false);
    } else if (value == "1" || IsPrefixOf(value, "True")) {
      SetValue(true);
    } else {
      throw EDatabaseError("'" + value + "' is not a valid boolean value for field '" + FieldLabel(*this) + "'");
    }
    return;
  }
  throw EDatabaseError("Field '" + FieldLabel(*this) + "' of unknown kind cannot take a value");
}

void TField::SetAsWideString(const WideString& value) {
  if (IsTextKind(dataType_)) {
    SetValue(value);
  } else {
    SetAsString(WideToAnsi(value));
  }
}

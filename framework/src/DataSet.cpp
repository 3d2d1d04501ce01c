// The data set's state machine (inactive, browse, edit, insert) and its
// cursor over the rows held in memory.
#include <codepage.h>

#include <algorithm>

#include "ADODB.h"
#include "DataSetRows.h"

namespace {

std::u16string ToWide(UINT codePage, const std::string& text) {
  if (text.empty()) return {};
  int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::u16string out(static_cast<std::size_t>(std::max(n, 0)), u'\0');
  MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

std::string FromWide(UINT codePage, const std::u16string& text) {
  if (text.empty()) return {};
  int n = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(std::max(n, 0)), '\0');
  WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace

std::u16string AnsiToWide(const std::string& text) { return ToWide(CP_ACP, text); }
std::string WideToAnsi(const std::u16string& text) { return FromWide(CP_ACP, text); }
std::u16string Utf8ToWide(const std::string& text) { return ToWide(CP_UTF8, text); }
std::string WideToUtf8(const std::u16string& text) { return FromWide(CP_UTF8, text); }

namespace {

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
           return std::tolower(x) == std::tolower(y);
         });
}

}  // namespace

TDataSet::TDataSet(TComponent* owner) : TComponent(owner) {}

TDataSet::~TDataSet() {
  for (TField* field : fields_) field->dataSet_ = nullptr;
}

std::string TDataSet::DisplayName() const { return Name().empty() ? std::string("TDataSet") : Name(); }

void TDataSet::Loaded() {
  TComponent::Loaded();
  if (openWhenLoaded_) {
    openWhenLoaded_ = false;
    Open();
  }
}

void TDataSet::SetActive(bool active) {
  if (IsLoading()) {
    // The fields described after the table are not attached yet.
    openWhenLoaded_ = active;
    return;
  }
  if (active == Active()) return;
  if (!active) {
    rows_.reset();
    state_ = dsInactive;
    return;
  }
  auto rows = std::make_unique<TDataSetRows>();
  OpenCursor(*rows);
  rows_ = std::move(rows);
  state_ = dsBrowse;
}

void TDataSet::CheckActive() const {
  if (!Active()) throw EDatabaseError(DisplayName() + ": Cannot perform this operation on a closed dataset");
}

TField* TDataSet::Fields(int index) const {
  if (index < 0 || index >= FieldCount()) {
    throw EDatabaseError(DisplayName() + ": List index out of bounds (" + std::to_string(index) + ")");
  }
  return fields_[static_cast<std::size_t>(index)];
}

TField* TDataSet::FindField(const std::string& name) const {
  for (TField* field : fields_) {
    if (SameName(field->FieldName(), name)) return field;
  }
  return nullptr;
}

TField* TDataSet::FieldByName(const std::string& name) const {
  TField* field = FindField(name);
  if (!field) throw EDatabaseError(DisplayName() + ": Field '" + name + "' not found");
  return field;
}

void TDataSet::CheckInactive() const {
  if (Active()) throw EDatabaseError(DisplayName() + ": Cannot perform this operation on an open dataset");
}

void TDataSet::AddField(TField* field) {
  CheckInactive();
  fields_.push_back(field);
}

void TDataSet::RemoveField(TField* field) {
  CheckInactive();
  fields_.erase(std::remove(fields_.begin(), fields_.end(), field), fields_.end());
}

int TDataSet::RecordCount() const {
  CheckActive();
  return static_cast<int>(rows_->Rows.size());
}

bool TDataSet::Eof() const {
  CheckActive();
  return rows_->Rows.empty() || rows_->Current >= rows_->Rows.size();
}

bool TDataSet::Bof() const {
  CheckActive();
  return rows_->Current == 0;
}

void TDataSet::First() {
  CheckActive();
  if (state_ != dsBrowse) Post();
  rows_->Current = 0;
}

void TDataSet::Next() {
  CheckActive();
  if (state_ != dsBrowse) Post();
  if (rows_->Current < rows_->Rows.size()) ++rows_->Current;
}

void TDataSet::Edit() {
  CheckActive();
  if (state_ == dsEdit || state_ == dsInsert) return;
  if (rows_->Rows.empty() || rows_->Current >= rows_->Rows.size()) {
    Append();
    return;
  }
  rows_->Buffer = rows_->Rows[rows_->Current];
  rows_->Changed.assign(rows_->Columns.size(), false);
  rows_->Inserting = false;
  state_ = dsEdit;
}

void TDataSet::Append() {
  CheckActive();
  if (state_ != dsBrowse) Post();
  rows_->Buffer.assign(rows_->Columns.size(), TFieldValue{});
  rows_->Changed.assign(rows_->Columns.size(), false);
  rows_->Inserting = true;
  state_ = dsInsert;
}

void TDataSet::Post() {
  CheckActive();
  if (state_ != dsEdit && state_ != dsInsert) {
    throw EDatabaseError(DisplayName() + ": Dataset not in edit or insert mode");
  }
  bool anyChange = std::find(rows_->Changed.begin(), rows_->Changed.end(), true) != rows_->Changed.end();
  // An edit that changed nothing has nothing to write; a new row is written
  // even when empty, since the user asked for the row.
  if (anyChange || rows_->Inserting) WriteRow(*rows_);
  if (rows_->Inserting) {
    rows_->Rows.push_back(rows_->Buffer);
    rows_->Current = rows_->Rows.size() - 1;
  } else {
    rows_->Rows[rows_->Current] = rows_->Buffer;
  }
  rows_->Buffer.clear();
  rows_->Changed.clear();
  rows_->Inserting = false;
  state_ = dsBrowse;
}

void TDataSet::Cancel() {
  CheckActive();
  rows_->Buffer.clear();
  rows_->Changed.clear();
  rows_->Inserting = false;
  state_ = dsBrowse;
}

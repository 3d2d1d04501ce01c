// What a data set holds while open: the columns of its result, which column
// each persistent field reads, the rows as read, the current row and the
// edit buffer. Private to the data-access units.
#pragma once

#include <sqlsession.h>

#include <cstddef>
#include <string>
#include <vector>

using TFieldValue = qorv::platform::SqlValue;

struct TDataSetRows {
  std::vector<qorv::platform::SqlColumn> Columns;
  // Per persistent field (by index), its column.
  std::vector<std::size_t> FieldColumn;
  std::vector<std::vector<TFieldValue>> Rows;
  std::size_t Current = 0;
  // Editing: the row being changed (a copy of the current row, or a new
  // all-Null row) and which of its columns were written.
  std::vector<TFieldValue> Buffer;
  std::vector<bool> Changed;
  bool Inserting = false;
};

// Text conversions between the ANSI code page of the system root and UTF-16.
std::u16string AnsiToWide(const std::string& text);
std::string WideToAnsi(const std::u16string& text);
// The driver names columns in UTF-8.
std::u16string Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::u16string& text);

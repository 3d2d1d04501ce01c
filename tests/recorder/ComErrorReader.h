// The calling thread's COM error information as a test reads it: taken (and
// so cleared) with GetErrorInfo, texts back in the ANSI code page.
#pragma once

#include <string>

#include "codepage.h"
#include "oleauto.h"

struct TComErrorRecord {
  bool Present = false;
  GUID Guid = GUID_NULL;
  std::string Source;
  std::string Description;
  std::string HelpFile;
  DWORD HelpContext = 0;
};

inline std::string AnsiOf(BSTR text) {
  const UINT length = SysStringLen(text);
  if (length == 0) return {};
  const int size = WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  if (size > 0) WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), result.data(), size, nullptr, nullptr);
  return result;
}

inline TComErrorRecord TakeComError() {
  TComErrorRecord record;
  IErrorInfo* error = nullptr;
  if (GetErrorInfo(0, &error) != S_OK || !error) return record;
  record.Present = true;
  BSTR text = nullptr;
  error->GetGUID(&record.Guid);
  error->GetSource(&text);
  record.Source = AnsiOf(text);
  SysFreeString(text);
  text = nullptr;
  error->GetDescription(&text);
  record.Description = AnsiOf(text);
  SysFreeString(text);
  text = nullptr;
  error->GetHelpFile(&text);
  record.HelpFile = AnsiOf(text);
  SysFreeString(text);
  error->GetHelpContext(&record.HelpContext);
  error->Release();
  return record;
}

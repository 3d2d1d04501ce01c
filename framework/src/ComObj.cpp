#include "ComObj.h"

#include <cstdio>

#include "AnsiStrings.h"
#include "codepage.h"
#include "oleauto.h"

namespace {

// The system's text for a result: a Windows error carried in an HRESULT is
// looked up by its number; a result with no text gets the generic one.
std::string ResultText(HRESULT result) {
  auto code = static_cast<DWORD>(result);
  if ((code & 0xFFFF0000u) == 0x80070000u) code &= 0xFFFFu;
  char text[512] = "";
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                                sizeof text, nullptr);
  std::string message(text, length);
  while (!message.empty() && (static_cast<unsigned char>(message.back()) <= ' ' || message.back() == '.')) {
    message.pop_back();
  }
  if (!message.empty()) return message;
  char generic[32];
  std::snprintf(generic, sizeof generic, "OLE error %08X", static_cast<unsigned>(result));
  return generic;
}

}  // namespace

EOleSysError::EOleSysError(std::string message, HRESULT errorCode)
    : Exception(std::move(message)), errorCode_(errorCode) {}

void OleCheck(HRESULT result) {
  if (FAILED(result)) throw EOleSysError(ResultText(result), result);
}

IUnknown* CreateComObject(REFCLSID clsid) {
  IUnknown* object = nullptr;
  OleCheck(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IUnknown,
                            reinterpret_cast<void**>(&object)));
  return object;
}

HRESULT SetMemberErrorInfo(REFIID iid, const std::string& source, const std::string& description, DWORD helpContext,
                           HRESULT comError) {
  const HRESULT result = FAILED(comError) ? comError : E_UNEXPECTED;
  ICreateErrorInfo* create = nullptr;
  if (FAILED(CreateErrorInfo(&create)) || !create) return result;
  std::u16string wideSource = AnsiToWide(source);
  std::u16string wideDescription = AnsiToWide(description);
  create->SetGUID(iid);
  create->SetSource(wideSource.data());
  create->SetDescription(wideDescription.data());
  create->SetHelpContext(helpContext);
  IErrorInfo* error = nullptr;
  if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&error))) && error) {
    SetErrorInfo(0, error);
    error->Release();
  }
  create->Release();
  return result;
}

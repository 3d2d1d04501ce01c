#include "Report.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Application.h"
#include "Dialogs.h"

namespace qorv::regsvr32 {

namespace {

constexpr const char* kCaption = "RegSvr32";

bool HasDisplay() {
  const char* display = std::getenv("DISPLAY");
  const char* gui = std::getenv("QORV_GUI");
  return display && *display && !(gui && std::strcmp(gui, "headless") == 0);
}

// Message boxes take text in the ANSI code page.
std::string Utf8ToAnsi(const std::string& utf8) {
  int wide = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
  if (wide <= 0) return utf8;
  std::u16string text(static_cast<std::size_t>(wide), u'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, text.data(), wide);
  int narrow = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (narrow <= 0) return utf8;
  std::string ansi(static_cast<std::size_t>(narrow), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, ansi.data(), narrow, nullptr, nullptr);
  ansi.pop_back();
  return ansi;
}

}  // namespace

void Report(const Outcome& outcome, bool silent) {
  if (silent) return;
  bool failed = outcome.Status != kSucceeded;
  if (!HasDisplay()) {
    std::fprintf(failed ? stderr : stdout, "%s\n", outcome.Text.c_str());
    return;
  }
  Application->Initialize();
  MessageBox(Utf8ToAnsi(outcome.Text), kCaption, MB_OK | (failed ? MB_ICONERROR : MB_ICONINFORMATION));
}

}  // namespace qorv::regsvr32

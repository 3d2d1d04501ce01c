#include <gtest/gtest.h>

#include <climits>
#include <typeindex>
#include <typeinfo>

#include "SioErrors.h"
#include "winerror.h"

namespace {

std::type_index RaisedType(LONG code) {
  try {
    RaiseForCode(nullptr, code);
  } catch (const Exception& e) {
    return typeid(e);
  }
  return typeid(void);
}

std::string SystemText(DWORD number) {
  char buffer[256] = {};
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, number, 0, buffer, 255, nullptr);
  return CleanErrorText(std::string(buffer, n));
}

TEST(SioErrorsRaiseForCode, ReturnsNonNegativeCodesUnchanged) {
  for (LONG code : {0, 1, 17, INT32_MAX}) EXPECT_EQ(RaiseForCode(nullptr, code), code);
}

// Leaf, group, ESioException and Exception handlers all catch a mapped code.
TEST(SioErrorsRaiseForCode, MappedCodeIsCaughtAtEveryLevel) {
  EXPECT_THROW(RaiseForCode(nullptr, ecCommNotOpen), ECommNotOpen);
  EXPECT_THROW(RaiseForCode(nullptr, ecCommNotOpen), EOpenComm);
  EXPECT_THROW(RaiseForCode(nullptr, ecCommNotOpen), ESioException);
  EXPECT_THROW(RaiseForCode(nullptr, ecCommNotOpen), Exception);
  try {
    RaiseForCode(nullptr, -2007);
  } catch (const ECommNotOpen& e) {
    EXPECT_EQ(e.Code(), -2007);
    EXPECT_EQ(e.Message(), "ie_NOpen - device not open");
  }
}

struct ClassCase {
  LONG code;
  std::type_index type;
};

TEST(SioErrorsRaiseForCode, RaisesTheMappedClass) {
  const ClassCase cases[] = {
      {-1002, typeid(EBadArgument)},
      {-1006, typeid(EInternal)},
      {-7003, typeid(EInternal)},
      {-7006, typeid(EInternal)},
      {-7012, typeid(EInternal)},
      {-2011, typeid(ENoPortSelected)},
      {-3001, typeid(ENullApi)},
      {-3010, typeid(EBaseAddressNotSet)},
      {-4008, typeid(EModemStatusMismatch)},
      {-5003, typeid(EBadTriggerHandle)},
      {-6006, typeid(EProtocol)},
      {-6009, typeid(EProtocol)},
      {-7014, typeid(EBadFieldForIndex)},
      {-8070, typeid(EFaxPageError)},
      {-13801, typeid(ETapiAllocated)},
      {-13886, typeid(ETapiNoMultipleInstance)},
      {-13942, typeid(ETapiTranslateFail)},
      {-13980, typeid(ERasLoadFail)},
  };
  for (const auto& c : cases) EXPECT_EQ(RaisedType(c.code), c.type) << c.code;
  // Same group, different leaves: a leaf handler does not catch its sibling.
  EXPECT_THROW(
      try { RaiseForCode(nullptr, ecBadArgument); } catch (const EInternal&){}, EBadArgument);
  EXPECT_THROW(RaiseForCode(nullptr, -7012), EGeneral);
}

// Every mapped code carries itself and its own table text.
TEST(SioErrorsRaiseForCode, EveryMappedCodeCarriesCodeAndText) {
  const LONG codes[] = {
#define SIO_CODE_VALUE(name, value, cls) value,
      SIO_ERROR_CODES(SIO_CODE_VALUE)
#undef SIO_CODE_VALUE
  };
  EXPECT_EQ(std::size(codes), 166u);
  for (LONG code : codes) {
    try {
      RaiseForCode(nullptr, code);
      ADD_FAILURE() << code << " returned";
    } catch (const ESioException& e) {
      EXPECT_EQ(e.Code(), code);
      EXPECT_EQ(e.Message(), ErrorText(code));
      EXPECT_NE(typeid(e), typeid(ESioException)) << code;
    }
  }
}

TEST(SioErrorsRaiseForCode, UnmappedCodesRaiseTheCatchAll) {
  for (LONG code :
       {-1, -163, -1000, -1001, -3002, -4101, -6001, -6007, -7009, -8050, -13804, -13849, -20000, INT32_MIN}) {
    try {
      RaiseForCode(nullptr, code);
      ADD_FAILURE() << code << " returned";
    } catch (const ESioException& e) {
      EXPECT_EQ(typeid(e), typeid(ESioException)) << code;
      EXPECT_EQ(e.Code(), 0) << code;
      EXPECT_EQ(e.Message(), "Serial engine exception") << code;
    }
  }
}

struct SystemCase {
  LONG code;
  const char* text;
};

TEST(SioErrorsRaiseForCode, SystemRangeRaisesInOutErrors) {
  const SystemCase cases[] = {
      {-2, "File not found"}, {-3, "Path not found"}, {-5, "File access denied"}, {-162, "General failure"}};
  for (const auto& c : cases) {
    try {
      RaiseForCode(nullptr, c.code);
      ADD_FAILURE() << c.code << " returned";
    } catch (const EInOutError& e) {
      EXPECT_EQ(e.ErrorCode(), -c.code);
      EXPECT_EQ(e.Message(), c.text);
    }
  }
  EXPECT_THROW(RaiseForCode(nullptr, -8), EOutOfMemory);
  try {
    RaiseForCode(nullptr, -87);
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.ErrorCode(), 87);
    EXPECT_EQ(e.Message(), SystemText(87));
  }
}

TEST(SioErrorsRaiseForCode, OutOfMemoryIsNotAnInOutError) {
  try {
    RaiseForCode(nullptr, -8);
  } catch (const EInOutError&) {
    ADD_FAILURE() << "-8 raised EInOutError";
  } catch (const EOutOfMemory& e) {
    EXPECT_EQ(e.Message(), "Out of memory");
  }
}

TEST(SioErrorsRaiseForCode, LoadingPortGetsCodesBack) {
  TComponent port(nullptr);
  port.BeginLoading();
  for (LONG code : {-2007, -5, -8, -1, INT32_MIN}) EXPECT_EQ(RaiseForCode(&port, code), code);
  port.EndLoading();
  EXPECT_THROW(RaiseForCode(&port, -2007), ECommNotOpen);
}

TEST(SioErrorsException, ConstructorsSetCodeAndMessage) {
  ESioException byCode(-2011);
  EXPECT_EQ(byCode.Code(), -2011);
  EXPECT_EQ(byCode.Message(), "The ComNumber property of the TSioComPort has not been set");
  ENullApi leaf(-3001);
  EXPECT_EQ(leaf.Message(), "No device layer specified");
  ESioException byMessage(std::string("Dispatcher already started"));
  EXPECT_EQ(byMessage.Code(), 0);
  EXPECT_STREQ(byMessage.what(), "Dispatcher already started");
}

TEST(SioErrorsErrorText, IgnoresSignAndUsesSixteenBits) {
  EXPECT_EQ(ErrorText(-2011), ErrorText(2011));
  EXPECT_EQ(ErrorText(0x10000 + 5), "File access denied");
  EXPECT_EQ(ErrorText(-3002), "Function not supported by driver");
  EXPECT_EQ(ErrorText(15000 + 2), "Dispatch");
}

// An empty or absent entry falls back to the system's text, cleaned; a number
// the system has no text for gives the empty string.
TEST(SioErrorsErrorText, FallsBackToCleanedSystemText) {
  EXPECT_EQ(ErrorText(87), SystemText(87));
  EXPECT_EQ(ErrorText(4600), SystemText(4600));
  EXPECT_EQ(ErrorText(-32768), SystemText(32768));
  std::string text = ErrorText(87);
  ASSERT_FALSE(text.empty()) << "the platform names ERROR_INVALID_PARAMETER";
  EXPECT_EQ(text.find('\r'), std::string::npos);
  EXPECT_EQ(text.back(), ' ') << "the system text's line break becomes one blank";
}

TEST(SioErrorsCleanErrorText, BlanksControlsAndShrinksRuns) {
  const std::pair<const char*, const char*> cases[] = {
      {"Access denied.\r\n", "Access denied. "},
      {"a\t\tb", "a b"},
      {"  x  ", " x "},
      {"one\r\ntwo", "one two"},
      {"", ""},
      {"\x1f", " "},
      {"kept", "kept"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(CleanErrorText(in), out) << '"' << in << '"';
}

}  // namespace

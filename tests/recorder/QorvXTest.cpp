// The control form at its member boundary: the stored description, the
// creation defaults, COM booleans and strings, failures turned into
// E_UNEXPECTED with their message, the clock input messages, and the timer.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "Application.h"
#include "ComErrorReader.h"
#include "FakeRecorderPort.h"
#include "GoldenImage.h"
#include "QorvImpl1.h"
#include "RecorderState.h"
#include "substitutedevice.h"
#include "systemroot.h"
#include "winerror.h"
#include "winuser.h"

namespace {

using qorv::platform::SubstituteDevice;
using qorv::recorder::RecorderState;

constexpr auto kBound = std::chrono::seconds(10);

std::string Text(const std::vector<std::uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

// Owns a COM string made by a get.
struct TBStr {
  BSTR Value = nullptr;
  ~TBStr() { SysFreeString(Value); }
  std::u16string Text() const { return Value ? std::u16string(Value, SysStringLen(Value)) : std::u16string(); }
};

struct TFormDeleter {
  void operator()(TQorvX* form) const { delete form; }
};
using TQorvXPtr = std::unique_ptr<TQorvX, TFormDeleter>;
TQorvXPtr NewControl() { return TQorvXPtr(NewForm<TQorvX>(nullptr)); }

// Handles messages until the condition holds, blocking in between; the
// control's 10 ms timer keeps messages coming.
bool PumpUntil(const std::function<bool()>& condition) {
  const auto deadline = std::chrono::steady_clock::now() + kBound;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    Application->ProcessMessages();
  }
  return true;
}

// The captions of a box's labels: the message it shows.
std::string ShownText(TCustomForm& form) {
  std::string text;
  for (int i = 0; i < form.ComponentCount(); ++i) {
    if (auto* label = dynamic_cast<TLabel*>(form.Components(i))) text += label->Caption();
  }
  return text;
}

class QorvXControl : public testing::Test {
 protected:
  QorvXControl() { qorv::platform::WriteDeviceMapping(1, "substitute:recorder"); }
  ~QorvXControl() override { SetModalResponder(nullptr); }
  void OpenPort() {
    ASSERT_EQ(control->put_OpenPort(VARIANT_TRUE), S_OK);
    ASSERT_TRUE(control->MP->Open());
  }
  std::shared_ptr<SubstituteDevice> recorder = SubstituteDevice::Create("recorder");
  TQorvXPtr control = NewControl();
};

// COM strings carry their length, so embedded zeros survive; null is the
// empty string everywhere, and a length past the 32-bit prefix is refused.
TEST(QorvXComString, KeepsLengthEmbeddedZerosAndNull) {
  const char16_t text[] = {u'a', 0, u'b'};
  BSTR s = SysAllocStringLen(text, 3);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(SysStringLen(s), 3u);
  EXPECT_EQ(SysStringByteLen(s), 6u);
  EXPECT_EQ(s[1], 0);
  EXPECT_EQ(s[3], 0) << "terminated after its length";
  SysFreeString(s);

  BSTR copied = SysAllocString(u"abc");
  EXPECT_EQ(SysStringLen(copied), 3u);
  SysFreeString(copied);
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  SysFreeString(nullptr);
  EXPECT_EQ(SysAllocStringLen(nullptr, 0x7FFFFFFFu), nullptr);
}

// The form is built from its stored description with the port settings the
// recorder needs, and its creation handler set the shared defaults.
TEST(QorvXForm, LoadsDescriptionAndAppliesCreationDefaults) {
  RecorderState().Line = 7;
  RecorderState().SavePath = "x";
  RecorderState().CallerID = "L1999";
  TQorvXPtr control = NewControl();
  ASSERT_NE(control->Label1, nullptr);
  ASSERT_NE(control->Timer1, nullptr);
  ASSERT_NE(control->Image1, nullptr);
  ASSERT_NE(control->MP, nullptr);
  EXPECT_EQ(control->Caption(), "QorvX");
  EXPECT_EQ(control->Label1->Caption(), "QorvX");
  EXPECT_EQ(control->Image1->Picture().Width(), 32);
  EXPECT_EQ(control->Timer1->Interval(), 10u);
  EXPECT_TRUE(control->Timer1->Enabled());

  const TSioComPort& mp = *control->MP;
  EXPECT_EQ(mp.Baud(), 115200);
  EXPECT_EQ(mp.InSize(), 20000);
  EXPECT_FALSE(mp.AutoOpen());
  EXPECT_FALSE(mp.DTR());
  EXPECT_FALSE(mp.RTS());
  EXPECT_FALSE(mp.TraceHex());
  EXPECT_FALSE(mp.UseEventWord());
  EXPECT_EQ(mp.TapiMode(), tmNone);
  EXPECT_FALSE(mp.Open()) << "the port opens only through OpenPort";
  EXPECT_EQ(mp.ComNumber(), 1);

  const auto& state = RecorderState();
  EXPECT_EQ(state.Line, 1);
  EXPECT_EQ(state.PortNumber, 1);
  EXPECT_EQ(state.SavePath, "c:\\fileQorv1.wav");
  EXPECT_EQ(state.CallerID, "");
  EXPECT_EQ(state.LineLength, 1);
  EXPECT_EQ(state.FrameLength, 1);
}

// The control as its host shows it: the picture above the caption bar, the
// "QorvX" caption whole inside its 17 pixel bar.
TEST(QorvXForm, LooksAsLaidOut) {
  TQorvXPtr control = NewControl();
  TLabel& caption = *control->Label1;
  EXPECT_LE(caption.Canvas().TextHeight(caption.Caption()), caption.Height());
  EXPECT_LE(caption.Canvas().TextWidth(caption.Caption()), caption.Width());
  auto surface = control->PaintToSurface();
  qorv::test::ExpectLikeGolden(*surface, "recorder", "control.png");
}

// The state is per process: a second control resets what the first one set.
TEST(QorvXForm, SecondControlResetsSharedDefaults) {
  TQorvXPtr first = NewControl();
  ASSERT_EQ(first->put_Line(5), S_OK);
  ASSERT_EQ(first->put_PortNumber(9), S_OK);
  TQorvXPtr second = NewControl();
  signed char line = 0, port = 0;
  EXPECT_EQ(first->get_Line(&line), S_OK);
  EXPECT_EQ(first->get_PortNumber(&port), S_OK);
  EXPECT_EQ(line, 1);
  EXPECT_EQ(port, 1);
}

// Every command member sends its exact frame and keeps the 16-bit value as
// put; a false put sends nothing (the star setting sends its off frame).
TEST_F(QorvXControl, CommandPutsSendFramesAndKeepValues) {
  OpenPort();
  using Put = HRESULT (TQorvX::*)(VARIANT_BOOL);
  using Get = HRESULT (TQorvX::*)(VARIANT_BOOL*);
  struct Row {
    const char* name;
    Put put;
    Get get;
    std::string trueFrame;
    std::string falseFrame;
  };
  using qorv::test::Bytes;
  const Row rows[] = {
      {"Connect", &TQorvX::put_Connect, &TQorvX::get_Connect, Bytes({0xFC, 'R', '1', 'O', 'F', 0xFD}), ""},
      {"Disconnect", &TQorvX::put_Disconnect, &TQorvX::get_Disconnect, Bytes({0xFC, 'R', '1', 'O', 'N', 0xFD}), ""},
      {"StartRecord", &TQorvX::put_StartRecord, &TQorvX::get_StartRecord, Bytes({0xFC, 'L', '1', 'C', 'O', 0xFD}), ""},
      {"SetProtocol1", &TQorvX::put_SetProtocol1, &TQorvX::get_SetProtocol1, Bytes({0xFC, 'p', 'r', 't', 1, 'l', 0xFD}),
       ""},
      {"SetProtocol2", &TQorvX::put_SetProtocol2, &TQorvX::get_SetProtocol2, Bytes({0xFC, 'p', 'r', 't', 2, 'l', 0xFD}),
       ""},
      {"SetProtocol3", &TQorvX::put_SetProtocol3, &TQorvX::get_SetProtocol3, Bytes({0xFC, 'p', 'r', 't', 3, 'l', 0xFD}),
       ""},
      {"SetStarONOFF", &TQorvX::put_SetStarONOFF, &TQorvX::get_SetStarONOFF, Bytes({0xFC, 'p', 'r', 't', 4, 'l', 0xFD}),
       Bytes({0xFC, 'p', 'r', 't', 5, 'l', 0xFD})},
      {"SetStatus", &TQorvX::put_SetStatus, &TQorvX::get_SetStatus, Bytes({0xFC, 'R', 'q', 'S', 'T', 0xFD}), ""},
      {"ReadTime", &TQorvX::put_ReadTime, &TQorvX::get_ReadTime, Bytes({0xFC, 'R', 'b', 0xFD}), ""},
  };
  std::string expected;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    for (const VARIANT_BOOL value : {VARIANT_BOOL{1}, VARIANT_TRUE, VARIANT_FALSE}) {
      ASSERT_EQ((control.get()->*row.put)(value), S_OK);
      expected += value ? row.trueFrame : row.falseFrame;
      VARIANT_BOOL got = 99;
      EXPECT_EQ((control.get()->*row.get)(&got), S_OK);
      EXPECT_EQ(got, value) << "the value is kept exactly as put";
    }
  }
  ASSERT_TRUE(recorder->WaitForWritten(expected.size(), kBound));
  EXPECT_EQ(Text(recorder->Written()), expected);
}

// A serial error ends the put at the boundary: E_UNEXPECTED, the error's
// message and source kept for the caller, the stored value unchanged.
TEST_F(QorvXControl, SerialFailureBecomesUnexpectedWithMessage) {
  ASSERT_EQ(control->put_Connect(VARIANT_FALSE), S_OK);
  SetErrorInfo(0, nullptr);
  EXPECT_EQ(control->put_Connect(VARIANT_TRUE), E_UNEXPECTED);
  const TComErrorRecord error = TakeComError();
  ASSERT_TRUE(error.Present) << "the failure leaves COM error information";
  EXPECT_EQ(error.Guid, IID_IQorvX);
  EXPECT_EQ(error.Source, "QorvProj1.QorvX");
  EXPECT_EQ(error.Description, ESioException(-2007).Message());
  EXPECT_EQ(error.HelpFile, "");
  VARIANT_BOOL connect = 99;
  EXPECT_EQ(control->get_Connect(&connect), S_OK);
  EXPECT_EQ(connect, VARIANT_FALSE);

  // A failed open keeps OpenPort's stored value and leaves the port closed.
  RecorderState().OpenPort = VARIANT_FALSE;
  ASSERT_EQ(control->put_PortNumber(40), S_OK);  // nothing mapped
  EXPECT_EQ(control->put_OpenPort(VARIANT_TRUE), E_UNEXPECTED);
  EXPECT_FALSE(TakeComError().Description.empty());
  VARIANT_BOOL open = 99;
  EXPECT_EQ(control->get_OpenPort(&open), S_OK);
  EXPECT_EQ(open, VARIANT_FALSE);
  EXPECT_FALSE(control->MP->Open());
  EXPECT_TRUE(recorder->Written().empty());
}

// Moving an open port to a number without a device fails, but the number
// was stored before the move.
TEST_F(QorvXControl, FailedPortMoveKeepsTheNewNumber) {
  OpenPort();
  EXPECT_EQ(control->put_PortNumber(-1), E_UNEXPECTED);
  signed char port = 0;
  EXPECT_EQ(control->get_PortNumber(&port), S_OK);
  EXPECT_EQ(port, -1);
  EXPECT_EQ(control->MP->ComNumber(), 255);
}

// Strings cross the boundary through the ANSI code page (1256): Persian text
// survives the round trip, a character the code page lacks becomes '?', an
// empty text is a null string and a null string stores an empty text.
TEST_F(QorvXControl, StringsGoThroughTheAnsiCodePage) {
  struct Row {
    std::u16string put;
    std::u16string get;
    bool nullBack;
  };
  const Row rows[] = {{u"2024/05/07", u"2024/05/07", false},
                      {u"\u062A\u0627\u0631\u064A\u062E", u"\u062A\u0627\u0631\u064A\u062E", false},
                      {u"a\u4E2Db", u"a?b", false},
                      {u"", u"", true}};
  using Put = HRESULT (TQorvX::*)(BSTR);
  using Get = HRESULT (TQorvX::*)(BSTR*);
  const std::pair<Put, Get> members[] = {{&TQorvX::put_Date, &TQorvX::get_Date},
                                         {&TQorvX::put_Time, &TQorvX::get_Time},
                                         {&TQorvX::put_SavePath, &TQorvX::get_SavePath}};
  for (const auto& [put, get] : members) {
    for (const Row& row : rows) {
      BSTR in = SysAllocStringLen(row.put.data(), static_cast<UINT>(row.put.size()));
      EXPECT_EQ((control.get()->*put)(in), S_OK);
      SysFreeString(in);
      TBStr out;
      out.Value = reinterpret_cast<BSTR>(1);  // the get must overwrite it
      ASSERT_EQ((control.get()->*get)(&out.Value), S_OK);
      EXPECT_EQ(out.Value == nullptr, row.nullBack);
      EXPECT_EQ(out.Text(), row.get);
    }
    EXPECT_EQ((control.get()->*put)(nullptr), S_OK);
    TBStr out;
    ASSERT_EQ((control.get()->*get)(&out.Value), S_OK);
    EXPECT_EQ(out.Value, nullptr);
  }
  EXPECT_EQ(RecorderState().Date, "");
}

// The received values are read-only: a put succeeds and changes nothing.
// A get with no place for its answer is refused instead of crashing.
TEST_F(QorvXControl, ReceivedValuesIgnorePutsAndNullOutIsRefused) {
  RecorderState().CallerID = "L1912";
  RecorderState().QorEvent = "RING";
  BSTR other = SysAllocString(u"x");
  EXPECT_EQ(control->put_CallerID(other), S_OK);
  EXPECT_EQ(control->put_QorEvent(other), S_OK);
  SysFreeString(other);
  TBStr caller, event;
  ASSERT_EQ(control->get_CallerID(&caller.Value), S_OK);
  ASSERT_EQ(control->get_QorEvent(&event.Value), S_OK);
  EXPECT_EQ(caller.Text(), u"L1912");
  EXPECT_EQ(event.Text(), u"RING");

  EXPECT_EQ(control->get_Connect(nullptr), E_POINTER);
  EXPECT_EQ(control->get_Line(nullptr), E_POINTER);
  EXPECT_EQ(control->get_CallerID(nullptr), E_POINTER);
}

// An unreadable date or time is no failure: the put stores false and sends
// nothing, and its Persian message appears only while the control is visible.
TEST_F(QorvXControl, ClockInputErrorShowsMessageOnlyWhenVisible) {
  OpenPort();
  std::vector<std::string> shown;
  SetModalResponder([&](TCustomForm& box) {
    shown.push_back(ShownText(box));
    box.SetModalResult(mrOk);
  });
  struct Row {
    const char* date;
    const char* time;
    qorv::recorder::TClockInputError error;
  };
  const Row rows[] = {{"2009/0x/15", "13:45:30", qorv::recorder::TClockInputError::Date},
                      {"2009/03/15", "13:4", qorv::recorder::TClockInputError::Time},
                      // A sign counts as malformed: same message, nothing sent.
                      {"2009/-3/15", "13:45:30", qorv::recorder::TClockInputError::Date},
                      {"2009/03/15", "00:00:-3", qorv::recorder::TClockInputError::Time},
                      {"2009/03/15", "+1:00:00", qorv::recorder::TClockInputError::Time}};
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.date) + " " + row.time);
    RecorderState().Date = row.date;
    RecorderState().Time = row.time;
    RecorderState().SetTime = VARIANT_TRUE;
    control->SetVisible(false);
    EXPECT_EQ(control->put_SetTime(VARIANT_TRUE), S_OK);
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(RecorderState().SetTime, VARIANT_FALSE);

    control->SetVisible(true);
    EXPECT_EQ(control->put_SetTime(VARIANT_TRUE), S_OK);
    ASSERT_EQ(shown.size(), 1u);
    // The text is shown in the ANSI code page; compare it there.
    EXPECT_NE(shown[0].find(qorv::recorder::ClockInputErrorText(row.error)), std::string::npos);
    shown.clear();
  }
  // With nobody to answer, a headless box is answered by itself: no hang.
  SetModalResponder(nullptr);
  RecorderState().Date = "2009/0x/15";
  EXPECT_EQ(control->put_SetTime(VARIANT_TRUE), S_OK);
  control->SetVisible(false);
  // Writes reach the device in order: once a later frame has arrived alone,
  // nothing went out before it.
  const std::string readTime = qorv::test::Bytes({0xFC, 'R', 'b', 0xFD});
  ASSERT_EQ(control->put_ReadTime(VARIANT_TRUE), S_OK);
  ASSERT_TRUE(recorder->WaitForWritten(readTime.size(), kBound));
  EXPECT_EQ(Text(recorder->Written()), readTime);
}

// The timer is a real WM_TIMER of the control's thread: handling messages is
// all it takes for received lines to reach CallerID and QorEvent.
TEST_F(QorvXControl, TimerDrainsThePortWhileMessagesAreHandled) {
  OpenPort();
  recorder->QueueInput(std::string("\rL2:CallerID:345 RING\n"));
  ASSERT_TRUE(PumpUntil([] { return RecorderState().CallerID == "L2345"; }));
  TBStr event;
  ASSERT_EQ(control->get_QorEvent(&event.Value), S_OK);
  EXPECT_EQ(event.Text(), u"L2:CallerID:345 RING");
}

}  // namespace

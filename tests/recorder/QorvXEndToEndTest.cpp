// The control end to end against the recorder simulator on a pty: command
// frames as the simulator decodes them, its clock reply, caller-ID and text
// lines through the real timer, and recordings written as WAV files.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <ctime>
#include <fstream>
#include <memory>

#include "Application.h"
#include "FakeRecorderPort.h"
#include "QorvImpl1.h"
#include "RecorderState.h"
#include "RecsimProcess.h"
#include "TestSupport.h"
#include "systemroot.h"
#include "winuser.h"

namespace {

using qorv::recorder::kAudioBufferSize;
using qorv::recorder::RecorderState;
using qorv::tools::TRecsimProcess;

constexpr int kPort = 7;
constexpr auto kBound = std::chrono::seconds(20);

struct TFormDeleter {
  void operator()(TQorvX* form) const { delete form; }
};

bool PumpUntil(const std::function<bool()>& condition) {
  const auto deadline = std::chrono::steady_clock::now() + kBound;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    Application->ProcessMessages();
  }
  return true;
}

// A put of a string member from 8-bit ASCII text.
HRESULT PutText(TQorvX& control, HRESULT (TQorvX::*put)(BSTR), const std::string& text) {
  std::u16string wide(text.begin(), text.end());
  BSTR value = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  const HRESULT hr = (control.*put)(value);
  SysFreeString(value);
  return hr;
}

// An 8 kHz 8-bit tone. 0x0A and 0x0D would end or restart an audio line,
// so the recorder never sends them; neither does this tone.
std::string Tone(double hertz, int count) {
  std::string samples;
  for (int i = 0; i < count; ++i) {
    int v = static_cast<int>(std::lround(128 + 100 * std::sin(2 * M_PI * hertz * i / 8000)));
    if (v == 0x0A || v == 0x0D) ++v;
    samples += static_cast<char>(v);
  }
  return samples;
}

// True when the text has the shape of the pattern: '9' stands for any digit,
// every other character for itself.
bool HasShape(const std::string& text, const std::string& pattern) {
  if (text.size() != pattern.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool digit = text[i] >= '0' && text[i] <= '9';
    if (pattern[i] == '9' ? !digit : text[i] != pattern[i]) return false;
  }
  return true;
}

std::string Le32(std::uint32_t v) {
  return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16), static_cast<char>(v >> 24)};
}

// A WAV file the simulator can stream.
void WriteWav(const std::filesystem::path& path, const std::string& samples) {
  std::string file = "RIFF" + Le32(36 + samples.size()) + "WAVEfmt " + Le32(16);
  file += qorv::test::Bytes({1, 0, 1, 0}) + Le32(8000) + Le32(8000) + qorv::test::Bytes({1, 0, 8, 0});
  file += "data" + Le32(samples.size()) + samples;
  qorv::test::WriteFileBytes(path, file);
}

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::uint32_t Le32At(const std::string& s, std::size_t offset) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(s[offset + static_cast<std::size_t>(i)]);
  return v;
}

class QorvXEndToEnd : public testing::Test {
 protected:
  void SetUp() override {
    const auto first = recsim.ReadLine(kBound);
    ASSERT_TRUE(first && first->rfind("slave ", 0) == 0) << first.value_or("no output");
    control.reset(NewForm<TQorvX>(nullptr));
    ASSERT_EQ(control->put_PortNumber(kPort), S_OK);
    ASSERT_EQ(control->put_OpenPort(VARIANT_TRUE), S_OK);
    ASSERT_TRUE(control->MP->Open());
  }
  void TearDown() override { control.reset(); }

  // The simulator's next decoded frame: its hex bytes and name.
  std::string NextFrame() { return recsim.ReadLine(kBound).value_or("<nothing>"); }
  std::filesystem::path LinuxPath(const std::string& windowsPath) {
    return qorv::platform::WindowsToLinuxPath(windowsPath).value_or("");
  }

  TRecsimProcess recsim{QORV_RECSIM_PATH, kPort};
  std::unique_ptr<TQorvX, TFormDeleter> control;
  qorv::test::TempDir files{"qorvx-e2e"};
};

// Every command put arrives as its exact frame, in order.
TEST_F(QorvXEndToEnd, CommandPutsArriveAsExactFrames) {
  ASSERT_EQ(control->put_Line(12), S_OK);
  ASSERT_EQ(PutText(*control, &TQorvX::put_Date, "2009/03/15"), S_OK);
  ASSERT_EQ(PutText(*control, &TQorvX::put_Time, "13:45:30"), S_OK);
  ASSERT_EQ(PutText(*control, &TQorvX::put_SavePath, "C:\\frames.wav"), S_OK);
  struct Row {
    HRESULT (TQorvX::*put)(VARIANT_BOOL);
    VARIANT_BOOL value;
    const char* frame;
  };
  const Row rows[] = {
      {&TQorvX::put_Connect, VARIANT_TRUE, "FC 52 31 32 4F 46 FD "},
      {&TQorvX::put_Disconnect, VARIANT_TRUE, "FC 52 31 32 4F 4E FD "},
      {&TQorvX::put_StartRecord, VARIANT_TRUE, "FC 4C 31 32 43 4F FD "},
      {&TQorvX::put_StopRecord, VARIANT_TRUE, "FC 4C 39 43 4F FD "},
      {&TQorvX::put_SetProtocol1, VARIANT_FALSE, nullptr},
      {&TQorvX::put_SetProtocol1, VARIANT_TRUE, "FC 70 72 74 01 6C FD "},
      {&TQorvX::put_SetProtocol2, VARIANT_TRUE, "FC 70 72 74 02 6C FD "},
      {&TQorvX::put_SetProtocol3, VARIANT_TRUE, "FC 70 72 74 03 6C FD "},
      {&TQorvX::put_SetStarONOFF, VARIANT_TRUE, "FC 70 72 74 04 6C FD "},
      {&TQorvX::put_SetStarONOFF, VARIANT_FALSE, "FC 70 72 74 05 6C FD "},
      {&TQorvX::put_SetStatus, VARIANT_TRUE, "FC 52 71 53 54 FD "},
      {&TQorvX::put_SetTime, VARIANT_TRUE, "FC 52 61 30 45 13 D5 03 54 01 FD "},
      {&TQorvX::put_ReadTime, VARIANT_TRUE, "FC 52 62 FD "},
  };
  for (const Row& row : rows) {
    ASSERT_EQ((control.get()->*row.put)(row.value), S_OK);
    if (!row.frame) continue;
    const std::string line = NextFrame();
    EXPECT_EQ(line.rfind(row.frame, 0), 0u) << "expected " << row.frame << "got " << line;
  }
  // The stop command wrote the (empty) recording.
  EXPECT_EQ(std::filesystem::file_size(LinuxPath("C:\\frames.wav")), 44u);
}

// ReadTime is answered with the simulator's clock, which reaches Date and
// Time through the timer; a clock reply of a given time arrives exactly.
TEST_F(QorvXEndToEnd, ClockRepliesFillDateAndTime) {
  RecorderState().Date.clear();
  ASSERT_EQ(control->put_ReadTime(VARIANT_TRUE), S_OK);
  ASSERT_TRUE(PumpUntil([] { return !RecorderState().Date.empty(); }));
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  EXPECT_EQ(RecorderState().Date.substr(0, 5), std::to_string(1900 + local.tm_year) + "/") << RecorderState().Date;
  EXPECT_TRUE(HasShape(RecorderState().Date, "9999/99/99")) << RecorderState().Date;
  EXPECT_TRUE(HasShape(RecorderState().Time, "99:99:99")) << RecorderState().Time;

  ASSERT_TRUE(recsim.Send("clock 2024/05/07 09:05:03"));
  EXPECT_TRUE(PumpUntil([] { return RecorderState().Date == "2024/05/07" && RecorderState().Time == "09:05:03"; }));
}

// A caller-ID line waiting in the port's input becomes CallerID within two
// ticks of the timer, and a text line becomes QorEvent.
TEST_F(QorvXEndToEnd, CallerIdArrivesWithinTwoTicks) {
  // Ticks are counted from the moment the whole line is in the input ring;
  // until then they leave it there.
  TNotifyEvent tick = control->Timer1->OnTimer;
  bool armed = false;
  int ticks = 0;
  control->Timer1->OnTimer = [&](TObject* sender) {
    if (!armed) return;
    ++ticks;
    tick(sender);
  };
  const std::string line = "\rL3:CallerID:09121234567 \n";
  ASSERT_TRUE(recsim.Send("callerid L3 09121234567"));
  ASSERT_TRUE(qorv::test::WaitUntil([&] { return control->MP->Dispatcher()->InputCount() == line.size(); }, kBound));
  armed = true;
  ASSERT_TRUE(PumpUntil([] { return RecorderState().CallerID == "L309121234567"; }));
  EXPECT_LE(ticks, 2);
  EXPECT_EQ(RecorderState().QorEvent, "L3:CallerID:09121234567 ");

  ASSERT_TRUE(recsim.Send("line RING-2"));
  EXPECT_TRUE(PumpUntil([] { return RecorderState().QorEvent == "RING2"; }));
  EXPECT_EQ(RecorderState().CallerID, "L309121234567");
}

// A tone streamed at line rate after StartRecord becomes a WAV file whose
// samples are exactly those sent; what came before StartRecord is dropped.
TEST_F(QorvXEndToEnd, StreamedToneBecomesWaveFile) {
  const std::string before = Tone(440, 300);
  const std::string tone = Tone(1000, 4000);
  WriteWav(files.Path() / "before.wav", before);
  WriteWav(files.Path() / "tone.wav", tone);
  ASSERT_TRUE(recsim.Send("wav " + (files.Path() / "before.wav").string()));
  ASSERT_TRUE(recsim.Send("line BEFORE"));
  ASSERT_TRUE(PumpUntil([] { return RecorderState().QorEvent == "BEFORE"; }));

  ASSERT_EQ(PutText(*control, &TQorvX::put_SavePath, "C:\\tone.wav"), S_OK);
  ASSERT_EQ(control->put_StartRecord(VARIANT_TRUE), S_OK);
  ASSERT_TRUE(recsim.Send("wav " + (files.Path() / "tone.wav").string()));
  ASSERT_TRUE(PumpUntil([] { return RecorderState().AudioIndex == 44 + 4000; }));
  ASSERT_EQ(control->put_StopRecord(VARIANT_TRUE), S_OK);

  const std::string file = ReadAll(LinuxPath("C:\\tone.wav"));
  ASSERT_EQ(file.size(), 44u + 4000u);
  EXPECT_EQ(file.substr(0, 4), "RIFF");
  EXPECT_EQ(Le32At(file, 4), 36u + 4000u);
  EXPECT_EQ(file.substr(8, 8), "WAVEfmt ");
  EXPECT_EQ(Le32At(file, 24), 8000u);
  EXPECT_EQ(file.substr(36, 4), "data");
  EXPECT_EQ(Le32At(file, 40), 4000u);
  EXPECT_TRUE(file.substr(44) == tone) << "the samples differ from the tone sent";
}

// A recording that reaches the end of the buffer keeps its length: later
// samples replace the last one. The buffer is brought near its end directly,
// as 50 MB at line rate would take over an hour.
TEST_F(QorvXEndToEnd, RecordingPastTheBufferCapsAtItsEnd) {
  ASSERT_EQ(PutText(*control, &TQorvX::put_SavePath, "C:\\long.wav"), S_OK);
  ASSERT_EQ(control->put_StartRecord(VARIANT_TRUE), S_OK);
  RecorderState().AudioIndex = kAudioBufferSize - 100;
  const std::string tail = Tone(700, 300);
  WriteWav(files.Path() / "tail.wav", tail);
  ASSERT_TRUE(recsim.Send("wav " + (files.Path() / "tail.wav").string()));
  ASSERT_TRUE(recsim.Send("line DONE"));
  ASSERT_TRUE(PumpUntil([] { return RecorderState().QorEvent == "DONE"; }));
  EXPECT_EQ(RecorderState().AudioIndex, kAudioBufferSize);
  ASSERT_EQ(control->put_StopRecord(VARIANT_TRUE), S_OK);

  const std::string file = ReadAll(LinuxPath("C:\\long.wav"));
  ASSERT_EQ(file.size(), static_cast<std::size_t>(kAudioBufferSize));
  EXPECT_EQ(Le32At(file, 40), static_cast<std::uint32_t>(kAudioBufferSize - 44));
  EXPECT_EQ(Le32At(file, 4), static_cast<std::uint32_t>(kAudioBufferSize - 8));
  EXPECT_TRUE(file.substr(file.size() - 100) == tail.substr(0, 99) + tail.back());
}

}  // namespace

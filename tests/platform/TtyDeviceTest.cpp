// Serial ports on real ttys: each test opens the slave side of a pty through
// devices.ini and plays the far end on the master side.
#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <thread>

#include "CommTestSupport.h"
#include "PtyTermios.h"
#include "TestSupport.h"
#include "systemroot.h"
#include "windows.h"

extern char** environ;

using namespace qorv::platform;
using qorv::test::OpenComPort;
using qorv::test::OpenDescriptorCount;
using qorv::test::Overlapped;
using qorv::test::PtyPair;

namespace {

constexpr int kPort = 3;
constexpr const char* kChildDeviceVariable = "QORV_TEST_CHILD_DEVICE";
constexpr const char* kChildErrorVariable = "QORV_TEST_CHILD_ERROR";

class TtyPortTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(WriteDeviceMapping(kPort, pty.SlavePath()));
    port = OpenComPort(kPort);
    ASSERT_NE(port, INVALID_HANDLE_VALUE) << GetLastError();
  }
  void TearDown() override {
    if (port != INVALID_HANDLE_VALUE) CloseHandle(port);
  }
  PtyPair pty;
  HANDLE port = INVALID_HANDLE_VALUE;
};

std::string AllByteValues() {
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes.push_back(static_cast<char>(i));
  return bytes;
}

std::string Pattern(std::size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131 + seed + i / 251) & 0xFF);
  return bytes;
}

double ProcessCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Runs this test program again with only TtyChild.OpensThePortFromAnotherProcess,
// which opens `device` and checks that the open ends with `error` (0: works).
// True when the child's check passed.
bool OpenInChildProcess(const std::string& device, DWORD error) {
  std::string deviceVariable = std::string(kChildDeviceVariable) + "=" + device;
  std::string errorVariable = std::string(kChildErrorVariable) + "=" + std::to_string(error);
  std::vector<char*> env;
  for (char** e = environ; *e; ++e) env.push_back(*e);
  env.push_back(deviceVariable.data());
  env.push_back(errorVariable.data());
  env.push_back(nullptr);
  std::string self = std::filesystem::read_symlink("/proc/self/exe");
  std::string filter = "--gtest_filter=TtyChild.OpensThePortFromAnotherProcess";
  char* argv[] = {self.data(), filter.data(), nullptr};
  pid_t pid;
  if (posix_spawn(&pid, self.c_str(), nullptr, nullptr, argv, env.data()) != 0) return false;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

// The far side of OpenInChildProcess; skipped in a normal run.
TEST(TtyChild, OpensThePortFromAnotherProcess) {
  const char* device = std::getenv(kChildDeviceVariable);
  const char* expected = std::getenv(kChildErrorVariable);
  if (device == nullptr || expected == nullptr) GTEST_SKIP() << "runs only as a child of the exclusivity test";
  ASSERT_TRUE(WriteDeviceMapping(7, device));
  HANDLE h = OpenComPort(7);
  DWORD error = h == INVALID_HANDLE_VALUE ? GetLastError() : 0;
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  EXPECT_EQ(error, std::strtoul(expected, nullptr, 10));
}

// ---- opening ----

TEST_F(TtyPortTest, PortIsExclusiveInThisProcessAndFailedOpensHoldNothing) {
  auto descriptors = OpenDescriptorCount();
  EXPECT_EQ(OpenComPort(kPort), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(OpenDescriptorCount(), descriptors);
  ASSERT_TRUE(CloseHandle(port));
  port = OpenComPort(kPort);
  EXPECT_NE(port, INVALID_HANDLE_VALUE) << "closing released the lock";
}

TEST_F(TtyPortTest, PortIsExclusiveAgainstAnotherProcess) {
  EXPECT_TRUE(OpenInChildProcess(pty.SlavePath(), ERROR_ACCESS_DENIED));
  ASSERT_TRUE(CloseHandle(port));
  port = INVALID_HANDLE_VALUE;
  EXPECT_TRUE(OpenInChildProcess(pty.SlavePath(), ERROR_SUCCESS));
}

TEST(TtyOpen, MissingDevicesAndFilesThatAreNoTtyAreNotFound) {
  qorv::test::TempDir dir;
  auto plainFile = dir.Path() / "plain";
  qorv::test::WriteFileBytes(plainFile, "x");
  ASSERT_TRUE(WriteDeviceMapping(5, (dir.Path() / "missing").string()));
  ASSERT_TRUE(WriteDeviceMapping(6, plainFile.string()));
  auto descriptors = OpenDescriptorCount();
  for (int number : {5, 6, 8}) {
    EXPECT_EQ(OpenComPort(number), INVALID_HANDLE_VALUE) << number;
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND) << number;
  }
  EXPECT_EQ(OpenDescriptorCount(), descriptors);
}

// ---- raw mode ----

TEST(TtyRaw, FreshPtyPassesEveryByteUnchangedBothWays) {
  PtyPair pty;
  // Typed into the cooked line before the port opens: must not be seen. Its
  // echo shows that the line discipline has taken it.
  pty.WriteAll("stale");
  ASSERT_EQ(pty.ReadExactly(5), "stale");
  ASSERT_TRUE(WriteDeviceMapping(kPort, pty.SlavePath()));
  HANDLE port = OpenComPort(kPort);
  ASSERT_NE(port, INVALID_HANDLE_VALUE);

  std::string bytes = AllByteValues();
  pty.WriteAll(bytes);
  ASSERT_TRUE(SetCommMask(port, EV_RXCHAR));
  std::string received;
  char buffer[512];
  ASSERT_TRUE(qorv::test::WaitUntil([&] {
    DWORD n = 0;
    Overlapped read;
    if (ReadFile(port, buffer, sizeof buffer, &n, &read.record)) received.append(buffer, n);
    return received.size() >= bytes.size();
  }));
  EXPECT_EQ(received, bytes) << "no echo, no CR/LF translation, no signals, no flow characters eaten";

  Overlapped write;
  DWORD n = 0;
  BOOL done = WriteFile(port, bytes.data(), static_cast<DWORD>(bytes.size()), &n, &write.record);
  if (!done) {
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
  }
  EXPECT_EQ(pty.ReadExactly(bytes.size()), bytes);
  ASSERT_TRUE(GetOverlappedResult(port, &write.record, &n, TRUE));
  EXPECT_EQ(n, bytes.size());
  CloseHandle(port);
}

// ---- line settings ----

// What the port reports is also what the line discipline holds (a pty keeps
// its rate, stop bits, flow settings and raw mode; it forces 8 bits without
// parity, so only the port's own report has those).
TEST_F(TtyPortTest, LineSettingsReachTheDeviceIncludingANonStandardBaudRate) {
  struct Case {
    DWORD baud;
    BYTE bits, parity, stop;
    bool flow;  // CTS output flow and XOFF input, with another XON character
  } cases[] = {
      {115200, 8, NOPARITY, ONESTOPBIT, false},   {31250, 7, EVENPARITY, TWOSTOPBITS, true},
      {250000, 8, ODDPARITY, ONESTOPBIT, false},  {110, 5, MARKPARITY, ONE5STOPBITS, true},
      {9600, 6, SPACEPARITY, TWOSTOPBITS, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.baud);
    DCB dcb{};
    ASSERT_TRUE(GetCommState(port, &dcb));
    dcb.BaudRate = c.baud;
    dcb.ByteSize = c.bits;
    dcb.Parity = c.parity;
    dcb.StopBits = c.stop;
    dcb.fOutxCtsFlow = c.flow;
    dcb.fParity = c.parity != NOPARITY;
    dcb.fOutX = 1;
    dcb.fInX = c.flow;
    dcb.XonChar = static_cast<char>(0x11 + c.flow);
    dcb.XoffChar = 0x13;
    dcb.XonLim = 100;
    dcb.XoffLim = 200;
    ASSERT_TRUE(SetCommState(port, &dcb)) << GetLastError();

    auto line = qorv::test::ReadPtyLineSettings(pty.Master());
    ASSERT_TRUE(line);
    EXPECT_EQ(line->OutputRate, c.baud);
    EXPECT_EQ(line->InputRate, c.baud);
    EXPECT_EQ(line->TwoStopBits, c.stop != ONESTOPBIT);
    EXPECT_EQ(line->CtsFlow, c.flow);
    EXPECT_EQ(line->ParityChecked, c.parity != NOPARITY);
    EXPECT_TRUE(line->XonXoffOutput);
    EXPECT_EQ(line->XonXoffInput, c.flow);
    EXPECT_EQ(line->XonChar, 0x11 + c.flow);
    EXPECT_EQ(line->XoffChar, 0x13);
    EXPECT_TRUE(line->Raw) << "new settings must not undo raw mode";
    EXPECT_EQ(line->DataBits, 8u);
    EXPECT_FALSE(line->ParityGenerated);

    DCB back{};
    ASSERT_TRUE(GetCommState(port, &back));
    EXPECT_EQ(back.BaudRate, c.baud);
    EXPECT_EQ(back.ByteSize, c.bits);
    EXPECT_EQ(back.Parity, c.parity);
    EXPECT_EQ(back.StopBits, c.stop);
    EXPECT_EQ(back.fOutxCtsFlow, c.flow);
    EXPECT_EQ(back.fOutX, 1u);
    EXPECT_EQ(back.fInX, c.flow);
    EXPECT_EQ(back.XonChar, 0x11 + c.flow);
    EXPECT_EQ(back.XoffChar, 0x13);
    EXPECT_EQ(back.XonLim, 100);
    EXPECT_EQ(back.XoffLim, 200);
  }
}

TEST_F(TtyPortTest, SettingsATtyCannotHonourAreRefused) {
  DCB good{};
  ASSERT_TRUE(GetCommState(port, &good));
  DCB dsr = good;
  dsr.fOutxDsrFlow = 1;
  EXPECT_FALSE(SetCommState(port, &dsr));
  EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
  DCB dtr = good;
  dtr.fDtrControl = DTR_CONTROL_HANDSHAKE;
  EXPECT_FALSE(SetCommState(port, &dtr));
  EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
  DCB zero = good;
  zero.BaudRate = 0;
  EXPECT_FALSE(SetCommState(port, &zero));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  DCB back{};
  ASSERT_TRUE(GetCommState(port, &back));
  EXPECT_EQ(back.BaudRate, good.BaudRate);
  EXPECT_EQ(back.fOutxDsrFlow, 0u);
}

// ---- modem lines and events on a pty ----

TEST_F(TtyPortTest, PtyRefusesModemLinesButStillReportsReceivedBytes) {
  DWORD status = 0xFF;
  EXPECT_FALSE(GetCommModemStatus(port, &status));
  EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
  EXPECT_FALSE(EscapeCommFunction(port, SETDTR));
  EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
  DCB dcb{};
  ASSERT_TRUE(GetCommState(port, &dcb));
  dcb.fDtrControl = DTR_CONTROL_ENABLE;
  EXPECT_TRUE(SetCommState(port, &dcb)) << "no modem lines is no failure of the settings";

  ASSERT_TRUE(SetCommMask(port, 0x1F9));
  Overlapped wait;
  DWORD mask = 0;
  ASSERT_FALSE(WaitCommEvent(port, &mask, &wait.record));
  ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
  pty.WriteAll("R");
  ASSERT_TRUE(wait.WaitDone());
  DWORD ignored;
  ASSERT_TRUE(GetOverlappedResult(port, &wait.record, &ignored, FALSE));
  EXPECT_EQ(mask, EV_RXCHAR);

  COMSTAT comstat{};
  DWORD errors = 0;
  ASSERT_TRUE(qorv::test::WaitUntil([&] { return ClearCommError(port, &errors, &comstat) && comstat.cbInQue == 1; }));
  ASSERT_TRUE(PurgeComm(port, PURGE_RXABORT | PURGE_RXCLEAR));
  ASSERT_TRUE(ClearCommError(port, &errors, &comstat));
  EXPECT_EQ(comstat.cbInQue, 0u);
}

// ---- bulk transfer ----

TEST_F(TtyPortTest, OneMegabyteEachWayAtOnceLosesNoByte) {
  constexpr std::size_t kSize = 1 << 20;
  const std::string outgoing = Pattern(kSize, 7);
  const std::string incoming = Pattern(kSize, 91);
  ASSERT_TRUE(SetupComm(port, 4096, 4096));

  std::string farReceived;
  std::thread farReader([&] { farReceived = pty.ReadExactly(kSize); });
  std::thread farWriter([&] { pty.WriteAll(incoming); });

  Overlapped write;
  DWORD written = 0;
  if (!WriteFile(port, outgoing.data(), kSize, &written, &write.record)) {
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
  }
  std::string received = qorv::test::ReceiveExactly(port, kSize);
  ASSERT_TRUE(GetOverlappedResult(port, &write.record, &written, TRUE));
  farWriter.join();
  farReader.join();

  EXPECT_EQ(written, kSize);
  EXPECT_TRUE(received == incoming) << "received " << received.size() << " bytes";
  EXPECT_TRUE(farReceived == outgoing) << "sent " << farReceived.size() << " bytes";
}

// A reader sizes its read by the count ClearCommError gives, which includes
// bytes the tty still holds; the read must bring them all, not only those the
// port's thread has moved already.
TEST_F(TtyPortTest, ReadFileReturnsEveryByteClearCommErrorCounted) {
  std::string sent;
  std::string received;
  std::string buffer(4096, '\0');
  for (unsigned round = 0; round < 300; ++round) {
    const std::string piece = Pattern(97 + round % 50, round);
    sent += piece;
    pty.WriteAll(piece);
    COMSTAT comstat{};
    DWORD errors = 0;
    ASSERT_TRUE(qorv::test::WaitUntil([&] { return ClearCommError(port, &errors, &comstat) && comstat.cbInQue > 0; }));
    const DWORD counted = std::min<DWORD>(comstat.cbInQue, static_cast<DWORD>(buffer.size()));
    Overlapped read;
    DWORD got = 0;
    ASSERT_TRUE(ReadFile(port, buffer.data(), counted, &got, &read.record)) << GetLastError();
    ASSERT_EQ(got, counted) << "round " << round;
    received.append(buffer.data(), got);
  }
  received += qorv::test::ReceiveExactly(port, sent.size() - received.size());
  EXPECT_TRUE(received == sent) << "received " << received.size() << " of " << sent.size() << " bytes";
}

// ---- the far end going away ----

TEST_F(TtyPortTest, ClosedMasterEndsPendingWorkWithoutSpinningOrHanging) {
  ASSERT_TRUE(SetCommMask(port, EV_RXCHAR));
  Overlapped wait;
  DWORD mask = 0xFF;
  ASSERT_FALSE(WaitCommEvent(port, &mask, &wait.record));
  // More than the pty buffers, with nobody reading: the write stays pending.
  std::string big(1 << 20, 'w');
  Overlapped write;
  ASSERT_FALSE(WriteFile(port, big.data(), static_cast<DWORD>(big.size()), nullptr, &write.record));
  ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);

  pty.CloseMaster();
  DWORD n;
  EXPECT_FALSE(GetOverlappedResult(port, &wait.record, &n, TRUE));
  EXPECT_EQ(GetLastError(), ERROR_DEVICE_REMOVED);
  EXPECT_EQ(mask, 0u);
  EXPECT_FALSE(GetOverlappedResult(port, &write.record, &n, TRUE));
  EXPECT_EQ(GetLastError(), ERROR_DEVICE_REMOVED);
  EXPECT_LT(n, big.size());

  // The hang-up stays reported by poll(); an I/O thread that kept polling the
  // device would burn a whole core while this thread waits for a second.
  HANDLE never = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  double before = ProcessCpuSeconds();
  EXPECT_EQ(WaitForSingleObject(never, 1000), WAIT_TIMEOUT);
  EXPECT_LT(ProcessCpuSeconds() - before, 0.5) << "seconds of CPU time";
  CloseHandle(never);

  EXPECT_FALSE(WaitCommEvent(port, &mask, &wait.record));
  EXPECT_EQ(GetLastError(), ERROR_DEVICE_REMOVED);
  EXPECT_FALSE(WriteFile(port, "x", 1, &n, &write.record));
  EXPECT_EQ(GetLastError(), ERROR_DEVICE_REMOVED);
  EXPECT_TRUE(CloseHandle(port));
  port = INVALID_HANDLE_VALUE;
}

TEST_F(TtyPortTest, CloseHandleEndsAPendingWaitAndWrite) {
  ASSERT_TRUE(SetCommMask(port, EV_RXCHAR));
  Overlapped wait;
  DWORD mask = 0xFF;
  ASSERT_FALSE(WaitCommEvent(port, &mask, &wait.record));
  std::string big(1 << 20, 'w');
  Overlapped write;
  ASSERT_FALSE(WriteFile(port, big.data(), static_cast<DWORD>(big.size()), nullptr, &write.record));
  ASSERT_TRUE(CloseHandle(port));
  port = INVALID_HANDLE_VALUE;
  ASSERT_TRUE(wait.WaitDone());
  ASSERT_TRUE(write.WaitDone());
  EXPECT_EQ(wait.record.Internal, ERROR_OPERATION_ABORTED);
  EXPECT_EQ(write.record.Internal, ERROR_OPERATION_ABORTED);
  EXPECT_EQ(mask, 0u);
}

// An in-memory port for the recorder logic: records what was queued for
// sending, hands out scripted received bytes, and fails chosen calls the way
// the port component raises a serial error.
#pragma once

#include <deque>
#include <stdexcept>
#include <string>
#include <vector>

#include "RecorderPort.h"

namespace qorv::test {

struct TFakeSerialError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class TFakeRecorderPort : public recorder::IRecorderPort {
 public:
  bool Open = true;
  std::string Sent;                     // every byte queued, in order
  std::vector<std::string> WriteCalls;  // one entry per WriteText/WriteChar
  std::vector<WORD> ComNumbers;         // every number selected
  std::deque<BYTE> Input;

  bool FailOpen = false;
  bool FailComNumber = false;
  // The write call (counted from 1) that raises, 0 for none; while the port
  // is closed every write raises, as the component does.
  int FailWriteAt = 0;
  // The read (counted from 1) that raises, 0 for none.
  int FailReadAt = 0;

  bool IsOpen() override { return Open; }
  void SetOpen(bool value) override {
    if (value && FailOpen) throw TFakeSerialError("open failed");
    Open = value;
  }
  void SetComNumber(WORD value) override {
    ComNumbers.push_back(value);
    if (FailComNumber) throw TFakeSerialError("reopen failed");
  }
  bool InputReady() override { return !Input.empty(); }
  BYTE ReadChar() override {
    if (++reads_ == FailReadAt) throw TFakeSerialError("read failed");
    const BYTE b = Input.front();
    Input.pop_front();
    return b;
  }
  void WriteChar(BYTE value) override { Write(std::string(1, static_cast<char>(value))); }
  void WriteText(const std::string& text) override { Write(text); }

  // Write calls so far, the failed ones included.
  int WriteCount() const { return writes_; }

  void Receive(const std::string& bytes) { Input.insert(Input.end(), bytes.begin(), bytes.end()); }

 private:
  void Write(const std::string& bytes) {
    ++writes_;
    if (!Open) throw TFakeSerialError("port not open");
    if (writes_ == FailWriteAt) throw TFakeSerialError("output full");
    Sent += bytes;
    WriteCalls.push_back(bytes);
  }
  int writes_ = 0;
  int reads_ = 0;
};

// Bytes from a list of values, for frames written as the hex the wire carries.
inline std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (const int v : values) s += static_cast<char>(v);
  return s;
}

}  // namespace qorv::test

// Splits the bytes the control sends into command frames (0xFC ... 0xFD) and
// names each one: "FC 52 31 4F 46 FD connect line 1". Bytes outside a frame
// are reported as "stray", a frame cut by a new 0xFC as "unterminated".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace recsim {

struct DecodedFrame {
  std::string Text;          // hex bytes and name, one output line
  bool AsksForTime = false;  // the read-time command, to be answered
};

class FrameDecoder {
 public:
  // Takes received bytes; returns the frames and stray runs they complete.
  std::vector<DecodedFrame> Feed(const std::uint8_t* bytes, std::size_t count);
  // Reports what is left over (stray bytes, a frame never closed).
  std::vector<DecodedFrame> Finish();

 private:
  void FlushStray(std::vector<DecodedFrame>& out);
  std::vector<std::uint8_t> frame_;
  std::vector<std::uint8_t> stray_;
  bool inFrame_ = false;
};

// Upper-case hex bytes separated by blanks.
std::string HexBytes(const std::vector<std::uint8_t>& bytes);
// The name of one complete frame (first byte 0xFC, last 0xFD).
std::string NameOfFrame(const std::vector<std::uint8_t>& frame, bool* asksForTime);

}  // namespace recsim

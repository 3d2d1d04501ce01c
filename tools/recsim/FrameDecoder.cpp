#include "FrameDecoder.h"

#include <cstdio>

namespace recsim {

namespace {

constexpr std::uint8_t kFrameStart = 0xFC;
constexpr std::uint8_t kFrameEnd = 0xFD;
// Far longer than any command; a run this long without an end is cut.
constexpr std::size_t kMaxFrame = 1024;

// The payload between the frame bytes.
std::string PayloadOf(const std::vector<std::uint8_t>& frame) {
  return std::string(frame.begin() + 1, frame.end() - 1);
}

// "R12OF" with prefix "R" and suffix "OF" gives "12"; empty when the middle is
// not one to three decimal digits.
std::string LineDigits(const std::string& payload, const std::string& prefix, const std::string& suffix) {
  if (payload.size() <= prefix.size() + suffix.size()) return {};
  if (payload.compare(0, prefix.size(), prefix) != 0) return {};
  if (payload.compare(payload.size() - suffix.size(), suffix.size(), suffix) != 0) return {};
  std::string digits = payload.substr(prefix.size(), payload.size() - prefix.size() - suffix.size());
  if (digits.size() > 3) return {};
  for (char c : digits)
    if (c < '0' || c > '9') return {};
  return digits;
}

std::string Bcd(std::uint8_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "%02X", value);
  return text;
}

std::string ClockSetName(const std::string& p) {
  auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(p[i]); };
  std::uint8_t date = byte(5);
  char text[96];
  std::snprintf(text, sizeof text, "set clock %s:%s:%s day %s month %s year 2006+%d (mod 4)", Bcd(byte(4)).c_str(),
                Bcd(byte(3)).c_str(), Bcd(byte(2)).c_str(), Bcd(date & 0x3F).c_str(), Bcd(byte(6)).c_str(), date >> 6);
  return text;
}

}  // namespace

std::string HexBytes(const std::vector<std::uint8_t>& bytes) {
  std::string text;
  char hex[4];
  for (std::uint8_t b : bytes) {
    std::snprintf(hex, sizeof hex, "%02X", b);
    if (!text.empty()) text += ' ';
    text += hex;
  }
  return text;
}

std::string NameOfFrame(const std::vector<std::uint8_t>& frame, bool* asksForTime) {
  *asksForTime = false;
  std::string p = PayloadOf(frame);
  std::string line;
  if (!(line = LineDigits(p, "R", "OF")).empty()) return "connect line " + line;
  if (!(line = LineDigits(p, "R", "ON")).empty()) return "disconnect line " + line;
  // The stop command always carries line 9, so a start on line 9 reads the same.
  if (p == "L9CO") return "stop record (or start record line 9)";
  if (!(line = LineDigits(p, "L", "CO")).empty()) return "start record line " + line;
  if (p.size() == 5 && p.compare(0, 3, "prt") == 0 && p[4] == 'l') {
    switch (p[3]) {
      case 1: return "protocol 1";
      case 2: return "protocol 2";
      case 3: return "protocol 3";
      case 4: return "star on";
      case 5: return "star off";
      default: break;
    }
  }
  if (p == "RqST") return "status";
  if (p == "Rb") {
    *asksForTime = true;
    return "read time";
  }
  if (p.size() == 9 && p.compare(0, 2, "Ra") == 0 && p[7] == 'T' && p[8] == 1) return ClockSetName(p);
  return "unknown";
}

void FrameDecoder::FlushStray(std::vector<DecodedFrame>& out) {
  if (stray_.empty()) return;
  out.push_back({HexBytes(stray_) + " stray", false});
  stray_.clear();
}

std::vector<DecodedFrame> FrameDecoder::Feed(const std::uint8_t* bytes, std::size_t count) {
  std::vector<DecodedFrame> out;
  for (std::size_t i = 0; i < count; ++i) {
    std::uint8_t b = bytes[i];
    if (b == kFrameStart) {
      FlushStray(out);
      if (inFrame_) out.push_back({HexBytes(frame_) + " unterminated", false});
      frame_.assign(1, b);
      inFrame_ = true;
      continue;
    }
    if (!inFrame_) {
      stray_.push_back(b);
      continue;
    }
    frame_.push_back(b);
    if (b == kFrameEnd) {
      DecodedFrame decoded;
      decoded.Text = HexBytes(frame_) + " " + NameOfFrame(frame_, &decoded.AsksForTime);
      out.push_back(decoded);
      frame_.clear();
      inFrame_ = false;
    } else if (frame_.size() >= kMaxFrame) {
      out.push_back({HexBytes(frame_) + " unterminated", false});
      frame_.clear();
      inFrame_ = false;
    }
  }
  FlushStray(out);
  return out;
}

std::vector<DecodedFrame> FrameDecoder::Finish() {
  std::vector<DecodedFrame> out;
  FlushStray(out);
  if (inFrame_) out.push_back({HexBytes(frame_) + " unterminated", false});
  frame_.clear();
  inFrame_ = false;
  return out;
}

}  // namespace recsim

#include "RecorderLines.h"

#include <cmath>
#include <fstream>
#include <iterator>

namespace recsim {

namespace {

constexpr char kCR = '\r';
constexpr char kLF = '\n';
constexpr unsigned kSampleRate = 8000;

std::uint8_t Nudged(std::uint8_t sample) {
  if (sample == 0x0A || sample == 0x0D) return sample + 1;
  return sample;
}

std::uint32_t Le32(const std::string& d, std::size_t at) {
  return static_cast<std::uint8_t>(d[at]) | static_cast<std::uint8_t>(d[at + 1]) << 8 |
         static_cast<std::uint8_t>(d[at + 2]) << 16 |
         static_cast<std::uint32_t>(static_cast<std::uint8_t>(d[at + 3])) << 24;
}

std::uint16_t Le16(const std::string& d, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<std::uint8_t>(d[at]) | static_cast<std::uint8_t>(d[at + 1]) << 8);
}

}  // namespace

std::string TextLine(const std::string& text) { return kCR + text + kLF; }

std::string CallerIdLine(char lineDigit, const std::string& number) {
  return TextLine(std::string("L") + lineDigit + ":CallerID:" + number + " ");
}

std::string AudioLines(const std::vector<std::uint8_t>& samples) {
  std::string out;
  for (std::size_t start = 0; start < samples.size(); start += kSamplesPerAudioLine) {
    std::size_t end = std::min(samples.size(), start + kSamplesPerAudioLine);
    out += kCR;
    out += static_cast<char>(kAudioMarker);
    out += '\0';
    for (std::size_t i = start; i < end; ++i) out += static_cast<char>(Nudged(samples[i]));
    out += kLF;
  }
  return out;
}

std::vector<std::uint8_t> ToneSamples(unsigned hertz, unsigned ms) {
  std::vector<std::uint8_t> samples(static_cast<std::size_t>(ms) * kSampleRate / 1000);
  const double step = 2 * M_PI * hertz / kSampleRate;
  for (std::size_t i = 0; i < samples.size(); ++i)
    samples[i] = static_cast<std::uint8_t>(std::lround(128 + 127 * std::sin(step * static_cast<double>(i))));
  return samples;
}

bool ReadWavSamples(const std::string& path, std::vector<std::uint8_t>* samples, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = path + ": cannot open";
    return false;
  }
  std::string data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (data.size() < 12 || data.compare(0, 4, "RIFF") != 0 || data.compare(8, 4, "WAVE") != 0) {
    *error = path + ": not a RIFF WAVE file";
    return false;
  }
  bool formatOk = false;
  // Walks the chunks; each is an id, a 32-bit size and the body, padded to even.
  for (std::size_t at = 12; at + 8 <= data.size();) {
    std::string id = data.substr(at, 4);
    std::uint32_t size = Le32(data, at + 4);
    std::size_t body = at + 8;
    if (size > data.size() - body) {
      *error = path + ": chunk '" + id + "' runs past the end of the file";
      return false;
    }
    if (id == "fmt ") {
      formatOk = size >= 16 && Le16(data, body) == 1 && Le16(data, body + 2) == 1 &&
                 Le32(data, body + 4) == kSampleRate && Le16(data, body + 14) == 8;
      if (!formatOk) {
        *error = path + ": not 8-bit 8 kHz mono PCM";
        return false;
      }
    } else if (id == "data") {
      if (!formatOk) {
        *error = path + ": data before its format";
        return false;
      }
      samples->assign(data.begin() + static_cast<std::ptrdiff_t>(body),
                      data.begin() + static_cast<std::ptrdiff_t>(body + size));
      return true;
    }
    at = body + size + (size & 1);
  }
  *error = path + ": no data chunk";
  return false;
}

std::string ClockReply(const std::tm& time) {
  std::string frame;
  frame += static_cast<char>(0xFD);
  frame += "DT";
  frame += static_cast<char>(time.tm_year + 1900 - 2006);
  frame += static_cast<char>(time.tm_mon + 1);
  frame += static_cast<char>(time.tm_mday);
  frame += 't';
  frame += static_cast<char>(time.tm_hour);
  frame += static_cast<char>(time.tm_min);
  frame += static_cast<char>(time.tm_sec);
  frame += '.';
  frame += static_cast<char>(0xFE);
  return frame;
}

}  // namespace recsim

// What the recorder sends: text lines (CR, text, LF), caller-ID lines, audio
// lines (CR, 0xC8, one byte the receiver skips, samples, LF) and the clock
// reply frame (0xFD 'D' 'T' ... '.' 0xFE).
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace recsim {

// Samples per audio line: the receiver keeps at most 299 bytes of a line, two
// of which are the marker and the skipped byte.
constexpr std::size_t kSamplesPerAudioLine = 200;
constexpr std::uint8_t kAudioMarker = 0xC8;

std::string TextLine(const std::string& text);
// CR, "L", the line digit, ":CallerID:", the number, a blank, LF.
std::string CallerIdLine(char lineDigit, const std::string& number);
// The samples cut into audio lines. A sample of LF or CR would end or restart
// the line, so each is sent one step higher.
std::string AudioLines(const std::vector<std::uint8_t>& samples);
// Unsigned 8-bit samples at 8 kHz of a sine tone at `hertz`, `ms` long.
std::vector<std::uint8_t> ToneSamples(unsigned hertz, unsigned ms);
// The samples of an 8-bit, 8 kHz, mono PCM WAV file; false with a message
// when the file is missing or of another kind.
bool ReadWavSamples(const std::string& path, std::vector<std::uint8_t>* samples, std::string* error);
// The clock reply for a local time: year - 2006, month, day, hour, minute,
// second as plain bytes.
std::string ClockReply(const std::tm& time);

}  // namespace recsim

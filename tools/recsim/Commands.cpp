#include "Commands.h"

#include <cctype>
#include <cstdio>
#include <ctime>
#include <sstream>
#include <vector>

#include "RecorderLines.h"

namespace recsim {

namespace {

bool ParseUnsigned(const std::string& text, unsigned long max, unsigned long* value) {
  if (text.empty() || text.size() > 10) return false;
  unsigned long v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<unsigned long>(c - '0');
  }
  if (v > max) return false;
  *value = v;
  return true;
}

bool ParseHexBytes(std::istringstream& words, std::string* bytes, std::string* error) {
  std::string word;
  while (words >> word) {
    unsigned long value = 0;
    bool ok = word.size() <= 2;
    for (char c : word) ok = ok && std::isxdigit(static_cast<unsigned char>(c));
    if (ok) value = std::stoul(word, nullptr, 16);
    if (!ok) {
      *error = "hex: '" + word + "' is not a byte in hex";
      return false;
    }
    bytes->push_back(static_cast<char>(value));
  }
  if (bytes->empty()) *error = "hex: no bytes";
  return !bytes->empty();
}

bool ParseCallerId(std::istringstream& words, std::string* bytes, std::string* error) {
  std::string line, number;
  words >> line >> number;
  if (!line.empty() && (line[0] == 'L' || line[0] == 'l')) line.erase(0, 1);
  if (line.size() != 1 || line[0] < '1' || line[0] > '9') {
    *error = "callerid: the line is L1 to L9";
    return false;
  }
  *bytes = CallerIdLine(line[0], number);
  return true;
}

bool ParseClock(std::istringstream& words, std::string* bytes, std::string* error) {
  std::string date, time;
  words >> date >> time;
  std::tm when{};
  if (date.empty()) {
    std::time_t now = std::time(nullptr);
    localtime_r(&now, &when);
  } else {
    char tail;
    int n = std::sscanf((date + " " + time).c_str(), "%d/%d/%d %d:%d:%d%c", &when.tm_year, &when.tm_mon, &when.tm_mday,
                        &when.tm_hour, &when.tm_min, &when.tm_sec, &tail);
    if (n != 6 || when.tm_year < 2006 || when.tm_year > 2006 + 255) {
      *error = "clock: give YYYY/MM/DD HH:MM:SS (years 2006 to 2261)";
      return false;
    }
    when.tm_year -= 1900;
    when.tm_mon -= 1;
  }
  *bytes = ClockReply(when);
  return true;
}

}  // namespace

bool ParseCommand(const std::string& text, Action* action, std::string* error) {
  *action = Action{};
  std::string line = text;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  std::istringstream words(line);
  std::string verb;
  words >> verb;
  if (verb.empty() || verb[0] == '#') return true;
  if (verb == "quit") {
    action->Quit = true;
    return true;
  }
  if (verb == "line") {
    auto start = line.find("line") + 4;
    if (start < line.size() && line[start] == ' ') ++start;
    action->Bytes = TextLine(line.substr(std::min(start, line.size())));
    return true;
  }
  if (verb == "callerid") return ParseCallerId(words, &action->Bytes, error);
  if (verb == "hex") return ParseHexBytes(words, &action->Bytes, error);
  if (verb == "clock") return ParseClock(words, &action->Bytes, error);
  if (verb == "sleep" || verb == "tone") {
    std::string first, second;
    words >> first >> second;
    unsigned long a = 0, b = 0;
    if (verb == "sleep") {
      if (!ParseUnsigned(first, 3600000, &a)) {
        *error = "sleep: give milliseconds (up to an hour)";
        return false;
      }
      action->SleepMs = static_cast<unsigned>(a);
      return true;
    }
    if (!ParseUnsigned(first, 3999, &a) || !ParseUnsigned(second, 600000, &b)) {
      *error = "tone: give HZ (below 4000) and MS (up to 10 minutes)";
      return false;
    }
    action->Bytes = AudioLines(ToneSamples(static_cast<unsigned>(a), static_cast<unsigned>(b)));
    return true;
  }
  if (verb == "wav") {
    auto start = line.find("wav") + 3;
    while (start < line.size() && line[start] == ' ') ++start;
    std::vector<std::uint8_t> samples;
    if (!ReadWavSamples(line.substr(start), &samples, error)) return false;
    action->Bytes = AudioLines(samples);
    return true;
  }
  *error = "unknown command '" + verb + "'";
  return false;
}

}  // namespace recsim

#include "TdsPacket.h"

#include <algorithm>

namespace sqlstandin {

namespace {

constexpr size_t kHeaderBytes = 8;
constexpr uint8_t kEndOfMessage = 0x01;

size_t packetLength(const std::vector<uint8_t>& buffer, size_t at) {
  return (static_cast<size_t>(buffer[at + 2]) << 8) | buffer[at + 3];
}

}  // namespace

TakeResult takeMessage(std::vector<uint8_t>& buffer, TdsMessage& message) {
  // Walk the packets first without consuming, so that a message that is
  // still arriving leaves the buffer untouched.
  size_t at = 0;
  size_t total = 0;
  while (true) {
    if (buffer.size() - at < kHeaderBytes) {
      return TakeResult::NeedMore;
    }
    size_t length = packetLength(buffer, at);
    if (length < kHeaderBytes) {
      return TakeResult::Malformed;
    }
    if (buffer[at] != buffer[0]) {
      return TakeResult::Malformed;
    }
    total += length - kHeaderBytes;
    if (total > kMaxMessageBytes) {
      return TakeResult::Malformed;
    }
    if (buffer.size() - at < length) {
      return TakeResult::NeedMore;
    }
    bool last = (buffer[at + 1] & kEndOfMessage) != 0;
    at += length;
    if (last) {
      break;
    }
  }
  message.type = buffer[0];
  message.payload.clear();
  message.payload.reserve(total);
  size_t pos = 0;
  while (pos < at) {
    size_t length = packetLength(buffer, pos);
    message.payload.insert(message.payload.end(), buffer.begin() + static_cast<long>(pos + kHeaderBytes),
                           buffer.begin() + static_cast<long>(pos + length));
    pos += length;
  }
  buffer.erase(buffer.begin(), buffer.begin() + static_cast<long>(at));
  return TakeResult::Message;
}

std::vector<uint8_t> framePackets(uint8_t type, const std::vector<uint8_t>& payload, size_t packetSize) {
  size_t room = std::max<size_t>(packetSize, 512) - kHeaderBytes;
  std::vector<uint8_t> out;
  size_t pos = 0;
  uint8_t id = 1;
  do {
    size_t chunk = std::min(room, payload.size() - pos);
    bool last = pos + chunk == payload.size();
    size_t length = chunk + kHeaderBytes;
    uint8_t header[kHeaderBytes] = {type,
                                    static_cast<uint8_t>(last ? kEndOfMessage : 0),
                                    static_cast<uint8_t>(length >> 8),
                                    static_cast<uint8_t>(length),
                                    0,
                                    0,
                                    id++,
                                    0};
    out.insert(out.end(), header, header + kHeaderBytes);
    out.insert(out.end(), payload.begin() + static_cast<long>(pos), payload.begin() + static_cast<long>(pos + chunk));
    pos += chunk;
  } while (pos < payload.size());
  return out;
}

}  // namespace sqlstandin

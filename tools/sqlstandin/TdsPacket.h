#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sqlstandin {

// Message types of the packet header that the stand-in handles.
enum TdsType : uint8_t {
  kTdsSqlBatch = 0x01,
  kTdsRpc = 0x03,
  kTdsReply = 0x04,
  kTdsAttention = 0x06,
  kTdsLogin7 = 0x10,
  kTdsPreLogin = 0x12,
};

struct TdsMessage {
  uint8_t type = 0;
  std::vector<uint8_t> payload;
};

enum class TakeResult { NeedMore, Message, Malformed };

// Joins the packets of one message from the front of `buffer`, removing
// them. Bytes come from an untrusted peer: a header with an impossible
// length, a type change inside a message or a message beyond the size
// limit is Malformed, and the connection is then dropped.
TakeResult takeMessage(std::vector<uint8_t>& buffer, TdsMessage& message);

// Splits a reply into packets of at most `packetSize` bytes.
std::vector<uint8_t> framePackets(uint8_t type, const std::vector<uint8_t>& payload, size_t packetSize);

constexpr size_t kMaxMessageBytes = 16 * 1024 * 1024;

}  // namespace sqlstandin

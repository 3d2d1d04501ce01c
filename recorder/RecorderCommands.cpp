#include "RecorderCommands.h"

namespace qorv::recorder {
namespace {

std::string Frame(const std::string& body) {
  std::string frame;
  frame.reserve(body.size() + 2);
  frame += static_cast<char>(kCommandStart);
  frame += body;
  frame += static_cast<char>(kCommandEnd);
  return frame;
}

}  // namespace

std::string LineDigits(signed char line) { return std::to_string(static_cast<unsigned char>(line)); }

std::string ConnectFrame(signed char line) { return Frame("R" + LineDigits(line) + "OF"); }

std::string DisconnectFrame(signed char line) { return Frame("R" + LineDigits(line) + "ON"); }

std::string StartRecordFrame(signed char line) { return Frame("L" + LineDigits(line) + "CO"); }

std::string StopRecordFrame() { return Frame("L9CO"); }

std::string ProtocolFrame(TProtocolSelector selector) {
  std::string body = "prt";
  body += static_cast<char>(selector);
  body += 'l';
  return Frame(body);
}

std::string SetStatusFrame() { return Frame("RqST"); }

std::string ReadTimeFrame() { return Frame("Rb"); }

}  // namespace qorv::recorder

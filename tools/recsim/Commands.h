// The simulator's command language, one command per line ('#' starts a
// comment line):
//   callerid L1 09121234567   caller-ID line for line 1 (also "callerid 1 ...")
//   line any text             a text line
//   tone HZ MS                audio lines of a sine tone
//   wav FILE                  audio lines of an 8-bit 8 kHz mono WAV file
//   hex FC 41 0d              raw bytes
//   clock [YYYY/MM/DD HH:MM:SS]  a clock reply (now when no time is given)
//   sleep MS                  pause
//   quit                      end
#pragma once

#include <string>

namespace recsim {

struct Action {
  std::string Bytes;  // to send to the control
  unsigned SleepMs = 0;
  bool Quit = false;
};

// False with a message for an unknown command or bad arguments.
bool ParseCommand(const std::string& line, Action* action, std::string* error);

}  // namespace recsim

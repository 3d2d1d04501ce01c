// Call counts per operation and the faults a test has armed, after SQLite's
// test VFS: the nth call of an operation from the moment of arming fails once,
// or fails and keeps failing.
#pragma once

#include <array>
#include <cstddef>

#include "substitutedevice.h"

namespace qorv::platform {

class FaultPlan {
 public:
  // Counts one call of `op`; returns the error it must fail with, or 0.
  DWORD Count(SubstituteOp op);
  void Arm(SubstituteOp op, DWORD nth, DWORD error, bool persistent);
  void Clear();
  DWORD Calls(SubstituteOp op) const { return calls_[Index(op)]; }
  DWORD Injected() const { return injected_; }

 private:
  struct Fault {
    DWORD CallsLeft = 0;  // 0: not armed
    DWORD Error = 0;
    bool Persistent = false;
    bool Tripped = false;
  };
  static std::size_t Index(SubstituteOp op) { return static_cast<std::size_t>(op); }

  static constexpr std::size_t kOps = static_cast<std::size_t>(SubstituteOp::Count);
  std::array<DWORD, kOps> calls_{};
  std::array<Fault, kOps> faults_{};
  DWORD injected_ = 0;
};

}  // namespace qorv::platform

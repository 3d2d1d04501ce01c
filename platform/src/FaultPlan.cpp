#include "FaultPlan.h"

namespace qorv::platform {

DWORD FaultPlan::Count(SubstituteOp op) {
  auto index = Index(op);
  ++calls_[index];
  Fault& fault = faults_[index];
  if (fault.Tripped) {
    ++injected_;
    return fault.Error;
  }
  if (fault.CallsLeft == 0) return 0;
  if (--fault.CallsLeft > 0) return 0;
  fault.Tripped = fault.Persistent;
  ++injected_;
  return fault.Error;
}

void FaultPlan::Arm(SubstituteOp op, DWORD nth, DWORD error, bool persistent) {
  faults_[Index(op)] = Fault{nth, error, persistent, false};
}

void FaultPlan::Clear() { faults_ = {}; }

}  // namespace qorv::platform

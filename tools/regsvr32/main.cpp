// regsvr32 [/u] [/s] PATH: registers (or unregisters) an in-process server.
#include "Registration.h"
#include "Report.h"

int main(int argc, char** argv) {
  using namespace qorv::regsvr32;
  Request request;
  Outcome outcome = ParseArguments(argc, argv, request);
  if (outcome.Status == kSucceeded) outcome = Register(request);
  Report(outcome, request.Silent);
  return outcome.Status;
}

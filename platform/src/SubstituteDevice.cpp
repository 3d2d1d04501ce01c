// The test-facing substitute device and the registry of devices by name that
// OpenCommDevice consults.
#include "substitutedevice.h"

#include <map>
#include <mutex>

#include "SubstitutePort.h"
#include "SubstituteRegistry.h"

namespace qorv::platform {

namespace {

struct Registry {
  std::mutex lock;
  std::map<std::string, std::weak_ptr<SubstitutePort>> ports;
};

Registry& Devices() {
  static auto* registry = new Registry;
  return *registry;
}

}  // namespace

std::shared_ptr<SubstitutePort> FindSubstitutePort(const std::string& name) {
  auto& registry = Devices();
  std::lock_guard guard(registry.lock);
  auto it = registry.ports.find(name);
  return it == registry.ports.end() ? nullptr : it->second.lock();
}

std::shared_ptr<SubstituteDevice> SubstituteDevice::Create(const std::string& name) {
  std::shared_ptr<SubstituteDevice> device(new SubstituteDevice(name));
  auto& registry = Devices();
  std::lock_guard guard(registry.lock);
  registry.ports[name] = device->port_;
  return device;
}

SubstituteDevice::SubstituteDevice(std::string name)
    : name_(std::move(name)), port_(std::make_shared<SubstitutePort>()) {}

SubstituteDevice::~SubstituteDevice() {
  auto& registry = Devices();
  std::lock_guard guard(registry.lock);
  auto it = registry.ports.find(name_);
  if (it != registry.ports.end() && it->second.lock() == port_) registry.ports.erase(it);
}

void SubstituteDevice::QueueInput(const std::vector<std::uint8_t>& bytes) {
  port_->QueueInput(bytes.data(), bytes.size());
}
void SubstituteDevice::QueueInput(const std::string& bytes) {
  port_->QueueInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}
void SubstituteDevice::RaiseLineErrors(DWORD ceFlags) { port_->RaiseLineErrors(ceFlags); }
void SubstituteDevice::SetModemLines(DWORD modemStatus) { port_->SetModemLines(modemStatus); }
void SubstituteDevice::Unplug() { port_->Unplug(); }
void SubstituteDevice::SetAcceptRingTrailingEdge(bool accept) { port_->SetAcceptRingTrailingEdge(accept); }
void SubstituteDevice::SetWriteMode(SubstituteWriteMode mode, DWORD failError) { port_->SetWriteMode(mode, failError); }
bool SubstituteDevice::CompleteNextWrite(DWORD count) { return port_->CompleteNextWrite(count); }
bool SubstituteDevice::FailNextWrite(DWORD error) { return port_->FailNextWrite(error); }
void SubstituteDevice::RetryPendingWrites() { port_->RetryPendingWrites(); }
std::size_t SubstituteDevice::PendingWrites() const { return port_->PendingWrites(); }
std::vector<std::uint8_t> SubstituteDevice::Written() const { return port_->Written(); }
bool SubstituteDevice::WaitForWritten(std::size_t count, std::chrono::milliseconds bound) {
  return port_->WaitForWritten(count, bound);
}
bool SubstituteDevice::WaitForPendingWrites(std::size_t count, std::chrono::milliseconds bound) {
  return port_->WaitForPendingWrites(count, bound);
}
std::vector<std::string> SubstituteDevice::LineLog() const { return port_->LineLog(); }
DCB SubstituteDevice::State() const { return port_->State(); }
bool SubstituteDevice::DtrOn() const { return port_->DtrOn(); }
bool SubstituteDevice::RtsOn() const { return port_->RtsOn(); }
bool SubstituteDevice::BreakOn() const { return port_->BreakOn(); }
bool SubstituteDevice::IsOpen() const { return port_->IsOpen(); }
DWORD SubstituteDevice::Calls(SubstituteOp op) const { return port_->Calls(op); }
void SubstituteDevice::FailCall(SubstituteOp op, DWORD nth, DWORD error, bool persistent) {
  port_->FailCall(op, nth, error, persistent);
}
void SubstituteDevice::ClearFaults() { port_->ClearFaults(); }
DWORD SubstituteDevice::InjectedFaults() const { return port_->InjectedFaults(); }

}  // namespace qorv::platform

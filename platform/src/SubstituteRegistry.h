// The platform's side of the substitute devices: finding one by its name.
#pragma once

#include <memory>
#include <string>

namespace qorv::platform {

class SubstitutePort;

// The port of the live device registered under `name`, or null.
std::shared_ptr<SubstitutePort> FindSubstitutePort(const std::string& name);

}  // namespace qorv::platform

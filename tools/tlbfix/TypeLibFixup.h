// Rewrites a compiled type library (the "MSFT" format that widl writes and
// LoadTypeLib reads) into the form the control's library must have where widl
// cannot express it: the order of the type descriptions, a version on a
// dispinterface, help strings on enum constants, constants typed VT_I4, and
// no custom data. widl orders type descriptions by declaration and first use,
// refuses version() on a dispinterface and helpstring() on an enum constant,
// types enum constants VT_INT, and always adds its own custom data entries.
//
// The input is checked before anything is changed: every offset and count
// used is within the file, and a name the plan mentions must exist. A bad
// input raises TypeLibFixupError and produces nothing.
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace qorv::tlbfix {

struct TypeLibFixupError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct TypeVersion {
  std::string Name;
  std::uint16_t Major = 0;
  std::uint16_t Minor = 0;
};

struct TypeLibFixupPlan {
  // Every type description's name, in the order they must stand; empty keeps
  // the order. References between descriptions follow them.
  std::vector<std::string> Order;
  std::vector<TypeVersion> Versions;
  // Each enum constant gets its own name as help string.
  bool EnumConstantHelpStrings = false;
  // Enum constants typed VT_INT become VT_I4.
  bool EnumConstantsI4 = false;
  // Drops the library's and every description's custom data.
  bool StripCustomData = false;
};

std::vector<std::uint8_t> FixTypeLib(std::span<const std::uint8_t> input, const TypeLibFixupPlan& plan);

}  // namespace qorv::tlbfix

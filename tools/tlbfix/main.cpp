// Rewrites a type library compiled by widl into the form the control's
// library must have (see TypeLibFixup.h).
//
//   tlbfix [--order NAME,NAME,...] [--version NAME=MAJOR.MINOR]...
//          [--enum-help-strings] [--enum-i4] [--strip-custom-data] INPUT OUTPUT
//
// The output is written to a temporary file and renamed, so a failed run
// leaves no partial library.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "TypeLibFixup.h"

namespace {

using qorv::tlbfix::TypeLibFixupError;
using qorv::tlbfix::TypeLibFixupPlan;
using qorv::tlbfix::TypeVersion;

std::vector<std::string> SplitNames(const std::string& list) {
  std::vector<std::string> names;
  std::stringstream in(list);
  for (std::string name; std::getline(in, name, ',');) {
    if (name.empty()) throw TypeLibFixupError("an empty name in --order");
    names.push_back(name);
  }
  return names;
}

std::uint16_t VersionPart(const std::string& text) {
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos) {
    throw TypeLibFixupError("bad version number '" + text + "'");
  }
  unsigned long value = std::stoul(text);
  if (value > 0xFFFF) throw TypeLibFixupError("version number " + text + " is too large");
  return static_cast<std::uint16_t>(value);
}

TypeVersion ParseVersion(const std::string& spec) {
  auto equals = spec.find('=');
  auto dot = spec.find('.', equals == std::string::npos ? 0 : equals);
  if (equals == std::string::npos || equals == 0 || dot == std::string::npos) {
    throw TypeLibFixupError("--version wants NAME=MAJOR.MINOR, not '" + spec + "'");
  }
  return TypeVersion{spec.substr(0, equals), VersionPart(spec.substr(equals + 1, dot - equals - 1)),
                     VersionPart(spec.substr(dot + 1))};
}

std::vector<std::uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw TypeLibFixupError("cannot open " + path);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
      std::remove(temporary.c_str());
      throw TypeLibFixupError("cannot write " + temporary);
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    throw TypeLibFixupError("cannot rename " + temporary + " to " + path);
  }
}

int Run(int argc, char** argv) {
  TypeLibFixupPlan plan;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    bool hasValue = i + 1 < argc;
    if (arg == "--order" && hasValue) {
      plan.Order = SplitNames(argv[++i]);
    } else if (arg == "--version" && hasValue) {
      plan.Versions.push_back(ParseVersion(argv[++i]));
    } else if (arg == "--enum-help-strings") {
      plan.EnumConstantHelpStrings = true;
    } else if (arg == "--enum-i4") {
      plan.EnumConstantsI4 = true;
    } else if (arg == "--strip-custom-data") {
      plan.StripCustomData = true;
    } else if (arg.starts_with("--")) {
      throw TypeLibFixupError("unknown or incomplete option " + arg);
    } else {
      files.push_back(arg);
    }
  }
  if (files.size() != 2) throw TypeLibFixupError("usage: tlbfix [options] INPUT OUTPUT");
  WriteAll(files[1], qorv::tlbfix::FixTypeLib(ReadAll(files[0]), plan));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const TypeLibFixupError& e) {
    std::cerr << "tlbfix: " << e.what() << "\n";
  } catch (const std::exception& e) {
    std::cerr << "tlbfix: " << e.what() << "\n";
  }
  return 1;
}

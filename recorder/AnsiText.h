// Texts kept in the sources as UTF-8 and used at run time in the system's
// ANSI code page (CP_ACP, 1256 unless the system root says otherwise).
#pragma once

#include <string>
#include <string_view>

namespace qorv::recorder {

// Characters the ANSI code page lacks become '?', as WideCharToMultiByte does.
std::string AnsiFromUtf8(std::string_view utf8);

}  // namespace qorv::recorder

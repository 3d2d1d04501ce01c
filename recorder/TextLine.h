// Text lines from the recorder: the filter that makes `QorEvent` and the
// caller-ID form "L<d>:CallerID:<number>".
#pragma once

#include <optional>
#include <string>

namespace qorv::recorder {

// Keeps only blank, '#', '*', ',', '.', '/', digits, ':', ';', '=' and ASCII
// letters; every other byte is dropped.
std::string FilterTextLine(const std::string& raw);

// For a filtered line "L<d>:CallerID:<number>[ <anything>]" with d from 1 to 9:
// "L" + d + number, the number ending at the first blank or at the end of the
// line (empty when nothing follows the second colon). Nothing for other lines.
std::optional<std::string> CallerIdFromLine(const std::string& filtered);

}  // namespace qorv::recorder

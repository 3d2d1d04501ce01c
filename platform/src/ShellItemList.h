// The item lists the shell hands out for folders: one item holding the
// folder's Windows path behind a tag, then the empty item that ends every
// list. Lists are task memory (CoTaskMemAlloc), freed by the caller.
#pragma once

#include <optional>
#include <string>

#include "shlobj.h"

namespace qorv::platform {

// Null when out of memory or the path is too long for one item.
LPITEMIDLIST MakePathItemList(const std::string& windowsPath);
// The path of a list made by MakePathItemList; nothing for any other list.
std::optional<std::string> PathOfItemList(LPCITEMIDLIST list);

}  // namespace qorv::platform

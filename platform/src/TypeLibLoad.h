// Loading type libraries from files and modules (TypeLibLoad.cpp), shared by
// LoadTypeLib, LoadRegTypeLib and the libraries that follow their imports.
#pragma once

#include <cstddef>
#include <span>
#include <string>

#include "oaidl.h"

namespace qorv::platform::typelib {

// A path of the platform's 8-bit form: a Linux path (starting with '/') in
// UTF-8, else a Windows path in the ANSI code page. A .tlb file or a module
// with resource "TYPELIB" 1; "\N" after a module's path names resource N.
HRESULT LoadFromPath(const std::string& path, ITypeLib** out);
// A library held in memory; `path` is what the library reports as its origin.
HRESULT LoadFromMemory(std::span<const std::byte> bytes, const std::string& path, ITypeLib** out);

// The 8-bit form of a wide path, as LoadFromPath takes it.
std::string NarrowPath(LPCOLESTR path);
// A wide text from an 8-bit one in the ANSI code page.
std::u16string WidenAnsi(const std::string& text);

// The folder part of a path of either form ("" when it has none).
std::string FolderOf(const std::string& path);

}  // namespace qorv::platform::typelib

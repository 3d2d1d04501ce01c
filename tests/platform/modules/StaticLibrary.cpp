// A static library with resources and one function, linked into platform_tests.
#include "fileapi.h"

HMODULE QorvTestStaticLibraryModule() { return qorv::platform::ModuleFromAddress(&QorvTestStaticLibraryModule); }

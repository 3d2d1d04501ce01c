// The framework's run-time basics in one include: exceptions, text formatting
// and text-to-integer conversion.
#pragma once

#include "Exceptions.h"
#include "Format.h"
#include "StrToInt.h"

// How the trace file and the dispatch log show one byte.
#pragma once

#include <string>

#include "wintypes.h"

// A printable byte (0x20 to 0x7E; from 0x21 with inHex, so a blank shows as
// [20]) as itself; any other byte in brackets, in upper-case hexadecimal with
// inHex, else in decimal. With allHex every byte is in hexadecimal brackets.
// The item's width is its length.
std::string RenderByteItem(BYTE value, bool inHex, bool allHex);

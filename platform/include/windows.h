// The platform's Windows-like services, in one include as the SDK offers them.
#pragma once

#include "codepage.h"
#include "commapi.h"
#include "fileapi.h"
#include "resource.h"
#include "synch.h"
#include "timing.h"
#include "winerror.h"
#include "wintypes.h"
#include "winuser.h"

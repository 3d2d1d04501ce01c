// The platform's Windows-like services, in one include as the SDK offers them.
#pragma once

#include "codepage.h"
#include "commapi.h"
#include "fileapi.h"
#include "globalmem.h"
#include "resource.h"
#include "synch.h"
#include "timing.h"
#include "winerror.h"
#include "winreg.h"
#include "wintypes.h"
#include "winuser.h"

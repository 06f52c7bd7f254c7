#pragma once
// The one gateway to the Windows headers: every Windows platform file includes this
// instead of <windows.h>.

#ifndef _WIN32
#error "windows_api_win.h belongs to the Windows build only"
#endif

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
// Windows 7 and later; MinGW's default is older.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0601

#include <windows.h>

// Dots per inch of a window and the sizes that follow from them. The
// per-monitor functions exist from Windows 10 (1607) on; they are looked up
// at run time so that the program still starts on older systems, which get
// the system's one dpi.
#pragma once

#include "ComPort.h"  // windows.h

// The dpi every layout value of the window is given at.
constexpr UINT cDesignDpi = 96;

UINT WindowDpi(HWND Window);
// A length in pixels at cDesignDpi as pixels at Dpi.
int Scaled(int Pixels, UINT Dpi);
// The outer size of a window whose client area is Width x Height at Dpi.
SIZE WindowSizeForClient(int Width, int Height, DWORD Style, DWORD ExStyle, UINT Dpi);

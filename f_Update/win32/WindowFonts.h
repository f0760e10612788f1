// The window's fonts at one dpi: the window's own and the larger ones of the
// control table, in the first face of cFontFamilies that the system has.
#pragma once

#include <map>
#include <string>

#include "ComPort.h"  // windows.h
#include "GdiObject.h"

class TWindowFonts {
 public:
  TWindowFonts() = default;
  explicit TWindowFonts(UINT Dpi);

  // The font of a control whose table entry gives Pixels (0: the window's).
  HFONT For(int Pixels) const;
  const std::wstring& Face() const { return FFace; }

 private:
  std::wstring FFace;
  std::map<int, TGdiObject> FByPixels;
};

// The face the window's text uses at Dpi.
std::wstring WindowFontFace(UINT Dpi);

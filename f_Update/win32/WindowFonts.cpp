#include "WindowFonts.h"

#include <cwchar>

#include "Dpi.h"
#include "FormTable.h"
#include "WideText.h"

namespace {

struct TFaceFound {
  bool Present = false;
  bool Scalable = false;
};

int CALLBACK NoteFace(const LOGFONTW*, const TEXTMETRICW*, DWORD FontType, LPARAM Found) {
  auto& Face = *reinterpret_cast<TFaceFound*>(Found);
  Face.Present = true;
  if ((FontType & RASTER_FONTTYPE) == 0) Face.Scalable = true;
  return 1;
}

TFaceFound FindFace(HDC Dc, const std::wstring& Face) {
  LOGFONTW Wanted{};
  Wanted.lfCharSet = DEFAULT_CHARSET;
  wcsncpy(Wanted.lfFaceName, Face.c_str(), LF_FACESIZE - 1);
  TFaceFound Found;
  ::EnumFontFamiliesExW(Dc, &Wanted, NoteFace, reinterpret_cast<LPARAM>(&Found), 0);
  return Found;
}

// The face of the system's GUI font, which every system has.
std::wstring GuiFontFace() {
  LOGFONTW Gui{};
  if (::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof Gui, &Gui) == 0) return L"MS Shell Dlg";
  return Gui.lfFaceName;
}

TGdiObject MakeFont(const std::wstring& Face, int Pixels, UINT Dpi) {
  LOGFONTW Font{};
  Font.lfHeight = -Scaled(Pixels, Dpi);  // negative: the character height, not the cell's
  Font.lfWeight = FW_NORMAL;
  Font.lfCharSet = DEFAULT_CHARSET;
  Font.lfQuality = DEFAULT_QUALITY;
  wcsncpy(Font.lfFaceName, Face.c_str(), LF_FACESIZE - 1);
  return TGdiObject(::CreateFontIndirectW(&Font));
}

}  // namespace

std::wstring WindowFontFace(UINT Dpi) {
  const HDC Screen = ::GetDC(nullptr);
  std::wstring Chosen;
  for (const char* Family : cFontFamilies) {
    const std::wstring Face = WideOfUtf8(Family);
    const TFaceFound Found = FindFace(Screen, Face);
    // A bitmap face has the sizes of 96 dpi only; at any other dpi it would
    // not grow with the layout.
    if (Found.Present && (Found.Scalable || Dpi == cDesignDpi)) {
      Chosen = Face;
      break;
    }
  }
  if (Screen != nullptr) ::ReleaseDC(nullptr, Screen);
  return Chosen.empty() ? GuiFontFace() : Chosen;
}

TWindowFonts::TWindowFonts(UINT Dpi) : FFace(WindowFontFace(Dpi)) {
  FByPixels.emplace(cWindowFontPixels, MakeFont(FFace, cWindowFontPixels, Dpi));
  for (const TControlRow& Row : cFormControls)
    if (Row.FontPixels != 0 && FByPixels.count(Row.FontPixels) == 0)
      FByPixels.emplace(Row.FontPixels, MakeFont(FFace, Row.FontPixels, Dpi));
}

HFONT TWindowFonts::For(int Pixels) const {
  const auto Found = FByPixels.find(Pixels != 0 ? Pixels : cWindowFontPixels);
  return Found != FByPixels.end() ? Found->second.Font() : nullptr;
}

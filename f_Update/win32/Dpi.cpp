#include "Dpi.h"

namespace {

using TGetDpiForWindow = UINT(WINAPI*)(HWND);
using TAdjustWindowRectExForDpi = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);

template <typename TFunction>
TFunction User32Function(const char* Name) {
  const HMODULE User32 = ::GetModuleHandleW(L"user32.dll");
  if (User32 == nullptr) return nullptr;
  // Through void*: a FARPROC is a pointer to some function type or other.
  return reinterpret_cast<TFunction>(reinterpret_cast<void*>(::GetProcAddress(User32, Name)));
}

UINT ScreenDpi() {
  const HDC Screen = ::GetDC(nullptr);
  if (Screen == nullptr) return cDesignDpi;
  const int Dpi = ::GetDeviceCaps(Screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, Screen);
  return Dpi > 0 ? static_cast<UINT>(Dpi) : cDesignDpi;
}

}  // namespace

UINT WindowDpi(HWND Window) {
  static const auto GetDpiForWindow = User32Function<TGetDpiForWindow>("GetDpiForWindow");
  if (GetDpiForWindow != nullptr && Window != nullptr) {
    const UINT Dpi = GetDpiForWindow(Window);
    if (Dpi != 0) return Dpi;
  }
  return ScreenDpi();
}

int Scaled(int Pixels, UINT Dpi) {
  return ::MulDiv(Pixels, static_cast<int>(Dpi), static_cast<int>(cDesignDpi));
}

SIZE WindowSizeForClient(int Width, int Height, DWORD Style, DWORD ExStyle, UINT Dpi) {
  static const auto AdjustForDpi = User32Function<TAdjustWindowRectExForDpi>("AdjustWindowRectExForDpi");
  RECT Frame{0, 0, Width, Height};
  if (AdjustForDpi == nullptr || !AdjustForDpi(&Frame, Style, FALSE, ExStyle, Dpi))
    ::AdjustWindowRectEx(&Frame, Style, FALSE, ExStyle);
  return SIZE{Frame.right - Frame.left, Frame.bottom - Frame.top};
}

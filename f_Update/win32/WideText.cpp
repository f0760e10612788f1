#include "WideText.h"

#include <vector>

std::string WindowTextUtf8(HWND Window) {
  const int Length = ::GetWindowTextLengthW(Window);
  if (Length <= 0) return {};
  // One more for the terminating NUL that GetWindowTextW always writes.
  std::vector<wchar_t> Text(static_cast<std::size_t>(Length) + 1, L'\0');
  ::GetWindowTextW(Window, Text.data(), static_cast<int>(Text.size()));
  return Utf8OfWide(Text.data());
}

void SetWindowTextUtf8(HWND Window, const std::string& Text) {
  ::SetWindowTextW(Window, WideOfUtf8(Text).c_str());
}

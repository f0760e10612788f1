// Owns one GDI object (a font, a brush) and deletes it when it goes.
#pragma once

#include <utility>

#include "ComPort.h"  // windows.h

class TGdiObject {
 public:
  TGdiObject() = default;
  explicit TGdiObject(HGDIOBJ Object) : FObject(Object) {}
  ~TGdiObject() { Reset(); }
  TGdiObject(TGdiObject&& Other) noexcept : FObject(std::exchange(Other.FObject, nullptr)) {}
  TGdiObject& operator=(TGdiObject&& Other) noexcept {
    if (this != &Other) {
      Reset();
      FObject = std::exchange(Other.FObject, nullptr);
    }
    return *this;
  }
  TGdiObject(const TGdiObject&) = delete;
  TGdiObject& operator=(const TGdiObject&) = delete;

  HFONT Font() const { return static_cast<HFONT>(FObject); }
  HBRUSH Brush() const { return static_cast<HBRUSH>(FObject); }

 private:
  void Reset() {
    if (FObject != nullptr) ::DeleteObject(FObject);
    FObject = nullptr;
  }
  HGDIOBJ FObject = nullptr;
};

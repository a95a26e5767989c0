// The program writes its geometry for a screen of 96 DPI; the engine draws at
// the DPI of the monitor the window is on. Every size crosses between the two
// here: the program's numbers go in and come back out at 96 DPI, whatever the
// screen, and everything the engine draws itself is sized through the same
// factor.
#pragma once

#include <windows.h>

namespace tw::engine {

class Dpi {
 public:
  static constexpr UINT kBase = 96;

  explicit Dpi(UINT dpi = kBase) : dpi_(dpi > 0 ? dpi : kBase) {}
  UINT Value() const { return dpi_; }
  bool operator==(const Dpi&) const = default;

  // Pixels at 96 DPI to pixels at this DPI, rounded to the nearest.
  int Px(int base) const { return MulDiv(base, static_cast<int>(dpi_), kBase); }
  // And back, for what the program reads: a value that went through Px comes
  // back unchanged at any DPI of 96 or more.
  int Base(int pixels) const { return MulDiv(pixels, kBase, static_cast<int>(dpi_)); }

  // A rectangle given at 96 DPI. Its edges are scaled, not its size, so that
  // controls that touch at 96 DPI touch at every DPI.
  RECT Place(int left, int top, int width, int height) const {
    return RECT{Px(left), Px(top), Px(left + width), Px(top + height)};
  }

 private:
  UINT dpi_;
};

}  // namespace tw::engine

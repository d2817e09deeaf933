#pragma once
// The eight board symmetries and colour inversion. A symmetry code has four bits, applied to a
// point in this order: bit 0 swaps x and y, bit 1 mirrors x (x := w-1-x), bit 2 mirrors y
// (y := h-1-y), bit 3 swaps the colours.

#include <cstdint>

#include "board/PointTypes.h"

namespace kessaro {

using TSymmetry = std::uint8_t;
constexpr TSymmetry kSymSwapXY = 1;
constexpr TSymmetry kSymMirrorX = 2;
constexpr TSymmetry kSymMirrorY = 4;
constexpr TSymmetry kSymColours = 8;

// The code that applies a first and then b.
TSymmetry ComposeSymmetry(TSymmetry a, TSymmetry b);
TSymmetry InverseSymmetry(TSymmetry a);
// Turns something already transformed by `from` into the same thing transformed by `to`.
TSymmetry RelativeSymmetry(TSymmetry from, TSymmetry to);
TSymmetry SymmetryThenInverse(TSymmetry f, TSymmetry a);

// Geometric part (bits 0-2) of a code applied to (x, y) in a w x h region.
void TransformXY(int& x, int& y, TSymmetry code, int w, int h);

// Move word transform: bit 3 toggles the colour (even of a pass); a point outside the w x h
// region is left alone; all other bits are kept.
TMoveWord TransformMove(TMoveWord move, TSymmetry code, int w, int h);
TMoveWord TransformMoveWord(TMoveWord move, TSymmetry code, TRegionWord region);
// A point held as two bytes (x low, y high) on an n x n square; no colour.
std::uint16_t TransformBytePoint(std::uint16_t point, TSymmetry code, int n);

// In place, bits 0-2 only; codes with bit 0 are meant for square matrices.
void TransformMatrix(TMatrix& matrix, TSymmetry code, int w, int h);

// Mask of the region's codes under which the position is unchanged.
std::uint8_t SymmetryMask(const TMatrix& matrix, TRegionWord region);

// The triangular sectors of an n x n square that contain (x, y).
std::uint8_t Octants(int x, int y, int n);

}  // namespace kessaro

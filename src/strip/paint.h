// The strip's picture: a band of two gradient bars under the first text
// line, then the status line and the path line.
#pragma once

#include <windows.h>

// Dimming factors out of 256 for one frame, taken from the flicker seed.
struct FlickerFactors {
    int leftBar;
    int rightBar;
    int text;
};

FlickerFactors FlickerFactorsFor(int seed);

// Each channel x becomes floor(x * factor / 256), with no carry between channels.
COLORREF DimColor(COLORREF color, int factor);

void UpdateLayout(HWND window);
void PaintStrip(HWND window);
int FillGradientRect(HDC dc, int left, int top, int right, int bottom, COLORREF topColor, COLORREF bottomColor);

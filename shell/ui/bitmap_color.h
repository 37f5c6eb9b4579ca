// Recolouring a key colour of a bitmap, as menu bitmaps get the colour of
// the buttons they are shown on.
#pragma once

#include "win/gdi.h"

// Every pixel of old_color becomes new_color (both RGB, red in the low
// byte). 1 for a 24-bit DIB section with pixel memory, else 0 and the
// bitmap unchanged.
int ReplaceBitmapColor(HBITMAP bitmap, COLORREF old_color, COLORREF new_color);

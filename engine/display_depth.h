#pragma once
// The display's bits per pixel as the application read it at start-up (24 until then).
// The decoder's output format and the stretch mode depend on it.
int DisplayDepth();
void SetDisplayDepth(int bits_per_pixel);

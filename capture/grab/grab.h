// Taking the capture: the picked rectangle of the frozen picture becomes
// gImage, the capture sound plays and the image is brought into the
// default colour mode.
#pragma once
#include <windows.h>

// Empties the current image and builds it from the inclusive rectangle sel
// of picture (a DC holding the frozen virtual screen, in overlay
// coordinates), plays the capture sound and converts to the default colour
// mode. True when gImage is valid afterwards.
bool GrabSelection(HDC picture, const RECT& sel);

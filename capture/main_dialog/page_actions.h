// The Actions page (106): the action buttons with their icons, the preview
// of the current image and its size and colour mode.
#pragma once
#include <windows.h>

// Redraws the Actions page's preview and its texts (size, colour mode).
// The page listens with it for every change of gImage or the colour mode
// (AddImageListener) while it exists.
void RefreshImageViews();
// The picture rectangle of the preview: an image of w x h pixels fitted
// into an area of areaW x areaH keeping its aspect ratio, centred. Empty
// when either size is not positive.
RECT FitPreview(int w, int h, int areaW, int areaH);

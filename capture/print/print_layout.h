// Where the picture goes on the printed page: margins against the
// printer's unprintable border, the picture's size (screen size, fit page,
// zoom, no clipping) and its position on a 3 x 3 grid. Platform-neutral;
// printer pixels as doubles, margins in centimetres.
#pragma once

// What the printer DC reports (GetDeviceCaps).
struct PrintDevice {
    int dpiX, dpiY;        // LOGPIXELSX, LOGPIXELSY
    int offX, offY;        // PHYSICALOFFSETX, PHYSICALOFFSETY: left and top unprintable border
    int physW, physH;      // PHYSICALWIDTH, PHYSICALHEIGHT: the whole sheet
    int horzRes, vertRes;  // HORZRES, VERTRES: the printable part
};

struct PrintMargins {
    float left, top, right, bottom;  // cm
};

// A rectangle in printable-area coordinates (origin at the printable
// area's top left, as the printer DC draws).
struct PrintRect {
    double left, top, width, height;
};

// Raises every margin smaller than the unprintable border on its side to
// that border (the margin in cm is updated, so the stored option grows to
// what the printer can print) and gives the area inside the margins.
// False when the margins leave no area on the sheet.
bool LayoutPrintArea(const PrintDevice& dev, PrintMargins* margins, PrintRect* area);

// The picture's size on paper in cm at screen size: with a monitor row
// (rowW, rowH cm of a monitor screenW x screenH pixels) the image's share
// of it; without one (rowW or rowH not above 0) at monDpi pixels per inch.
void ScreenSizeCm(int imageW, int imageH, float rowW, float rowH, int screenW, int screenH, int monDpi, double* wCm,
                  double* hCm);

// gOpt.PrtSize.
enum : int { kPrintScreenSize = 0, kPrintFitPage = 1, kPrintZoom = 2 };

// Applies the size mode (fit page keeps the aspect ratio; zoom in percent)
// and, with noClip, shrinks the picture into the area keeping its aspect.
void FitPicture(const PrintRect& area, int sizeMode, int zoom, bool noClip, double* pw, double* ph);

// The picture's top left for position 0..8 (rows of three from the top
// left; anything else reads as 0).
void PlacePicture(const PrintRect& area, int position, double pw, double ph, double* x, double* y);

// The factor of the header font's screen height on the printer.
double HeaderFontScale(int printerDpiY, int screenDpiY);

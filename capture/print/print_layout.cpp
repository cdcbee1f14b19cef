// Page layout of a printed image.
#include "capture/print/print_layout.h"

namespace {

const double kCmPerInch = 2.54;

// One margin in pixels, raised to the border; the cm value follows.
double MarginPixels(float* cm, int dpi, int border) {
    double px = *cm / kCmPerInch * dpi;
    if (px < border) {
        px = border;
        *cm = (float)(border * kCmPerInch / dpi);
    }
    return px;
}

}  // namespace

bool LayoutPrintArea(const PrintDevice& dev, PrintMargins* m, PrintRect* area) {
    if (dev.dpiX <= 0 || dev.dpiY <= 0)
        return false;
    // The right and bottom borders are what is left of the sheet after the
    // left or top border and the printable part.
    int rightBorder = dev.physW - dev.offX - dev.horzRes;
    int bottomBorder = dev.physH - dev.offY - dev.vertRes;
    if (rightBorder < 0)
        rightBorder = 0;
    if (bottomBorder < 0)
        bottomBorder = 0;
    double left = MarginPixels(&m->left, dev.dpiX, dev.offX);
    double right = MarginPixels(&m->right, dev.dpiX, rightBorder);
    double top = MarginPixels(&m->top, dev.dpiY, dev.offY);
    double bottom = MarginPixels(&m->bottom, dev.dpiY, bottomBorder);
    area->left = left - dev.offX;
    area->top = top - dev.offY;
    area->width = dev.physW - left - right;
    area->height = dev.physH - top - bottom;
    return area->width >= 1 && area->height >= 1;
}

void ScreenSizeCm(int imageW, int imageH, float rowW, float rowH, int screenW, int screenH, int monDpi, double* wCm,
                  double* hCm) {
    if (rowW > 0 && rowH > 0 && screenW > 0 && screenH > 0) {
        *wCm = (double)rowW * imageW / screenW;
        *hCm = (double)rowH * imageH / screenH;
    } else {
        int dpi = monDpi > 0 ? monDpi : 72;
        *wCm = (double)imageW / dpi * kCmPerInch;
        *hCm = (double)imageH / dpi * kCmPerInch;
    }
}

void FitPicture(const PrintRect& area, int sizeMode, int zoom, bool noClip, double* pw, double* ph) {
    if (*pw <= 0 || *ph <= 0)
        return;
    if (sizeMode == kPrintFitPage) {
        double fitH = *ph * area.width / *pw;
        if (fitH > area.height) {
            *pw = area.height / fitH * area.width;
            *ph = area.height;
        } else {
            *pw = area.width;
            *ph = fitH;
        }
    } else if (sizeMode == kPrintZoom) {
        *pw = *pw * zoom / 100;
        *ph = *ph * zoom / 100;
    }
    if (noClip) {
        if (area.width < *pw) {
            *ph = *ph * area.width / *pw;
            *pw = area.width;
        }
        if (area.height < *ph) {
            *pw = *pw * area.height / *ph;
            *ph = area.height;
        }
    }
}

void PlacePicture(const PrintRect& area, int position, double pw, double ph, double* x, double* y) {
    if (position < 0 || position > 8)
        position = 0;
    int column = position % 3, row = position / 3;
    *x = area.left + (area.width - pw) * column / 2;
    *y = area.top + (area.height - ph) * row / 2;
}

double HeaderFontScale(int printerDpiY, int screenDpiY) {
    if (screenDpiY <= 0)
        return 1;
    return (double)printerDpiY / screenDpiY;
}

// Image editor benchmark on a 3840 x 2160 capture (content inside a white
// border): auto crop, highlight of the whole image, colour-mode changes and
// one undo step, beside ImageMagick's -trim and -colors on the same image
// (its read time taken off). Best of three each.
#include <stdio.h>

#include <chrono>
#include <functional>
#include <string>

#include "capture/editor/auto_crop.h"
#include "capture/state/color_mode.h"
#include "capture/state/image_state.h"
#include "capture/state/options.h"
#include "capture/state/undo.h"
#include "peer_figures.h"
#include "support/test_support.h"

namespace {

using Clock = std::chrono::steady_clock;
const int kW = 3840, kH = 2160, kBorder = 100;

double Best(const std::function<void()>& before, const std::function<void()>& once) {
    double best = 1e9;
    for (int i = 0; i < 3; i++) {
        before();
        auto t0 = Clock::now();
        once();
        double t = std::chrono::duration<double>(Clock::now() - t0).count();
        best = t < best ? t : best;
    }
    return best;
}

void MakeCapture(CImage* img) {
    img->Create(kW, kH, 24, 0);
    for (int y = 0; y < kH; y++) {
        BYTE* row = img->GetRowPointer(y);
        for (int x = 0; x < kW; x++) {
            bool border = x < kBorder || y < kBorder || x >= kW - kBorder || y >= kH - kBorder;
            row[3 * x] = border ? 255 : (BYTE)(x * 3 + y);
            row[3 * x + 1] = border ? 255 : (BYTE)(x ^ y);
            row[3 * x + 2] = border ? 255 : (BYTE)(y * 5);
        }
    }
}

}  // namespace

int main() {
    std::string dir = MakeTestDir("editor_bench");
    CImage original;
    MakeCapture(&original);
    auto fresh = [&] {
        CopyImageInto(&gImage, original);
        gColorMode = kColorTrue;
        ClearUndo();
    };
    int l = 0, t = 0, r = 0, b = 0;
    double crop = Best(fresh, [&] {
        l = t = 0, r = kW, b = kH;
        AutoCropBounds(gImage, &l, &t, &r, &b);
    });
    auto freshPainting = [&] {
        fresh();
        gImage.BeginPaint(nullptr, 0, 0, kW - 1, kH - 1);
    };
    double highlight = Best(freshPainting, [&] { gImage.Highlight(kW / 2, kH / 2, kW / 2, kH / 2, 0.8f); });
    double to256 = Best(fresh, [&] { SetColorMode(kColor256); });
    double to16 = Best(fresh, [&] { SetColorMode(kColor16); });
    double toGrey = Best(fresh, [&] { SetColorMode(kColorGrey); });
    double toBw = Best(fresh, [&] { SetColorMode(kColorBlackWhite); });
    double undo = Best(fresh, [&] {
        PushUndoEvicting();
        UndoTo(-1);
    });
    fresh();
    std::string bmp = PathJoin(dir, "shot.bmp");
    gImage.Save(bmp.c_str(), 1 /* BMP */);
    double read = PeerSeconds(dir, "convert shot.bmp null:");
    double trim = PeerSeconds(dir, "convert shot.bmp -trim null:") - read;
    double colors = PeerSeconds(dir, "convert shot.bmp -colors 256 null:") - read;
    printf("editor on %d x %d (content inside a %d-pixel border, found at %d,%d-%d,%d)\n", kW, kH, kBorder, l, t, r, b);
    printf("  auto crop          %8.3f s   ImageMagick -trim       %8.3f s\n", crop, trim);
    printf("  highlight          %8.3f s\n", highlight);
    printf("  to 256 colours     %8.3f s   ImageMagick -colors 256 %8.3f s\n", to256, colors);
    printf("  to 16 colours      %8.3f s\n", to16);
    printf("  to grey            %8.3f s\n", toGrey);
    printf("  to black and white %8.3f s\n", toBw);
    printf("  undo push and step %8.3f s\n", undo);
    ClearUndo();
    return 0;
}

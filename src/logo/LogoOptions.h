#pragma once
// The logo tool's conversion options: one instance per opening of the tool, owned by the
// application context and passed by reference to the converter, the list and the pages.
#include <array>

#include "app/ModelRules.h"

namespace korva {

struct LogoOptions {
    static constexpr int kMaxImages = 255;
    static constexpr int kDefaultThreshold = 128;
    static constexpr int kDefaultNvGraphicsKB = 384;

    // "Black / White diverging point (0~255)": drives the tone adjustment of both conversions.
    int threshold = kDefaultThreshold;
    // "Max Printable Area" in dots (1..512 on the setup page): the target width for centring.
    int maxPrintableWidth = 512;
    // "Use Gray Printing": six-level gray instead of one-bit dots.
    bool grayPrinting = false;
    // "Use Star Emulation": ESC-prefixed upload and print commands; no effect on conversion.
    bool starEmulation = false;
    // Automatic centring per list position (0-based), 0 or 1.
    std::array<int, kMaxImages> centre{};
    // NV graphics memory capacity in KB, for admission and the "%3ld / %3d KByte" text.
    int nvGraphicsKB = kDefaultNvGraphicsKB;

    // KORVA10-class printers print 384 dots; every other model 512.
    static int defaultMaxPrintableWidth(int modelKind) {
        return modelKind == ModelKindKorva10 ? 384 : 512;
    }

    // The options as every opening of the tool starts them, for the chosen ModelKind.
    static LogoOptions defaultsFor(int modelKind) {
        LogoOptions o;
        o.maxPrintableWidth = defaultMaxPrintableWidth(modelKind);
        return o;
    }
};

} // namespace korva

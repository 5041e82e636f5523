#include "logo/PreviewPicture.h"

#include "logo/CBitmapRaster.h"
#include "logo/LogoList.h"

#include <span>

namespace korva {

PreviewPicture previewPicture(const LogoList& list, int position, const LogoOptions& options) {
    if (position < 0 || position >= list.entryCount())
        return {DotPicture(), 0, 0, "no entry selected"};
    const int first = list.findNumber(list.entry(position).number);
    return previewPictureOf(list.entry(first < 0 ? position : first).path, options);
}

PreviewPicture previewPictureOf(const std::string& path, const LogoOptions& options) {
    PreviewPicture p;
    CBitmapRaster raster(options);
    if (!raster.Load(path)) {
        p.reason = raster.lastResult().reason;
        return p;
    }
    bool converted = false;
    if (options.grayPrinting) {
        converted =
            raster.ConvertGray() &&
            p.dots.fromGray({raster.output(), raster.outputLength()}, raster.W8(), raster.H8());
    } else {
        // No centring: the preview shows the bitmap itself from the frame's corner.
        converted = raster.ConvertMonochrome(0) &&
                    p.dots.fromMonochrome({raster.output(), raster.outputLength()}, raster.W8(),
                                          raster.H8());
    }
    if (!converted) {
        p.reason = "the bitmap could not be converted";
        return p;
    }
    p.width = raster.description().width;
    p.height = raster.description().height;
    return p;
}

} // namespace korva

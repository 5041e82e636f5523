#pragma once
// What a bitmap costs in the printer's NV graphics memory, for the logo list's admission test.
#include <cstdint>

#include "logo/BmpImage.h"

namespace korva {

enum class NvSizeStatus {
    Ok,
    BadDimensions,    // width <= 0 or height <= 0
    UnsupportedDepth, // more than 32 bits per pixel
    TooLarge,         // W8 x H8 exceeds the converter's 1,048,576-dot work raster
};

struct NvSize {
    NvSizeStatus status = NvSizeStatus::Ok;
    // W8 x H8 / 8 bytes, four times that in gray mode; filled in even when refused for being too
    // large (so the refusal can name it), 0 for bad dimensions.
    std::int64_t bytes = 0;
    bool admissible() const { return status == NvSizeStatus::Ok; }
};

// Measures a bitmap description. Only images that the converter can hold are admissible: the
// list must refuse the others rather than let an upload send them.
NvSize MeasureNvSize(const BitmapDescription& description, bool grayPrinting);

// Whether an admissible image of `bytes` fits beside `totalBytes` already listed within a
// capacity of nvGraphicsKB x 1024 bytes.
bool FitsNvBudget(std::int64_t totalBytes, std::int64_t bytes, int nvGraphicsKB);

} // namespace korva

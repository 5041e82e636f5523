#pragma once
// Every caption of the logo tool's windows (the sheet, its five pages, "Uploading" and
// "Printing"), in English or, for language id 0x0412, with the Korean captions the tool has.
// Captions without a Korean form stay English in both. "&" marks a mnemonic.
#include <string>

namespace korva {

struct LogoCaptions {
    std::string title; // "KORVASet : Tavel Image Logo Setup"
    std::string pageTitles[5];
    std::string ok, cancel;

    // Pages 1-3: the list block.
    std::string bitmapList[3]; // "&Bitmap List" of pages 1, 2 and 3
    std::string imageCount;    // "Number of Image Files"
    std::string imageMemory;   // "Total Image File Size"

    // Page 1.
    std::string openFile, remove, reset, centreGroup, centreText;

    // Page 2: Normal, Quadraple, Double Height, Double Width.
    std::string previewQualityGroup;
    std::string previewQuality[4];

    // Page 3.
    std::string upload;

    // Pages 3 and 4: the Printer Details group.
    std::string printerDetails, printerName, portName;

    // Page 4: quality Normal, Double Width, Double Height, Quadraple.
    std::string print, rangeGroup, all, selection, printQualityGroup, headerGroup, noHeader,
        addHeader;
    std::string printQuality[4];

    // Page 5.
    std::string printToFile, grayPrinting, starEmulation, aboutGroup, aboutName, aboutBrand,
        optionGroup, maxArea, maxAreaUnit, threshold, deviceGroup;

    // The transfer windows.
    std::string uploadingTitle, printingTitle, dialogCancel;

    static LogoCaptions make(bool korean);
};

} // namespace korva

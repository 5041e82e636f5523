#pragma once
// The screenshot mode of korvaset: opens every screen in English and in Korean against the demo
// printer, grabs each window to a PNG file in a folder, and closes it again. Message boxes are
// answered by a recording prompter, so the tour never waits for a click.
#include <string>

namespace korva {

class DemoPrinter;

class ScreenshotTour {
public:
    ScreenshotTour(DemoPrinter& demo, std::string folder);

    // Writes <screen>-en.png and <screen>-ko.png for every screen; returns the number of files
    // written, and false in ok when a file could not be written or a screen failed to open.
    int run(bool& ok);

private:
    int runLanguage(std::uint16_t langId, const std::string& suffix, bool& ok);

    DemoPrinter& m_demo;
    std::string m_folder;
};

} // namespace korva

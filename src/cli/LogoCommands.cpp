// korvactl logo ...: bitmap conversion from the command line, so a technician can see the exact
// dots (and the bytes) a logo becomes before uploading it.
#include "app/ModelRules.h"
#include "cli/Commands.h"
#include "cli/LogoJobCommands.h"
#include "logo/CBitmapRaster.h"
#include "logo/DotPicture.h"
#include "logo/LogoOptions.h"
#include "logo/NvImageRecord.h"

#include <CLI/CLI.hpp>
#include <array>
#include <cstdio>
#include <iostream>
#include <memory>
#include <span>
#include <string>
#include <sys/stat.h>

namespace korva::cli {

namespace {

struct ConvertArgs {
    std::string input;
    std::string output;
    std::string png;
    bool gray = false;
    bool centre = false;
    int threshold = LogoOptions::kDefaultThreshold;
    int maxWidth = 0; // 0: the model's printable width
};

// Writes the record's header and image one after the other, straight from the converter.
bool writeFile(const std::string& path, std::span<const std::uint8_t> head,
               std::span<const std::uint8_t> bytes, std::string& error) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!f) {
        error = "cannot create " + path;
        return false;
    }
    // Only a regular file we began to write is removed after a failure; a device such as
    // /dev/full or a pipe named as the output must never be unlinked.
    struct stat st {};
    const bool regular = ::fstat(::fileno(f.get()), &st) == 0 && S_ISREG(st.st_mode);
    const bool ok = std::fwrite(head.data(), 1, head.size(), f.get()) == head.size() &&
                    std::fwrite(bytes.data(), 1, bytes.size(), f.get()) == bytes.size() &&
                    std::fflush(f.get()) == 0;
    if (std::fclose(f.release()) != 0 || !ok) {
        error = "cannot write " + path;
        if (regular)
            std::remove(path.c_str());
        return false;
    }
    return true;
}

int runConvert(const ConvertArgs& a, const CliOptions& o) {
    LogoOptions options = LogoOptions::defaultsFor(modelKind(o.model));
    options.threshold = a.threshold;
    options.grayPrinting = a.gray;
    if (a.maxWidth > 0)
        options.maxPrintableWidth = a.maxWidth;

    CBitmapRaster raster(options);
    if (!raster.Load(a.input)) {
        std::cerr << "logo convert: cannot load " << a.input << ": " << raster.lastResult().reason
                  << "\n";
        return 1;
    }
    const bool converted =
        a.gray ? raster.ConvertGray() : raster.ConvertMonochrome(a.centre ? 1 : 0);
    std::array<std::uint8_t, 4> head{};
    std::span<const std::uint8_t> image;
    if (!converted || !NvImageRecord::parts(raster, a.gray, head, image)) {
        std::cerr << "logo convert: " << a.input << " cannot be written as an NV image record\n";
        return 1;
    }
    std::string error;
    if (!writeFile(a.output, head, image, error)) {
        std::cerr << "logo convert: " << error << "\n";
        return 1;
    }
    if (!a.png.empty()) {
        DotPicture picture;
        const std::span<const std::uint8_t> data(raster.output(), raster.outputLength());
        const bool drawn = a.gray ? picture.fromGray(data, raster.W8(), raster.H8())
                                  : picture.fromMonochrome(data, raster.W8(), raster.H8());
        if (!drawn || !picture.writePng(a.png, error)) {
            std::cerr << "logo convert: " << (drawn ? error : "cannot draw the dots") << "\n";
            return 1;
        }
    }
    std::cout << a.input << ": " << raster.W8() << " x " << raster.H8() << " dots, "
              << (a.gray ? "gray" : "monochrome") << ", " << head.size() + image.size()
              << " bytes to " << a.output << "\n";
    return 0;
}

} // namespace

void registerLogoCommands(CLI::App& app, CliContext& context) {
    CLI::App* logo = app.add_subcommand("logo", "Logo bitmaps for the printer's NV memory");
    logo->require_subcommand(1);

    auto args = std::make_shared<ConvertArgs>();
    CLI::App* convert = logo->add_subcommand(
        "convert", "Convert a BMP file into the NV image record (xL xH yL yH, then the dots)");
    convert->add_option("input", args->input, "BMP file")->required()->check(CLI::ExistingFile);
    convert->add_option("-o,--output", args->output, "Record file to write")->required();
    convert->add_flag("--gray", args->gray, "Six-level gray instead of monochrome");
    convert->add_option("--threshold", args->threshold, "Black / White diverging point (0~255)")
        ->check(CLI::Range(0, 255))
        ->capture_default_str();
    convert->add_flag("--center", args->centre,
                      "Centre the image within the printable width (monochrome only)");
    convert
        ->add_option("--max-width", args->maxWidth,
                     "Max printable width in dots (default: 384 for KORVA10 models, else 512)")
        ->check(CLI::Range(1, 512));
    convert->add_option("--png", args->png, "Also write a PNG picture of the printed dots");
    convert->callback([args, &context] { context.exitCode = runConvert(*args, context.options); });

    registerLogoJobCommands(*logo, context);
}

} // namespace korva::cli

// korvactl logo as a program against korva-sim over every kind of link: what the virtual
// printer stores and prints must be exactly what `logo convert` makes of each file, and a link
// that goes away mid-upload must leave the stored list as it was.
#include "ProgramRunner.h"
#include "logo/BmpWriter.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <png.h>

#include <fstream>
#include <iterator>
#include <sys/stat.h>

using namespace korva::test;

namespace {

const std::string kCtl = KORVACTL_PATH;
const std::string kSim = KORVA_SIM_PATH;
// The printer pauses shrink tenfold (the erase wait becomes 350 ms); the virtual printer's
// erase time stays inside it, so a tool that skipped the wait would still lose bytes.
const std::map<std::string, std::string> kEnv = {{"KORVASET_LANGID", "0x0409"},
                                                 {"KORVACTL_PAUSE_SCALE", "10"}};
const std::string kSimEraseMs = "150";

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string hex(const std::string& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

// Pixels of an 8-bit gray PNG, with its size; empty when it cannot be read.
struct Pixels {
    int width = 0, height = 0;
    std::vector<std::uint8_t> data;
    bool operator==(const Pixels&) const = default;
};

Pixels readPng(const std::string& path) {
    Pixels p;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return p;
    image.format = PNG_FORMAT_GRAY;
    std::vector<std::uint8_t> data(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, data.data(), 0, nullptr))
        return p;
    p.width = static_cast<int>(image.width);
    p.height = static_cast<int>(image.height);
    p.data = std::move(data);
    return p;
}

// Three logos of different sizes and layouts; the second is centred on request.
void writeLogos(const TempDir& dir) {
    const std::vector<korva::BmpColour> grays = {
        {0, 0, 0, 0}, {255, 255, 255, 0}, {90, 90, 90, 0}, {170, 170, 170, 0}};
    dir.write("a.bmp", asString(writeBmp(
                           makePicture(100, 30, grays, [](int x, int y) { return x / 3 + y / 2; }),
                           BmpLayout::Rgb24)));
    dir.write("b.bmp", asString(writeBmp(
                           makePicture(200, 120, grays, [](int x, int y) { return (x ^ y) / 5; }),
                           BmpLayout::Bits4)));
    dir.write("c.bmp",
              asString(writeBmp(
                  makePicture(320, 180, grays, [](int x, int y) { return (x * x + y * 3) / 97; }),
                  BmpLayout::Bits8)));
}

ProgramResult ctl(const TempDir& dir, const std::vector<std::string>& linkArgs,
                  std::vector<std::string> args) {
    args.insert(args.begin(), linkArgs.begin(), linkArgs.end());
    return runProgram(kCtl, args, dir.path(), 60000, kEnv);
}

struct Link {
    std::string name;
    bool gray;
    bool star = false;
};

// Every port kind, and gray with Star emulation over the serial link.
const Link kLinks[] = {{"serial", false},
                       {"parallel", false},
                       {"usb", false},
                       {"tcp", false},
                       {"serial", true, true}};

SimProcess startSim(const TempDir& dir, const std::string& link,
                    std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"--model",       "KORVA40S",      "--" + link, "--out",
                                     dir.file("out"), "--nv-erase-ms", kSimEraseMs};
    if (link == "tcp")
        args.insert(args.begin() + 3, "0");
    args.insert(args.end(), extra.begin(), extra.end());
    return SimProcess(kSim, args, dir.file("report.json"));
}

} // namespace

TEST(KorvactlLogoSim, StoredAndPrintedAsConvertedOverEveryLink) {
    for (const Link& link : kLinks) {
        SCOPED_TRACE(link.name + (link.gray ? " gray" : ""));
        TempDir dir;
        writeLogos(dir);
        ASSERT_EQ(::mkdir(dir.file("out").c_str(), 0755), 0);
        SimProcess sim = startSim(dir, link.name);
        std::string error;
        ASSERT_TRUE(sim.start(error)) << error;
        const std::vector<std::string> at = simLinkArgs(sim, link.name);

        std::vector<std::string> upload = {"--model", "KORVA40S", "--yes", "logo",         "upload",
                                           "a.bmp",   "b.bmp",    "c.bmp", "--center-for", "2"};
        if (link.gray)
            upload.push_back("--gray");
        std::vector<std::string> printArgs = {"--model", "KORVA40S", "logo", "print", "--select",
                                              "1-3"};
        if (link.star) {
            upload.push_back("--star");
            printArgs.push_back("--star");
        }
        ProgramResult up = ctl(dir, at, upload);
        ASSERT_EQ(up.status, 0) << up.err;
        // The progress counts the centring columns too: it ends at every byte sent.
        const std::string sent = up.out.substr(0, up.out.find(" bytes stored"));
        const std::string bytes = sent.substr(sent.rfind(' ') + 1);
        EXPECT_NE(up.err.find(bytes + " / " + bytes + " bytes"), std::string::npos) << up.err;
        ProgramResult print = ctl(dir, at, printArgs);
        ASSERT_EQ(print.status, 0) << print.err;
        nlohmann::json report = sim.stop();
        EXPECT_TRUE(report["ignored"].empty()) << report["ignored"].dump();
        for (const nlohmann::json& command : report["commands"])
            if (command["cmd"] == "nv-print" || command["cmd"] == "nv-define") {
                EXPECT_EQ(command["star"], link.star) << command.dump();
            }

        ASSERT_EQ(report["nvImages"].size(), 3u) << report.dump().substr(0, 2000);
        ASSERT_EQ(report["printed"].size(), 3u);
        const char* names[] = {"a", "b", "c"};
        for (int i = 0; i < 3; ++i) {
            const std::string name = names[i];
            std::vector<std::string> convert = {"logo",        "convert", name + ".bmp", "-o",
                                                name + ".rec", "--png",   name + ".png"};
            if (link.gray)
                convert.push_back("--gray");
            else if (i == 1)
                convert.push_back("--center");
            ProgramResult c = ctl(dir, {"--model", "KORVA40S"}, convert);
            ASSERT_EQ(c.status, 0) << c.err;
            const std::string record = readAll(dir.file(name + ".rec"));
            ASSERT_GT(record.size(), 4u);

            const nlohmann::json& stored = report["nvImages"][i];
            EXPECT_EQ(stored["number"], i + 1);
            EXPECT_EQ(stored["mode"], link.gray ? "gray" : "mono");
            const int x = static_cast<unsigned char>(record[0]) |
                          (static_cast<unsigned char>(record[1]) & 0x1F) << 8;
            const int y =
                static_cast<unsigned char>(record[2]) | static_cast<unsigned char>(record[3]) << 8;
            EXPECT_EQ(stored["widthDots"], x * 8) << name;
            EXPECT_EQ(stored["heightDots"], y * 8) << name;
            EXPECT_EQ(stored["data"], hex(record.substr(4))) << name;

            const nlohmann::json& printed = report["printed"][i];
            EXPECT_EQ(printed["image"], i + 1);
            EXPECT_EQ(printed["quality"], 0);
            EXPECT_TRUE(printed["found"].get<bool>());
            const Pixels expected = readPng(dir.file(name + ".png"));
            ASSERT_FALSE(expected.data.empty()) << name;
            EXPECT_TRUE(readPng(printed["png"].get<std::string>()) == expected) << name;
        }

        // The list the desktop program finds next time: the files in upload order.
        ProgramResult list = ctl(dir, {}, {"logo", "list", "--json"});
        ASSERT_EQ(list.status, 0) << list.err;
        auto entries = nlohmann::json::parse(list.out)["entries"];
        ASSERT_EQ(entries.size(), 3u);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(entries[i]["number"], i + 1);
            EXPECT_EQ(entries[i]["path"], dir.file(std::string(names[i]) + ".bmp"));
        }
    }
}

// The printer vanishes inside the definition command, while it erases (the bytes before it are
// the printer check, ESC @ where the port kind sends it, and FS q n): the upload ends with the
// message within the runner's bound and the stored list keeps every byte of the earlier list.
// Closing there, not after some image data, keeps the test free of races with the kernel's
// buffers, which would take a whole small upload before the printer got round to closing.
TEST(KorvactlLogoSim, LinkClosedMidUploadKeepsTheProfile) {
    const struct {
        std::string link;
        int sentBeforeErase;
    } rows[] = {{"serial", 8}, {"parallel", 6}, {"usb", 8}, {"tcp", 3}};
    for (const auto& [link, sentBeforeErase] : rows) {
        SCOPED_TRACE(link);
        TempDir dir;
        writeLogos(dir);
        const std::string profile = "[LOGO]\nLogofile1=" + dir.file("a.bmp") +
                                    "\nLogofile2=" + dir.file("b.bmp") +
                                    "\n\n[FWDN20]\nFILE=fw.SHC\n";
        dir.write("korvaset.INI", profile);
        ASSERT_EQ(::mkdir(dir.file("out").c_str(), 0755), 0);
        SimProcess sim = startSim(dir, link, {"--close-after", std::to_string(sentBeforeErase)});
        std::string error;
        ASSERT_TRUE(sim.start(error)) << error;
        ProgramResult up =
            ctl(dir, simLinkArgs(sim, link),
                {"--model", "KORVA40S", "--yes", "logo", "upload", "c.bmp", "b.bmp", "a.bmp"});
        EXPECT_EQ(up.status, 1) << up.err; // -1 would mean it hung and was killed
        EXPECT_NE(up.err.find("Communication error. Can not transimitted."), std::string::npos)
            << up.err;
        EXPECT_EQ(up.out.find("stored in the printer"), std::string::npos) << up.out;
        EXPECT_EQ(readAll(dir.file("korvaset.INI")), profile);
        nlohmann::json report = sim.stop();
        ASSERT_EQ(report["received"].size(), 1u);
        EXPECT_EQ(report["received"].begin().value(), sentBeforeErase);
        ASSERT_FALSE(report["commands"].empty());
        EXPECT_EQ(report["commands"].back()["cmd"], "nv-define");
    }
}

// Uploads over a file port that end with status 1: a stored list with a file that cannot be
// read, or that outgrows the NV area once gray takes four times the memory, is refused before a
// byte is sent; a list the profile's folder will not take is reported although the images went
// out. The profile stays as it was in each case.
TEST(KorvactlLogoFile, FailuresEndWithStatusOneAndKeepTheProfile) {
    const struct {
        std::vector<std::string> stored;
        std::vector<std::string> args;
        bool readOnly;
        std::string message;
        bool sent;
    } rows[] = {
        {{"a.bmp", "missing.bmp", "c.bmp"}, {}, false,
         "Bitmap files that was defined with Log file is incorrect.", false},
        {{"d.bmp", "d.bmp", "d.bmp", "d.bmp"}, {"--gray"}, false, "NV-bitimage area too small",
         false},
        {{"a.bmp"}, {"b.bmp"}, true, "could not be recorded", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.message);
        TempDir dir;
        writeLogos(dir);
        dir.write("d.bmp", asString(writeBmp(
                               makePicture(512, 512, {{0, 0, 0, 0}, {255, 255, 255, 0}},
                                           [](int x, int y) { return (x + y) & 1; }),
                               BmpLayout::Bits8)));
        std::string profile = "[LOGO]\n";
        for (std::size_t i = 0; i < row.stored.size(); ++i)
            profile += "Logofile" + std::to_string(i + 1) + "=" + dir.file(row.stored[i]) + "\n";
        dir.write("korvaset.INI", profile);
        ASSERT_EQ(::mkdir(dir.file("out").c_str(), 0777), 0);
        ::chmod(dir.file("out").c_str(), 0777);
        std::vector<std::string> args = {"--model", "KORVA40S", "--port",
                                         "FILE:" + dir.file("out/out.prn"), "--yes", "logo",
                                         "upload"};
        args.insert(args.end(), row.args.begin(), row.args.end());
        ProgramResult up;
        if (row.readOnly) {
            ::chmod(dir.path().c_str(), 0555);
            if (::geteuid() == 0) { // root writes into any folder: run as nobody
                args.insert(args.begin(), {"--reuid=65534", "--regid=65534", "--clear-groups",
                                           kCtl});
                up = runProgram("/usr/bin/setpriv", args, dir.path(), 60000, kEnv);
            } else {
                up = runProgram(kCtl, args, dir.path(), 60000, kEnv);
            }
            ::chmod(dir.path().c_str(), 0755);
        } else {
            up = runProgram(kCtl, args, dir.path(), 60000, kEnv);
        }
        EXPECT_EQ(up.status, 1) << up.err;
        EXPECT_NE(up.err.find(row.message), std::string::npos) << up.err;
        EXPECT_EQ(readAll(dir.file("out/out.prn")).empty(), !row.sent);
        EXPECT_EQ(readAll(dir.file("korvaset.INI")), profile);
    }
}

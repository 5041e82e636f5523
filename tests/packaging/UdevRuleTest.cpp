// The printers' udev rule, applied to fake devices by a rules interpreter: who gets access and
// which stable names appear, without hardware and without the machine's udev.
#include "packaging/UdevRules.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace korva::test {
namespace {

std::string ruleText() {
    std::ifstream in(KORVA_UDEV_RULE);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A device below a USB interface, below the USB device with the given ids, below a root hub
// (whose own idVendor must never be taken for the printer's).
UdevEvent usbEvent(const std::string& subsystem, const std::string& kernel,
                   const std::string& vendor, const std::string& product, const char* serial,
                   const std::string& action = "add") {
    FakeUdevDevice usb{"usb", "1-1", {{"idVendor", vendor}, {"idProduct", product}}};
    if (serial)
        usb.attrs["serial"] = serial;
    return {action,
            {{subsystem, kernel, {{"dev", "180:0"}}},
             {"usb", "1-1:1.0", {{"bInterfaceClass", "07"}}},
             usb,
             {"usb", "usb1", {{"idVendor", "1d6b"}, {"idProduct", "0002"}}}}};
}

TEST(UdevRule, ParsesAndSortsBeforeSeatRules) {
    UdevRules rules;
    std::string error;
    ASSERT_TRUE(rules.parse(ruleText(), "70-korva.rules", error)) << error;
    // 73-seat-late.rules turns the uaccess tag into an ACL; a later rule's tag is never seen.
    std::string name =
        std::string(KORVA_UDEV_RULE).substr(std::string(KORVA_UDEV_RULE).rfind('/') + 1);
    EXPECT_LT(name, "73-seat-late.rules");
}

TEST(UdevRule, AccessAndStableNames) {
    UdevRules rules;
    std::string error;
    ASSERT_TRUE(rules.parse(ruleText(), "70-korva.rules", error)) << error;
    struct Case {
        const char* what;
        UdevEvent event;
        const char* link; // nullptr: neither access nor a name
    };
    const Case cases[] = {
        {"KORVA40U-II printer class", usbEvent("usbmisc", "lp0", "5e3b", "3012", "K40A1234"),
         "korva/KORVA40U-II-K40A1234"},
        {"KORVA40U-I virtual serial", usbEvent("tty", "ttyACM0", "5e3b", "3011", "K40B0007"),
         "korva/KORVA40U-I-K40B0007"},
        {"KORVA30U-II printer class", usbEvent("usbmisc", "lp1", "5e3b", "3002", "300"),
         "korva/KORVA30U-II-300"},
        {"KORVA30U-I virtual serial", usbEvent("tty", "ttyACM3", "5e3b", "3001", "301"),
         "korva/KORVA30U-I-301"},
        {"other product, no serial number", usbEvent("usbmisc", "lp2", "5e3b", "0101", nullptr),
         "korva/5e3b-0101-lp-lp2"},
        {"serial number with a space and a slash-free oddity",
         usbEvent("usbmisc", "lp0", "5e3b", "3012", "AB 12*"), "korva/KORVA40U-II-AB_12_"},
        {"another vendor's printer", usbEvent("usbmisc", "lp0", "04b8", "0202", "X"), nullptr},
        {"a USB serial adapter of another kind", usbEvent("tty", "ttyUSB0", "5e3b", "3011", "X"),
         nullptr},
        {"the printer's interface node itself, not usbmisc",
         usbEvent("usb", "1-1:1.0", "5e3b", "3012", "X"), nullptr},
        {"removal", usbEvent("usbmisc", "lp0", "5e3b", "3012", "X", "remove"), nullptr},
        {"a platform serial port",
         {"add", {{"tty", "ttyS0", {}}, {"platform", "serial8250", {}}}},
         nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        UdevResult r = rules.apply(c.event);
        if (c.link) {
            EXPECT_EQ(r.tags, std::set<std::string>{"uaccess"});
            EXPECT_EQ(r.symlinks, std::vector<std::string>{c.link});
        } else {
            EXPECT_TRUE(r.tags.empty());
            EXPECT_TRUE(r.symlinks.empty());
        }
    }
}

TEST(UdevRule, InterpreterRefusesWhatItCannotJudge) {
    const char* bad[] = {
        R"(SUBSYSTEM=="usb", RUN+="/bin/chmod 666 /dev/%k")",
        R"(SUBSYSTEM=="usb", MODE="0666")",
        R"(SUBSYSTEM=="usb" TAG+="uaccess")",
        R"(SUBSYSTEM=="usb", OPTIONS+="last_rule")",
    };
    for (const char* text : bad) {
        UdevRules rules;
        std::string error;
        EXPECT_FALSE(rules.parse(text, "bad.rules", error)) << text;
        EXPECT_NE(error.find("bad.rules:1"), std::string::npos) << error;
    }
}

} // namespace
} // namespace korva::test

// korva-sim: the virtual printer as a program. Serves the links it is asked for until SIGINT
// or SIGTERM, then writes its report; "korva-sim decode FILE" decodes a captured stream.
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <pthread.h>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "base/FileVersion.h"
#include "sim/VirtualPrinter.h"

namespace {

bool parseNumber(const std::string& text, int& out) {
    try {
        std::size_t used = 0;
        long v = std::stol(text, &used, 0); // decimal, or 0x hexadecimal
        if (used != text.size() || v < 0 || v > 255)
            return false;
        out = static_cast<int>(v);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// The report goes to a temporary file first and is renamed into place, so a reader never sees
// half of it.
bool writeReport(const nlohmann::json& report, const std::string& path) {
    std::string text = report.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
    if (path.empty() || path == "-") {
        std::cout << text << std::endl;
        return static_cast<bool>(std::cout);
    }
    std::string tmp = path + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out << text << '\n';
        out.close();
        if (!out) {
            std::cerr << "korva-sim: cannot write " << tmp << "\n";
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(tmp, path, ec);
    if (ec) {
        std::cerr << "korva-sim: cannot write " << path << ": " << ec.message() << "\n";
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    korva::SimOptions o;
    std::string reportPath;
    std::vector<std::string> dropReply;
    std::string decodeFile;

    CLI::App app{"korva-sim: a KORVA printer in software, served over real ports"};
    app.fallthrough();
    app.set_version_flag(
        "--version",
        [] { return "korva-sim " + korva::dottedVersion(korva::currentFileVersion()); },
        "Print the program's name and version and exit");
    app.add_option("--model", o.model, "model to impersonate")->capture_default_str();
    app.add_flag("--serial", o.serial, "serve a pseudo-terminal as COM port");
    app.add_flag("--parallel", o.parallel, "serve a pseudo-terminal as LPT port");
    app.add_flag("--usb", o.usb, "serve a pseudo-terminal as USB printer plus a sysfs tree");
    app.add_option("--tcp", o.tcpPort, "TCP print service on 127.0.0.1 (0: any port)");
    app.add_option("--udp", o.udpAddress, "answer network records at this 127.x.y.z address");
    app.add_option("--udp-port", o.udpPort, "network record port")->capture_default_str();
    app.add_option("--sysfs-dir", o.sysfsDir, "folder for the fake sysfs tree");
    app.add_option("--out", o.outDir, "folder for PNG files of NV and printed images");
    app.add_option("--capture", o.captureDir, "folder for each link's received bytes");
    app.add_option("--report", reportPath, "report file (default: standard output)");
    app.add_option("--leave-busy-ms", o.leaveBusyMs, "busy time after Leave setup mode")
        ->capture_default_str();
    app.add_option("--nv-erase-ms", o.nvEraseMs,
                   "NV memory erase time after FS q; bytes arriving meanwhile are lost")
        ->capture_default_str();
    app.add_option("--sector-erase-ms", o.sectorEraseMs,
                   "KORVA10 flash erase time per sector; the erase packet's ACK comes after it "
                   "and bytes arriving meanwhile are lost")
        ->capture_default_str();
    app.add_option("--ip", o.ip, "network record: IP address")->capture_default_str();
    app.add_option("--mask", o.mask, "network record: subnet mask")->capture_default_str();
    app.add_option("--gateway", o.gateway, "network record: gateway")->capture_default_str();
    app.add_option("--mac", o.mac, "network record: MAC address")->capture_default_str();
    app.add_flag("--dhcp", o.dhcp, "network record: DHCP on");
    app.add_option("--net-port", o.netPort, "network record: port (default: the TCP port)");
    app.add_option("--nak-every", o.nakEveryK, "DLE NAK for every k-th write packet");
    app.add_option(
        "--drop-ack", o.dropAckAt,
        "no DLE ACK for the n-th accepted KORVA10 packet (the erase packet is the first)");
    app.add_option("--drop-reply", dropReply, "no reply to this setting number (repeatable)");
    app.add_flag("--drop-id-reply", o.dropIdReply, "no reply to GS I 1 (printer ID)");
    app.add_flag("--split-replies", o.splitReplies, "replies in random fragments");
    app.add_flag("--status-blocks", o.statusBlocks, "status block 10 00 00 0F before replies");
    app.add_flag("--garbage", o.garbage, "random bytes before replies");
    app.add_option("--close-after", o.closeAfterBytes, "close a link after N received bytes");
    app.add_option("--stall-after", o.stallAfterBytes,
                   "stop reading a link (left open) after N received bytes");
    app.add_option("--bytes-per-second", o.bytesPerSecond, "slow link");
    app.add_flag("--mute", o.mute, "never answer");
    app.add_option("--udp-answers", o.udpAnswers,
                   "answer each network search this many times (2: duplicate, 300: flood)")
        ->check(CLI::Range(1, 100000))
        ->capture_default_str();
    app.add_option("--udp-noise", o.udpNoise,
                   "before the search answers, one short, long or garbage datagram (repeatable)")
        ->check(CLI::IsMember({"short", "long", "garbage"}));
    app.add_option("--seed", o.seed, "seed of the random faults")->capture_default_str();
    CLI::App* decode = app.add_subcommand("decode", "decode a captured stream and report it");
    decode->add_option("file", decodeFile, "the captured stream")->required();
    CLI11_PARSE(app, argc, argv);

    for (const std::string& text : dropReply) {
        int number = 0;
        if (!parseNumber(text, number)) {
            std::cerr << "korva-sim: --drop-reply wants a setting number 0..255, not " << text
                      << "\n";
            return 2;
        }
        o.dropReplyFor.push_back(number);
    }
    for (const std::string& dir : {o.outDir, o.captureDir}) {
        if (dir.empty())
            continue;
        std::error_code ec;
        std::filesystem::create_directories(dir, ec);
        if (ec) {
            std::cerr << "korva-sim: cannot create " << dir << ": " << ec.message() << "\n";
            return 1;
        }
    }

    if (decode->parsed()) {
        std::ifstream in(decodeFile, std::ios::binary);
        if (!in) {
            std::cerr << "korva-sim: cannot read " << decodeFile << "\n";
            return 1;
        }
        std::vector<std::uint8_t> stream((std::istreambuf_iterator<char>(in)),
                                         std::istreambuf_iterator<char>());
        return writeReport(korva::VirtualPrinter::decodeCapture(stream, o), reportPath) ? 0 : 1;
    }

    // The signals are taken by sigwait below; every thread the printer starts inherits the
    // blocked mask, so none of them is interrupted by them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    korva::VirtualPrinter printer(o);
    std::string error;
    if (!printer.start(error)) {
        std::cerr << "korva-sim: " << error << "\n";
        return 1;
    }
    for (const std::string& line : printer.linkLines())
        std::cout << line << "\n";
    std::cout << "ready" << std::endl;

    int received = 0;
    while (sigwait(&signals, &received) != 0) {
    }
    printer.stop();
    return writeReport(printer.report(), reportPath) ? 0 : 1;
}

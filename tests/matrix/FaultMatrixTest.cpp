// Every korvactl job against korva-sim over every link it runs on, under every fault the
// virtual printer injects that reaches that job: one table, one CTest entry per cell. Each cell
// ends within kBoundMs, says what happened, exits as documented, leaves the profile byte for
// byte as it was unless the job succeeded, and leaves no process behind. The README's matrix
// is this table; MatrixTable.ReadmeShowsTheTable keeps the two the same.
#include "ProgramRunner.h"
#include "support/LoopbackNet.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <sys/prctl.h>
#include <unistd.h>

using namespace korva::test;

namespace {

const std::string kCtl = KORVACTL_PATH;
const std::string kSim = KORVA_SIM_PATH;
const std::string kReadme = README_PATH;
// Generous: every cell ends in a few seconds; a job that hangs is killed here and fails.
constexpr int kBoundMs = 20000;
// Printer pauses and firmware waits shrink a hundredfold; the virtual printer's own busy and
// erase times shrink with them, so a tool that skipped a pause would still lose bytes. The
// KORVA10 download's silence bounds shrink only tenfold: a twentieth of its 5 s wait for each
// packet's DLE ACK was less than a loaded machine took now and then to pass a packet through
// korva-sim and its answer back.
const std::map<std::string, std::string> kEnv = {{"KORVASET_LANGID", "0x0409"},
                                                 {"KORVACTL_PAUSE_SCALE", "100"}};
const std::map<std::string, std::string> kKorva10Env = {{"KORVASET_LANGID", "0x0409"},
                                                        {"KORVACTL_PAUSE_SCALE", "10"}};
// Two sectors of 70 ms for the boot area: the printer's 700 ms at that scale.
const std::string kSectorEraseMs = "70";

enum class Job { SetupGet, SetupSet, LogoUpload, LogoPrint, Firmware, Korva10, NetSearch, NetSet };
enum class Fault {
    None,
    Close,
    Stall,
    Slow,
    Garbage,
    Status,
    Split,
    Mute,
    DropReply,
    DropId,
    Nak,
    Noise,
    Flood
};

const std::vector<std::pair<Job, std::string>> kJobs = {
    {Job::SetupGet, "setup get"},         {Job::SetupSet, "setup set"},
    {Job::LogoUpload, "logo upload"},     {Job::LogoPrint, "logo print"},
    {Job::Firmware, "firmware download"}, {Job::Korva10, "KORVA10 download"},
    {Job::NetSearch, "net search"},       {Job::NetSet, "net set"}};

const std::vector<std::pair<Fault, std::string>> kFaults = {
    {Fault::None, "no fault"},           {Fault::Close, "link closed"},
    {Fault::Stall, "link stalls"},       {Fault::Slow, "slow link"},
    {Fault::Garbage, "garbage"},         {Fault::Status, "status blocks"},
    {Fault::Split, "split and joined"},  {Fault::Mute, "mute"},
    {Fault::DropReply, "dropped reply"}, {Fault::DropId, "dropped ID reply"},
    {Fault::Nak, "NAK storm"},           {Fault::Noise, "noise datagrams"},
    {Fault::Flood, "answer flood"}};

const std::vector<std::string> kStreamLinks = {"serial", "parallel", "usb", "tcp"};

// What a cell shows: the exit status, a text that must appear in what the job printed, one that
// must not, and for the README why a fault the job does not notice goes unnoticed.
struct Outcome {
    int status;
    std::string message;
    std::string absent = {};
    std::string note = {};
};

// A cell: its outcome on every link the job runs on, or why it does not apply.
struct Cell {
    Job job;
    Fault fault;
    std::map<std::string, Outcome> byLink; // empty: does not apply
    std::string why = {};                  // why not, for the empty ones
};

std::map<std::string, Outcome> everyLink(const Outcome& o) {
    std::map<std::string, Outcome> m;
    for (const std::string& link : kStreamLinks)
        m[link] = o;
    return m;
}

// The KORVA10 download runs over COM and USB, which answer each packet, and over LPT, which
// does not; the network refusal is shown once, in the no-fault column.
const std::string kOnlyPorts = "KORVA10 printers take firmware over COM, LPT or USB";
std::map<std::string, Outcome> korva10(const Outcome& answered, const Outcome& parallel,
                                       const std::optional<Outcome>& tcp = std::nullopt) {
    std::map<std::string, Outcome> m = {
        {"serial", answered}, {"usb", answered}, {"parallel", parallel}};
    if (tcp)
        m["tcp"] = *tcp;
    return m;
}

const std::string kNoReplyAwaited = "waits for no reply";
const std::string kNoSettings = "queries no setting";
const std::string kNoId = "sends no ID query";
const std::string kNotKorva10 = "only KORVA10 write packets are NAKed";
const std::string kNoLptReplies = "LPT packets go without replies";
const std::string kNotUdp = "network records only";
const std::string kUdpOnly = "a stream fault; the job runs over UDP";
const std::string kNoUdpReply = "UDP records carry no ID or setting replies";

const std::string kListed = "margin ";
const std::string kUnanswered = "not every setting was answered";
const std::string kSet = "code_page=16";
const std::string kNotRead = "left margin and setup code could not be read";
const std::string kStored = "Complete the NV bit image definition.";
const std::string kCommError = "Communication error. Can not transimitted.";
const std::string kPrinted = "1 image(s) printed";
const std::string kUpdated = "Update Complete.";
const std::string kNotReady = "ERROR : PRINTER IS NOT READY!";
const std::string kIncomplete = "ERROR : Firmware transfer incomplete.";
const std::string kSearched = "The printer has finished searching.";
const std::string kFound = "00:1A:2B:3C:4D:5E";
const std::string kNoAnswer = "no printer answered the new settings";
const std::string kCompleted = "COMPLETED";
const std::string kSilent = "The printer did not answer.";
const std::string kWriteFail = "ERROR : Write Fail!";
const std::string kRefused = "The printer refused the packet at 1F0000 10 times.";

// The line takes what the tool writes; without a reply to wait for, a printer that stops
// reading looks like one that took everything.
const std::string kBuffered = "the line took every byte; no reply to miss";
const std::string kIdIgnored = "the wake-up's ID reply is read, not required";

std::vector<Cell> matrix() {
    const Outcome get = {0, kListed};
    const Outcome unanswered = {1, kUnanswered};
    const Outcome set = {0, kSet};
    const Outcome notRead = {1, kNotRead};
    const Outcome stored = {0, kStored};
    const Outcome printed = {0, kPrinted};
    const Outcome updated = {0, kUpdated};
    const Outcome found = {0, kFound};
    const Outcome changed = {0, kUpdated};
    const std::map<std::string, Outcome> udpFound = {{"udp", found}};
    const std::map<std::string, Outcome> udpChanged = {{"udp", changed}};
    const std::map<std::string, Outcome> none;
    const Outcome lptError = {1, "LPT Write Error["};
    const Outcome completed = {0, kCompleted};
    const Outcome silent = {1, kSilent, kCompleted};
    const Outcome unread = {0, kCompleted, {}, kNoLptReplies};
    return {
        {Job::SetupGet, Fault::None, everyLink(get)},
        {Job::SetupGet, Fault::Close, everyLink(unanswered)},
        {Job::SetupGet, Fault::Stall, everyLink(unanswered)},
        {Job::SetupGet, Fault::Slow, everyLink(get)},
        {Job::SetupGet, Fault::Garbage, everyLink(get)},
        {Job::SetupGet, Fault::Status, everyLink(get)},
        {Job::SetupGet, Fault::Split, everyLink(get)},
        {Job::SetupGet, Fault::Mute, everyLink(unanswered)},
        {Job::SetupGet, Fault::DropReply, everyLink(unanswered)},
        {Job::SetupGet, Fault::DropId, none, kNoId},
        {Job::SetupGet, Fault::Nak, none, kNotKorva10},
        {Job::SetupGet, Fault::Noise, none, kNotUdp},
        {Job::SetupGet, Fault::Flood, none, kNotUdp},

        {Job::SetupSet, Fault::None, everyLink(set)},
        {Job::SetupSet, Fault::Close, everyLink(notRead)},
        {Job::SetupSet, Fault::Stall, everyLink(notRead)},
        {Job::SetupSet, Fault::Slow, everyLink(set)},
        {Job::SetupSet, Fault::Garbage, everyLink(set)},
        {Job::SetupSet, Fault::Status, everyLink(set)},
        {Job::SetupSet, Fault::Split, everyLink(set)},
        {Job::SetupSet, Fault::Mute, everyLink(notRead)},
        {Job::SetupSet, Fault::DropReply, everyLink(notRead)},
        {Job::SetupSet, Fault::DropId, none, kNoId},
        {Job::SetupSet, Fault::Nak, none, kNotKorva10},
        {Job::SetupSet, Fault::Noise, none, kNotUdp},
        {Job::SetupSet, Fault::Flood, none, kNotUdp},

        {Job::LogoUpload, Fault::None, everyLink(stored)},
        {Job::LogoUpload, Fault::Close, everyLink({1, kCommError, kStored})},
        {Job::LogoUpload, Fault::Stall, everyLink({0, kStored, {}, kBuffered})},
        {Job::LogoUpload, Fault::Slow, everyLink(stored)},
        {Job::LogoUpload, Fault::Garbage, everyLink(stored)},
        {Job::LogoUpload, Fault::Status, everyLink(stored)},
        {Job::LogoUpload, Fault::Split, everyLink(stored)},
        {Job::LogoUpload, Fault::Mute, everyLink({0, kStored, {}, kIdIgnored})},
        {Job::LogoUpload, Fault::DropReply, none, kNoSettings},
        {Job::LogoUpload, Fault::DropId, everyLink({0, kStored, {}, kIdIgnored})},
        {Job::LogoUpload, Fault::Nak, none, kNotKorva10},
        {Job::LogoUpload, Fault::Noise, none, kNotUdp},
        {Job::LogoUpload, Fault::Flood, none, kNotUdp},

        {Job::LogoPrint, Fault::None, everyLink(printed)},
        {Job::LogoPrint,
         Fault::Close,
         {{"serial", {1, kCommError, kPrinted}},
          {"parallel", {1, kCommError, kPrinted}},
          {"usb", {1, kCommError, kPrinted}},
          {"tcp",
           {0, kPrinted, {}, "cut inside the one command, which the stack had acknowledged"}}}},
        {Job::LogoPrint, Fault::Stall, everyLink({0, kPrinted, {}, kBuffered})},
        {Job::LogoPrint, Fault::Slow, everyLink(printed)},
        {Job::LogoPrint, Fault::Garbage, everyLink(printed)},
        {Job::LogoPrint, Fault::Status, everyLink(printed)},
        {Job::LogoPrint, Fault::Split, everyLink(printed)},
        {Job::LogoPrint, Fault::Mute, everyLink({0, kPrinted, {}, kIdIgnored})},
        {Job::LogoPrint, Fault::DropReply, none, kNoSettings},
        {Job::LogoPrint, Fault::DropId, everyLink({0, kPrinted, {}, kIdIgnored})},
        {Job::LogoPrint, Fault::Nak, none, kNotKorva10},
        {Job::LogoPrint, Fault::Noise, none, kNotUdp},
        {Job::LogoPrint, Fault::Flood, none, kNotUdp},

        {Job::Firmware, Fault::None, everyLink(updated)},
        {Job::Firmware,
         Fault::Close,
         {{"serial", {1, kNotReady, kUpdated}},
          {"parallel", {lptError.status, lptError.message, kUpdated}},
          {"usb", {lptError.status, lptError.message, kUpdated}},
          {"tcp", {1, kIncomplete, kUpdated}}}},
        {Job::Firmware,
         Fault::Stall,
         {{"serial", {1, kNotReady, kUpdated}},
          {"parallel", {lptError.status, lptError.message, kUpdated}},
          {"usb", {lptError.status, lptError.message, kUpdated}},
          {"tcp", {1, kIncomplete, kUpdated}}}},
        {Job::Firmware, Fault::Slow, everyLink(updated)},
        {Job::Firmware, Fault::Garbage, none, kNoReplyAwaited},
        {Job::Firmware, Fault::Status, none, kNoReplyAwaited},
        {Job::Firmware, Fault::Split, none, kNoReplyAwaited},
        {Job::Firmware, Fault::Mute, everyLink({0, kUpdated, {}, kNoReplyAwaited})},
        {Job::Firmware, Fault::DropReply, none, kNoSettings},
        {Job::Firmware, Fault::DropId, none, kNoId},
        {Job::Firmware, Fault::Nak, none, kNotKorva10},
        {Job::Firmware, Fault::Noise, none, kNotUdp},
        {Job::Firmware, Fault::Flood, none, kNotUdp},

        {Job::Korva10, Fault::None, korva10(completed, completed, Outcome{2, kOnlyPorts})},
        {Job::Korva10, Fault::Close, korva10(silent, {1, kWriteFail, kCompleted})},
        {Job::Korva10, Fault::Stall, korva10(silent, {1, kWriteFail, kCompleted})},
        {Job::Korva10, Fault::Slow, korva10(completed, completed)},
        {Job::Korva10, Fault::Garbage, korva10(completed, unread)},
        {Job::Korva10, Fault::Status, korva10(completed, unread)},
        {Job::Korva10, Fault::Split, korva10(completed, unread)},
        {Job::Korva10, Fault::Mute, korva10(silent, unread)},
        {Job::Korva10, Fault::DropReply,
         korva10({1, kSilent, kCompleted, "the third write packet's DLE ACK is lost"}, unread)},
        {Job::Korva10, Fault::DropId, none, kNoId},
        {Job::Korva10, Fault::Nak,
         korva10({1, kRefused, kCompleted},
                 {0, kCompleted, {}, kNoLptReplies + ": the NAKs go unread, the area unwritten"})},
        {Job::Korva10, Fault::Noise, none, kNotUdp},
        {Job::Korva10, Fault::Flood, none, kNotUdp},

        {Job::NetSearch, Fault::None, udpFound},
        {Job::NetSearch, Fault::Close, none, kUdpOnly},
        {Job::NetSearch, Fault::Stall, none, kUdpOnly},
        {Job::NetSearch, Fault::Slow, none, kUdpOnly},
        {Job::NetSearch, Fault::Garbage, none, kUdpOnly},
        {Job::NetSearch, Fault::Status, none, kUdpOnly},
        {Job::NetSearch, Fault::Split, none, kUdpOnly},
        {Job::NetSearch, Fault::Mute, {{"udp", {0, kSearched, kFound}}}},
        {Job::NetSearch, Fault::DropReply, none, kNoUdpReply},
        {Job::NetSearch, Fault::DropId, none, kNoUdpReply},
        {Job::NetSearch, Fault::Nak, none, kNotKorva10},
        {Job::NetSearch, Fault::Noise, udpFound},
        {Job::NetSearch, Fault::Flood, udpFound},

        {Job::NetSet, Fault::None, udpChanged},
        {Job::NetSet, Fault::Close, none, kUdpOnly},
        {Job::NetSet, Fault::Stall, none, kUdpOnly},
        {Job::NetSet, Fault::Slow, none, kUdpOnly},
        {Job::NetSet, Fault::Garbage, none, kUdpOnly},
        {Job::NetSet, Fault::Status, none, kUdpOnly},
        {Job::NetSet, Fault::Split, none, kUdpOnly},
        {Job::NetSet,
         Fault::Mute,
         {{"udp", {1, kNoAnswer, {}, "after the screen's notice: a printer may restart unheard"}}}},
        {Job::NetSet, Fault::DropReply, none, kNoUdpReply},
        {Job::NetSet, Fault::DropId, none, kNoUdpReply},
        {Job::NetSet, Fault::Nak, none, kNotKorva10},
        {Job::NetSet, Fault::Noise, none, "noise answers searches only"},
        {Job::NetSet, Fault::Flood, none, "repeats answer searches only"},
    };
}

// ---------------------------------------------------------------------------------------------
// Running one cell.

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string jobName(Job job) {
    for (const auto& [j, name] : kJobs)
        if (j == job)
            return name;
    return {};
}
std::string faultName(Fault fault) {
    for (const auto& [f, name] : kFaults)
        if (f == fault)
            return name;
    return {};
}

// The model each job and link is run as: the one a technician would pick for that port.
std::string modelFor(Job job, const std::string& link) {
    if (job == Job::Korva10)
        return "KORVA10S";
    if (job == Job::Firmware)
        return "KORVA30S";
    if (job == Job::LogoUpload || job == Job::LogoPrint)
        return "KORVA40S";
    if (link == "parallel")
        return "KORVA40P";
    if (link == "usb")
        return "KORVA40U-II";
    if (link == "tcp")
        return "KORVA40E-II";
    return "KORVA40S";
}

// Where a link breaks off, in bytes the printer has received: inside the job's first command
// that matters (the setup bracket, the NV definition, the print, the firmware frame, the sixth
// KORVA10 write packet).
long breakAfter(Job job, const std::string& link) {
    switch (job) {
    case Job::SetupGet:
    case Job::SetupSet:
        return 12;
    case Job::LogoUpload:
        return link == "tcp" ? 3 : link == "parallel" ? 6 : 8;
    case Job::LogoPrint:
        return link == "parallel" || link == "tcp" ? 2 : 5;
    case Job::Korva10:
        return 3000;
    default:
        return 100000;
    }
}

std::vector<std::string> faultArgs(Job job, Fault fault, const std::string& link) {
    switch (fault) {
    case Fault::None:
        return {};
    case Fault::Nak:
        // Every write packet: the download's tenth NAK for the first one ends it.
        return {"--nak-every", "1"};
    case Fault::Close:
        return {"--close-after", std::to_string(breakAfter(job, link))};
    case Fault::Stall:
        return {"--stall-after", std::to_string(breakAfter(job, link))};
    case Fault::Slow:
        return {"--bytes-per-second", job == Job::Firmware  ? "400000"
                                      : job == Job::Korva10 ? "100000"
                                                            : "4000"};
    case Fault::Garbage:
        return {"--garbage", "--seed", "3"};
    case Fault::Status:
        return {"--status-blocks"};
    case Fault::Split:
        return {"--split-replies", "--seed", "5"};
    case Fault::Mute:
        return {"--mute"};
    case Fault::DropReply:
        // The KORVA10 printer's reply to the third write packet (its fourth packet).
        if (job == Job::Korva10)
            return {"--drop-ack", "4"};
        return {"--drop-reply", "0xFA"};
    case Fault::DropId:
        return {"--drop-id-reply"};
    case Fault::Noise:
        return {"--udp-noise", "short", "long", "garbage", "--seed", "7"};
    case Fault::Flood:
        return {"--udp-answers", "300"};
    }
    return {};
}

std::string firmwareImage() {
    std::string bytes(0x800000, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>((i * 7) ^ (i >> 9));
    bytes[0x7FFFFB] = 3;
    bytes.replace(0x7FFFFC, 4, "QOLT");
    return bytes;
}

// A 24-bit 64 x 24 BMP with a diagonal pattern.
std::string logoBmp() {
    const int w = 64, h = 24, row = w * 3;
    std::string data;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            data.append(3, static_cast<char>(((x + y) / 4) % 2 ? 255 : 0));
    auto le = [](std::uint32_t v, int n) {
        std::string s;
        for (int i = 0; i < n; ++i)
            s += static_cast<char>(v >> (8 * i));
        return s;
    };
    return "BM" + le(54 + static_cast<std::uint32_t>(data.size()), 4) + le(0, 4) + le(54, 4) +
           le(40, 4) + le(w, 4) + le(h, 4) + le(1, 2) + le(24, 2) + le(0, 4) +
           le(static_cast<std::uint32_t>(row * h), 4) + le(2835, 4) + le(2835, 4) + le(0, 4) +
           le(0, 4) + data;
}

std::vector<std::string> jobArgs(Job job) {
    switch (job) {
    case Job::SetupGet:
        return {"setup", "get"};
    case Job::SetupSet:
        return {"setup", "set", "code_page=16"};
    case Job::LogoUpload:
        return {"--yes", "logo", "upload", "a.bmp"};
    case Job::LogoPrint:
        return {"logo", "print", "--select", "1"};
    case Job::Firmware:
        return {"--yes", "firmware", "download", "fw.SHC"};
    case Job::NetSearch:
        return {"net", "search", "--broadcast", "127.255.255.255", "--wait-ms", "300"};
    case Job::NetSet:
        return {"net",       "set",    "--mac",         "00:1A:2B:3C:4D:5E", "--ip",
                "10.0.0.5",  "--mask", "255.255.255.0", "--gateway",         "10.0.0.1",
                "--port",    "9100",   "--yes",         "--broadcast",       "127.255.255.255",
                "--wait-ms", "300"};
    case Job::Korva10:
        return {"--yes", "firmware", "download", "fw.bin", "--area", "boot"};
    }
    return {};
}

// A process's stat line; empty when it ended meanwhile (reading a vanished process's file
// fails with ESRCH, which a file stream reports by throwing).
std::string readProcStat(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    char buf[1024];
    const ssize_t n = ::read(fd, buf, sizeof buf);
    ::close(fd);
    return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
}

// Processes this test process has inherited: a job's own children that outlived it are
// reparented here (the process is their subreaper).
std::vector<pid_t> children() {
    std::vector<pid_t> found;
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return found;
    const std::string self = std::to_string(::getpid());
    while (dirent* e = ::readdir(proc)) {
        if (e->d_name[0] < '1' || e->d_name[0] > '9')
            continue;
        std::string stat = readProcStat(std::string("/proc/") + e->d_name + "/stat");
        std::size_t close = stat.rfind(')');
        if (close == std::string::npos)
            continue;
        std::istringstream rest(stat.substr(close + 2));
        std::string state, ppid;
        rest >> state >> ppid;
        if (ppid == self && state != "Z")
            found.push_back(std::stoi(e->d_name));
    }
    ::closedir(proc);
    return found;
}

struct Observed {
    ProgramResult run;
    bool profileKept = true;
    std::vector<pid_t> leftOver;
};

Observed runCell(Job job, Fault fault, const std::string& link) {
    Observed seen;
    TempDir dir;
    dir.write("a.bmp", logoBmp());
    if (job == Job::Firmware)
        std::ofstream(dir.file("fw.SHC"), std::ios::binary) << firmwareImage();
    if (job == Job::Korva10)
        std::ofstream(dir.file("fw.bin"), std::ios::binary) << firmwareImage().substr(0, 0x200000);
    // A profile as earlier sessions left it: the logo list, the firmware file chosen last time
    // (the download remembers the chosen file before it starts, so the same file is chosen
    // here), and the user setup's own section (written by a run against a file).
    dir.write("korvaset.INI", "[LOGO]\nLogofile1=" + dir.file("a.bmp") +
                                  "\n\n[FWDN20]\nFOLDER=" + dir.file("fw.SHC") +
                                  "\nFILE=fw.SHC\n\n[FWDN15]\nFOLDER=" + dir.file("fw.bin") +
                                  "\nFILE=fw.bin\n");
    if (runProgram(kCtl, {"--port", "FILE:seed.prn", "setup", "set", "margin=8"}, dir.path(),
                   kBoundMs, kEnv)
            .status != 0)
        ADD_FAILURE() << "the profile could not be prepared";
    const std::string profile = readAll(dir.file("korvaset.INI"));
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);

    const std::string model = modelFor(job, link);
    std::vector<std::string> simArgs = {
        "--model",       model, "--leave-busy-ms",   "20",
        "--nv-erase-ms", "30",  "--sector-erase-ms", kSectorEraseMs};
    if (link == "udp")
        simArgs.insert(simArgs.end(), {"--udp", "127.0.0.2"});
    else if (link == "tcp")
        simArgs.insert(simArgs.end(), {"--tcp", "0"});
    else
        simArgs.push_back("--" + link);
    const std::vector<std::string> extra = faultArgs(job, fault, link);
    simArgs.insert(simArgs.end(), extra.begin(), extra.end());
    SimProcess sim(kSim, simArgs, dir.file("report.json"));
    std::string error;
    if (!sim.start(error)) {
        ADD_FAILURE() << error;
        return seen;
    }
    std::vector<std::string> args;
    if (link != "udp") {
        args = simLinkArgs(sim, link);
        if (link == "serial")
            args.insert(args.end(), {"--flow", "none"});
        args.insert(args.end(), {"--model", model});
    }
    const std::vector<std::string> jobPart = jobArgs(job);
    args.insert(args.end(), jobPart.begin(), jobPart.end());
    if (link == "udp" && !guardLoopbackArgs(args))
        return seen;
    seen.run =
        runProgram(kCtl, args, dir.path(), kBoundMs, job == Job::Korva10 ? kKorva10Env : kEnv);
    sim.stop();
    seen.profileKept = readAll(dir.file("korvaset.INI")) == profile;
    seen.leftOver = children();
    return seen;
}

// ---------------------------------------------------------------------------------------------

struct CellCase {
    Job job;
    Fault fault;
    std::string link;
    Outcome expected;
};

std::string caseName(const CellCase& c) {
    std::string name = jobName(c.job) + "_" + faultName(c.fault) + "_" + c.link;
    for (char& ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch)))
            ch = '_';
    return name;
}

std::vector<CellCase> cases(bool network) {
    std::vector<CellCase> all;
    for (const Cell& cell : matrix()) {
        for (const auto& [link, outcome] : cell.byLink)
            if ((link == "udp") == network)
                all.push_back({cell.job, cell.fault, link, outcome});
    }
    return all;
}

void checkCell(const CellCase& c) {
    Observed seen = runCell(c.job, c.fault, c.link);
    const ProgramResult& r = seen.run;
    ASSERT_NE(r.status, -1) << "did not end within " << kBoundMs << " ms\n" << r.err;
    const std::string said = r.err + r.out;
    EXPECT_EQ(r.status, c.expected.status) << said;
    EXPECT_NE(said.find(c.expected.message), std::string::npos)
        << "wanted \"" << c.expected.message << "\" in\n"
        << said;
    if (!c.expected.absent.empty()) {
        EXPECT_EQ(said.find(c.expected.absent), std::string::npos) << said;
    }
    if (r.status != 0) {
        EXPECT_TRUE(seen.profileKept) << "the profile changed although the job failed";
    }
    EXPECT_TRUE(seen.leftOver.empty()) << seen.leftOver.size() << " processes left running";
}

// The cell's name, not its bytes, in CTest's list.
void PrintTo(const CellCase& c, std::ostream* os) {
    *os << caseName(c);
}

class FaultMatrix : public ::testing::TestWithParam<CellCase> {};
class NetFaultMatrix : public ::testing::TestWithParam<CellCase> {
protected:
    void SetUp() override { enterLoopbackNamespace(); }
};

TEST_P(FaultMatrix, Cell) {
    checkCell(GetParam());
}
TEST_P(NetFaultMatrix, Cell) {
    checkCell(GetParam());
}

// The README's table, as text: rows jobs, columns faults; each cell the exit status and the
// message, per link where the links differ.
std::string outcomeText(const Outcome& o) {
    std::string text = std::to_string(o.status) + " \"" + o.message + "\"";
    if (!o.note.empty())
        text += " (" + o.note + ")";
    return text;
}

std::string cellText(const Cell& cell) {
    if (cell.byLink.empty())
        return "n/a: " + cell.why;
    std::vector<std::pair<std::string, std::string>> groups; // outcome -> links
    for (std::string link : {"serial", "parallel", "usb", "tcp", "udp"}) {
        auto it = cell.byLink.find(link);
        if (it == cell.byLink.end())
            continue;
        std::string text = outcomeText(it->second);
        auto g = std::find_if(groups.begin(), groups.end(),
                              [&](const auto& e) { return e.first == text; });
        if (g == groups.end())
            groups.push_back({text, link});
        else
            g->second += ", " + link;
    }
    if (groups.size() == 1)
        return groups[0].first;
    std::string text;
    for (const auto& [outcome, links] : groups)
        text += (text.empty() ? "" : "; ") + links + ": " + outcome;
    return text;
}

std::string readmeTable() {
    std::string table = "| job |";
    std::string rule = "|---|";
    for (const auto& [fault, name] : kFaults) {
        table += " " + name + " |";
        rule += "---|";
    }
    table += "\n" + rule + "\n";
    const std::vector<Cell> cells = matrix();
    for (const auto& [job, name] : kJobs) {
        table += "| " + name + " |";
        for (const auto& [fault, faultName] : kFaults)
            for (const Cell& cell : cells)
                if (cell.job == job && cell.fault == fault)
                    table += " " + cellText(cell) + " |";
        table += "\n";
    }
    return table;
}

TEST(MatrixTable, EveryJobMeetsEveryFaultOnce) {
    const std::vector<Cell> cells = matrix();
    for (const auto& [job, name] : kJobs)
        for (const auto& [fault, faultName] : kFaults) {
            long n = std::count_if(cells.begin(), cells.end(),
                                   [&](const Cell& c) { return c.job == job && c.fault == fault; });
            EXPECT_EQ(n, 1) << name << " / " << faultName;
        }
    for (const Cell& cell : cells)
        EXPECT_NE(cell.byLink.empty(), cell.why.empty())
            << jobName(cell.job) << " / " << faultName(cell.fault);
}

TEST(MatrixTable, ReadmeShowsTheTable) {
    const std::string readme = readAll(kReadme);
    const std::string begin = "<!-- fault matrix: made by tests/matrix -->\n";
    const std::string end = "<!-- end of fault matrix -->";
    std::size_t from = readme.find(begin);
    std::size_t to = readme.find(end);
    ASSERT_NE(from, std::string::npos);
    ASSERT_NE(to, std::string::npos);
    from += begin.size();
    EXPECT_EQ(readme.substr(from, to - from), readmeTable()) << "the README should read:\n"
                                                             << readmeTable();
}

INSTANTIATE_TEST_SUITE_P(Stream, FaultMatrix, ::testing::ValuesIn(cases(false)),
                         [](const auto& cell) { return caseName(cell.param); });
INSTANTIATE_TEST_SUITE_P(Udp, NetFaultMatrix, ::testing::ValuesIn(cases(true)),
                         [](const auto& cell) { return caseName(cell.param); });

} // namespace

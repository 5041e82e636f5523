// korvactl net as a program against korva-sim processes on loopback: the search lists every
// answer once and never its own datagrams, the change reaches only the printer with the MAC,
// refusals send nothing, silence and floods end the search. The test process and every program
// it starts run in a loopback-only network namespace where one can be made; every command line
// passes the loopback guard either way.
#include "ProgramRunner.h"
#include "support/LoopbackNet.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <memory>

using namespace korva::test;

namespace {

const std::string kCtl = KORVACTL_PATH;
const std::string kSim = KORVA_SIM_PATH;
const std::map<std::string, std::string> kEnv = {{"KORVASET_LANGID", "0x0409"}};
const std::string kDone = "The printer has finished searching.";

class KorvactlNet : public ::testing::Test {
protected:
    void SetUp() override { enterLoopbackNamespace(); }

    // A virtual printer answering network records at address (127.0.0.x).
    SimProcess& printer(const std::string& address, std::vector<std::string> options = {}) {
        options.insert(options.begin(), {"--udp", address});
        sims.push_back(
            std::make_unique<SimProcess>(kSim, options, dir.file("sim-" + address + ".json")));
        std::string error;
        EXPECT_TRUE(sims.back()->start(error)) << error;
        return *sims.back();
    }

    ProgramResult net(std::vector<std::string> args) {
        args.insert(args.begin(), "net");
        if (!guardLoopbackArgs(args))
            return {};
        return runProgram(kCtl, args, dir.path(), 60000, kEnv);
    }

    static int lines(const std::string& text) {
        return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
    }

    TempDir dir;
    std::vector<std::unique_ptr<SimProcess>> sims;
};

TEST_F(KorvactlNet, SearchListsEachAnswerOfTwoPrinters) {
    SimProcess& a = printer("127.0.0.2", {"--ip", "192.168.0.200", "--dhcp", "--net-port", "9100"});
    SimProcess& b = printer("127.0.0.3", {"--mac", "02:00:00:00:00:0B", "--ip", "10.1.2.3"});

    ProgramResult json = net({"search", "--broadcast", "127.255.255.255", "--json"});
    ASSERT_EQ(json.status, 0) << json.err;
    EXPECT_NE(json.err.find(kDone), std::string::npos) << json.err;
    nlohmann::json rows = nlohmann::json::parse(json.out);
    ASSERT_EQ(rows.size(), 2u) << json.out;
    std::map<std::string, nlohmann::json> byMac;
    for (const auto& r : rows)
        byMac[r["mac"]] = r;
    ASSERT_EQ(byMac.count("00:1A:2B:3C:4D:5E"), 1u);
    ASSERT_EQ(byMac.count("02:00:00:00:00:0B"), 1u);
    const nlohmann::json& dhcp = byMac["00:1A:2B:3C:4D:5E"];
    EXPECT_EQ(dhcp["ip"], "192.168.0.200");
    EXPECT_TRUE(dhcp["dhcp"].get<bool>());
    EXPECT_EQ(dhcp["port"], 9100);
    EXPECT_EQ(dhcp["from"], "127.0.0.2");
    EXPECT_EQ(byMac["02:00:00:00:00:0B"]["ip"], "10.1.2.3");
    EXPECT_EQ(byMac["02:00:00:00:00:0B"]["from"], "127.0.0.3");

    // The text list; with --all-interfaces as well when loopback is the only interface.
    std::vector<std::string> args = {"search", "--broadcast", "127.255.255.255"};
    if (enterLoopbackNamespace())
        args.push_back("--all-interfaces");
    ProgramResult text = net(args);
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(lines(text.out), 2) << text.out;
    EXPECT_NE(text.out.find("192.168.0.200 (DHCP)   9100  255.255.255.0   192.168.0.1     "
                            "00:1A:2B:3C:4D:5E\n"),
              std::string::npos)
        << text.out;
    EXPECT_EQ(a.stop()["network"]["searches"], 2);
    EXPECT_EQ(b.stop()["network"]["searches"], 2);
}

TEST_F(KorvactlNet, SetChangesOnlyThePrinterWithTheMac) {
    SimProcess& target = printer("127.0.0.2");
    SimProcess& other = printer("127.0.0.3", {"--mac", "02:00:00:00:00:0B"});
    ProgramResult run = net({"set", "--mac", "00:1a:2b:3c:4d:5e", "--ip", "10.0.0.5", "--mask",
                             "255.255.255.0", "--gateway", "10.0.0.1", "--port", "9100", "--dhcp",
                             "--yes", "--broadcast", "127.255.255.255"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("Do you want to change the Network Settings?."), std::string::npos);
    EXPECT_NE(run.err.find("Update Complete.\nPlease wait beep the buzzer."), std::string::npos)
        << run.err;
    nlohmann::json t = target.stop()["network"];
    EXPECT_EQ(t["restarts"], 1);
    EXPECT_EQ(t["record"]["ip"], "10.0.0.5");
    EXPECT_EQ(t["record"]["mask"], "255.255.255.0");
    EXPECT_EQ(t["record"]["gateway"], "10.0.0.1");
    EXPECT_EQ(t["record"]["port"], 9100);
    EXPECT_TRUE(t["record"]["dhcp"].get<bool>());
    EXPECT_EQ(t["malformed"].size(), 0u);
    nlohmann::json o = other.stop()["network"];
    EXPECT_EQ(o["ignored"], 2);
    EXPECT_EQ(o["changes"].size(), 0u);
    EXPECT_EQ(o["record"]["ip"], "192.168.0.254");
}

TEST_F(KorvactlNet, RefusalsAndNoSendNothing) {
    SimProcess& sim = printer("127.0.0.2");
    const std::vector<std::string> good = {"--mac",  "00:1A:2B:3C:4D:5E", "--ip",      "10.0.0.5",
                                           "--mask", "255.255.255.0",     "--gateway", "10.0.0.1"};
    struct Case {
        std::vector<std::string> change; // replaces the value after the option named first
        std::string port;
        bool yes;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {{}, "1023", true, 2, "Please enter PORT number between 1024 ~ 65534."},
        {{}, "65535", true, 2, "Please enter PORT number between 1024 ~ 65534."},
        {{"--mac", "00:1A:2B:3C:4D"}, "9100", true, 2, "The MAC address must be six groups"},
        {{"--mac", "00-1A-2B-3C-4D-5E"}, "9100", true, 2, "The MAC address must be six groups"},
        {{"--gateway", "10.0.0.300"}, "9100", true, 2, "Please enter the IP, Subnet and Gateway"},
        {{}, "9100", false, 1, "Do you want to change the Network Settings?."}, // answered No
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"set"};
        args.insert(args.end(), good.begin(), good.end());
        if (!c.change.empty())
            *(std::find(args.begin(), args.end(), c.change[0]) + 1) = c.change[1];
        args.insert(args.end(), {"--port", c.port, "--broadcast", "127.255.255.255"});
        if (c.yes)
            args.push_back("--yes");
        ProgramResult run = net(args);
        EXPECT_EQ(run.status, c.status) << c.port << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
    ProgramResult bad = net({"search", "--broadcast", "127.255.255.255", "--bind", "127.0.0.256"});
    EXPECT_EQ(bad.status, 2);
    nlohmann::json n = sim.stop()["network"];
    EXPECT_EQ(n["searches"], 0);
    EXPECT_EQ(n["ignored"], 0);
    EXPECT_EQ(n["changes"].size(), 0u);
    EXPECT_EQ(n["malformed"].size(), 0u);
}

TEST_F(KorvactlNet, AddressOptionsAreReadAsNumbersAndABindFailureSaysWhy) {
    printer("127.0.0.2");
    // Leading zeros name the same addresses: the printer, asked directly, answers once.
    ProgramResult zeros =
        net({"search", "--broadcast", "127.0.0.002", "--bind", "127.000.000.001", "--json"});
    ASSERT_EQ(zeros.status, 0) << zeros.err;
    EXPECT_EQ(nlohmann::json::parse(zeros.out).size(), 1u) << zeros.out;
    // An address that is not this PC's cannot be bound; the message gives the system's reason.
    ProgramResult unbound =
        net({"search", "--broadcast", "127.255.255.255", "--bind", "10.9.9.9", "--wait-ms", "100"});
    EXPECT_EQ(unbound.status, 1);
    EXPECT_NE(unbound.err.find("System Error. Please restart this program.\nbind 10.9.9.9:2918 "
                               "failed: Cannot assign requested address"),
              std::string::npos)
        << unbound.err;
}

TEST_F(KorvactlNet, SilenceEndsWithAnEmptyListAndUnansweredChangeFails) {
    ProgramResult search = net({"search", "--broadcast", "127.255.255.255", "--wait-ms", "300"});
    EXPECT_EQ(search.status, 0) << search.err;
    EXPECT_EQ(search.out, "");
    EXPECT_NE(search.err.find(kDone), std::string::npos);
    ProgramResult set = net({"set", "--mac", "00:1A:2B:3C:4D:5E", "--ip", "10.0.0.5", "--mask",
                             "255.255.255.0", "--gateway", "10.0.0.1", "--port", "515", "--yes",
                             "--broadcast", "127.255.255.255", "--wait-ms", "300"});
    EXPECT_EQ(set.status, 1);
    EXPECT_NE(set.err.find("no printer answered"), std::string::npos) << set.err;
}

TEST_F(KorvactlNet, FloodStopsAt254AndBadDatagramsAreIgnored) {
    printer("127.0.0.2",
            {"--udp-answers", "300", "--udp-noise", "short", "long", "garbage", "--seed", "7"});
    // Bound to loopback's own address the tool does not hear its own broadcast, so all 254
    // datagrams it takes are the printer's: the three bad ones and 251 answers.
    ProgramResult run =
        net({"search", "--broadcast", "127.255.255.255", "--bind", "127.0.0.1", "--json"});
    ASSERT_EQ(run.status, 0) << run.err;
    nlohmann::json rows = nlohmann::json::parse(run.out);
    EXPECT_EQ(rows.size(), 251u);
}

} // namespace

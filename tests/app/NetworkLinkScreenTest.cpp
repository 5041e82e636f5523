#include "network/NetworkLinkScreen.h"

#include "base/Clock.h"
#include "base/ErrorLog.h"
#include "base/MessageCatalogue.h"
#include "base/RecordingPrompter.h"
#include "network/ConnectionProbe.h"
#include "network/EthernetSettings.h"
#include "network/PrinterSocket.h"
#include "network/WifiModule.h"
#include "support/TempDir.h"

#include <arpa/inet.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace korva;

#ifndef KORVA_TEST_WIFI_PLUGIN
#error "KORVA_TEST_WIFI_PLUGIN names the stand-in module"
#endif

namespace {

struct FakeLink : NetworkLinkHost {
    ProbeResult result = ProbeResult::Reachable;
    bool settingsScreen = true;
    std::vector<std::string> events;
    EthernetSettings* settings = nullptr;

    ProbeResult probePrinter() override {
        events.push_back("probe " + settings->ipAddress + ":" +
                         std::to_string(settings->acceptedPort));
        return result;
    }
    void closeSocket() override { events.push_back("close"); }
    bool networkSettingsAvailable() const override { return settingsScreen; }
    void runNetworkSettings() override { events.push_back("network settings"); }
    unsigned long windowId() const override { return 0x2a00017; }
};

// The real socket and probe, as the desktop program wires them.
struct SocketLink : FakeLink {
    PrinterSocket& socket;
    Clock& clock;
    SocketLink(PrinterSocket& s, Clock& c) : socket(s), clock(c) {}
    ProbeResult probePrinter() override {
        return probeConnection(socket, *settings, clock, kSettleMs);
    }
    void closeSocket() override { socket.Close(); }
};

// A listening loopback socket on a port the system chose.
struct Listener {
    int fd = -1;
    int port = 0;
    Listener() {
        fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        listen(fd, 4);
        socklen_t len = sizeof a;
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
        port = ntohs(a.sin_port);
    }
    ~Listener() { close(); }
    void close() {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
};

// Takes every file descriptor the process may still open, under a lowered limit, and gives
// them back on destruction.
struct NoDescriptorsLeft {
    rlimit saved{};
    std::vector<int> taken;
    NoDescriptorsLeft() {
        getrlimit(RLIMIT_NOFILE, &saved);
        rlimit low = saved;
        low.rlim_cur = std::min<rlim_t>(saved.rlim_cur, 256);
        setrlimit(RLIMIT_NOFILE, &low);
        int first = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (first >= 0)
            taken.push_back(first);
        for (int fd; first >= 0 && (fd = fcntl(first, F_DUPFD_CLOEXEC, 0)) >= 0;)
            taken.push_back(fd);
    }
    ~NoDescriptorsLeft() {
        for (int fd : taken)
            ::close(fd);
        setrlimit(RLIMIT_NOFILE, &saved);
    }
};

class NetworkLinkScreenTest : public ::testing::Test {
protected:
    test::TempDir dir;
    ErrorLog log;
    EthernetSettings settings;
    MessageCatalogue catalogue;
    RecordingPrompter prompter;
    WifiModule missingWifi{log, dir.file("no-such-module.so")};
    FakeLink link;

    NetworkLinkScreen screen(NetworkLinkHost& host, WifiModule& wifi) {
        return NetworkLinkScreen(settings, catalogue, prompter, wifi, host);
    }
};

const char* const kPortMessage = "Please enter PORT number between 1024 ~ 65534.";

} // namespace

TEST_F(NetworkLinkScreenTest, EthernetModeOpensWithTheDefaultAddress) {
    link.settings = &settings;
    NetworkLinkScreen s = screen(link, missingWifi);
    s.open("ETHERNET_II", 0x0409);
    const NetworkLinkView& v = s.view();
    EXPECT_FALSE(v.wlan);
    EXPECT_EQ(v.title, "Ethernet-II Network");
    EXPECT_EQ(v.ipText, "192.168.0.254");
    EXPECT_EQ(v.portText, "6001");
    EXPECT_EQ(v.firstCaption, "Network Setting");
    EXPECT_EQ(v.secondCaption, "Reserved");
    EXPECT_TRUE(v.firstEnabled);
    EXPECT_FALSE(v.secondEnabled);
    s.firstButton();
    s.secondButton();
    EXPECT_EQ(link.events, std::vector<std::string>{"network settings"});

    link.settingsScreen = false;
    s.open("ETHERNET_II", 0x0412);
    EXPECT_FALSE(s.view().firstEnabled);
    EXPECT_EQ(s.view().firstCaption, "네트워크 설정");
    EXPECT_EQ(s.view().cancelCaption, "취소");
}

TEST_F(NetworkLinkScreenTest, WlanModeOffersTheWifiModulesTwoCalls) {
    link.settings = &settings;
    NetworkLinkScreen s = screen(link, missingWifi);
    s.open("WIFI", 0x0412);
    EXPECT_TRUE(s.view().wlan);
    EXPECT_EQ(s.view().title, "WLAN(WiFi) Network");
    EXPECT_EQ(s.view().firstCaption, "Infrastructure");
    EXPECT_EQ(s.view().secondCaption, "Limited AP");
    EXPECT_TRUE(s.view().secondEnabled);
    EXPECT_EQ(s.view().cancelCaption, "취소");
}

TEST_F(NetworkLinkScreenTest, ThePortMustBeInRangeOr515) {
    struct Row {
        const char* text;
        bool accepted;
    } rows[] = {{"515", true},         {"1024", true},   {"65534", true}, {" 9100 ", true},
                {"1023", false},       {"65535", false}, {"0", false},    {"-515", false},
                {"516", false},        {"abc", false},   {"", false},     {"12ab", false},
                {"99999999999", false}};
    link.settings = &settings;
    for (const Row& r : rows) {
        prompter.clear();
        link.events.clear();
        settings.acceptedPort = 6001;
        NetworkLinkScreen s = screen(link, missingWifi);
        s.open("ETHERNET_II", 0x0409);
        s.ok("127.0.0.1", r.text);
        EXPECT_EQ(s.view().accepted, r.accepted) << r.text;
        if (r.accepted) {
            EXPECT_TRUE(prompter.messages().empty()) << r.text;
            EXPECT_EQ(settings.acceptedPort, std::stoi(r.text));
            EXPECT_EQ(link.events.back(), "close");
        } else {
            EXPECT_EQ(prompter.messages(), std::vector<std::string>{kPortMessage}) << r.text;
            EXPECT_TRUE(link.events.empty()) << r.text;
            EXPECT_EQ(settings.acceptedPort, 6001) << r.text;
        }
    }
}

TEST_F(NetworkLinkScreenTest, TheAddressMustBeFourNumbersAndIsKeptPlain) {
    struct Row {
        const char* text;
        const char* kept; // nullptr: refused
    } rows[] = {{"10.1.2.3", "10.1.2.3"},
                {" 010.001.002.003 ", "10.1.2.3"},
                {"10.1.2", nullptr},
                {"10.1.2.256", nullptr},
                {"10.1.2.3.", nullptr},
                {"10.1.2.3.4", nullptr},
                {"", nullptr},
                {"printer.local", nullptr}};
    link.settings = &settings;
    for (const Row& r : rows) {
        prompter.clear();
        link.events.clear();
        settings = EthernetSettings{};
        NetworkLinkScreen s = screen(link, missingWifi);
        s.open("ETHERNET_II", 0x0409);
        s.ok(r.text, "9100");
        EXPECT_EQ(s.view().accepted, r.kept != nullptr) << r.text;
        if (r.kept) {
            EXPECT_EQ(settings.ipAddress, r.kept);
            EXPECT_EQ(link.events.front(), std::string("probe ") + r.kept + ":9100");
            continue;
        }
        ASSERT_EQ(prompter.messages().size(), 1u) << r.text;
        EXPECT_EQ(prompter.messages()[0].rfind("Please enter the IP address as four numbers", 0),
                  0u)
            << r.text;
        EXPECT_TRUE(link.events.empty()) << r.text;
        EXPECT_EQ(settings.ipAddress, "192.168.0.254") << r.text;
        EXPECT_EQ(settings.port, 6001) << r.text;
    }
}

TEST_F(NetworkLinkScreenTest, AFailedProbeKeepsTheScreenOpenWithTheTypedValues) {
    struct Row {
        ProbeResult result;
        const char* message;
    } rows[] = {{ProbeResult::Unreachable, "ERROR : Printer check."},
                {ProbeResult::NoSocket, "Init Fail"}};
    link.settings = &settings;
    for (const Row& r : rows) {
        prompter.clear();
        link.events.clear();
        link.result = r.result;
        NetworkLinkScreen s = screen(link, missingWifi);
        s.open("ETHERNET_II", 0x0409);
        s.ok("10.1.2.3", "9100");
        EXPECT_FALSE(s.view().accepted);
        EXPECT_EQ(prompter.messages(), std::vector<std::string>{r.message});
        EXPECT_EQ(link.events, (std::vector<std::string>{"probe 10.1.2.3:9100", "close"}));

        // Reopened, the screen shows what was typed last.
        s.open("ETHERNET_II", 0x0409);
        EXPECT_EQ(s.view().ipText, "10.1.2.3");
        EXPECT_EQ(s.view().portText, "9100");
    }
}

TEST_F(NetworkLinkScreenTest, WithoutTheModuleTheNoticeIsFollowedByNotAvailable) {
    link.settings = &settings;
    NetworkLinkScreen s = screen(link, missingWifi);
    s.open("WIFI", 0x0409);
    s.firstButton();
    s.secondButton();
    auto shown = prompter.shown();
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown[0].text, "Turn on the printer and Connect a USB cable.");
    EXPECT_EQ(shown[0].caption, "Notice");
    EXPECT_NE(shown[1].text.find("not available"), std::string::npos);
    EXPECT_EQ(shown[2].text, shown[0].text);

    prompter.clear();
    s.open("WIFI", 0x0412);
    s.firstButton();
    ASSERT_EQ(prompter.shown().size(), 2u);
    EXPECT_EQ(prompter.shown()[0].text, "프린터를 켜고 USB케이블을 연결하십시오.");
    EXPECT_EQ(prompter.shown()[0].caption, "알림");
}

TEST_F(NetworkLinkScreenTest, TheModuleIsCalledWithTheWindowAfterTheNotice) {
    link.settings = &settings;
    WifiModule wifi(log, KORVA_TEST_WIFI_PLUGIN);
    NetworkLinkScreen s = screen(link, wifi);
    s.open("WIFI", 0x0409);
    s.firstButton();
    s.secondButton();
    s.secondButton();
    EXPECT_EQ(prompter.messages(),
              std::vector<std::string>(3, "Turn on the printer and Connect a USB cable."));

    void* plugin = dlopen(KORVA_TEST_WIFI_PLUGIN, RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(plugin, nullptr);
    auto* infrastructure = static_cast<int*>(dlsym(plugin, "korva_test_wifi_infrastructure_calls"));
    auto* limited = static_cast<int*>(dlsym(plugin, "korva_test_wifi_limited_ap_calls"));
    auto* window = static_cast<unsigned long*>(dlsym(plugin, "korva_test_wifi_last_window"));
    ASSERT_TRUE(infrastructure && limited && window);
    EXPECT_EQ(*infrastructure, 1);
    EXPECT_EQ(*limited, 2);
    EXPECT_EQ(*window, 0x2a00017ul);
    dlclose(plugin);
}

TEST_F(NetworkLinkScreenTest, TheProbeReachesALoopbackPrinterAndMissesAClosedPort) {
    PrinterSocket socket(log, catalogue, prompter);
    VirtualClock clock;
    SocketLink real(socket, clock);
    real.settings = &settings;
    Listener printer;
    NetworkLinkScreen s = screen(real, missingWifi);
    s.open("ETHERNET_II", 0x0409);
    s.ok("127.000.000.001", std::to_string(printer.port)); // as typed, with leading zeros
    EXPECT_TRUE(s.view().accepted);
    EXPECT_TRUE(prompter.messages().empty());
    EXPECT_FALSE(socket.connected()); // left closed for the tools

    int closedPort = printer.port;
    printer.close();
    clock.clearSleeps();
    s.open("ETHERNET_II", 0x0409);
    s.ok("127.0.0.1", std::to_string(closedPort));
    EXPECT_FALSE(s.view().accepted);
    EXPECT_EQ(prompter.messages(), std::vector<std::string>{"ERROR : Printer check."});
    // The settling wait, then ten attempts, in virtual time.
    std::vector<int> waits(11, 50);
    waits[0] = 10;
    EXPECT_EQ(clock.sleeps(), waits);

    // No descriptor left for a socket: the socket support fails, at once.
    prompter.clear();
    clock.clearSleeps();
    {
        NoDescriptorsLeft exhausted;
        s.open("ETHERNET_II", 0x0409);
        s.ok("127.0.0.1", std::to_string(closedPort));
    }
    EXPECT_FALSE(s.view().accepted);
    EXPECT_EQ(prompter.messages(), std::vector<std::string>{"Init Fail"});
    EXPECT_TRUE(clock.sleeps().empty());
}

// Runs the korva-sim program as a user would: reads its link lines up to "ready", talks to it
// by hand over its pseudo-terminal, stops it with SIGTERM and reads the report it wrote.
#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "sim/SimTestSupport.h"
#include "support/Bytes.h"
#include "support/TempDir.h"

extern char** environ;

namespace korva {
namespace {

class Program {
public:
    explicit Program(std::vector<std::string> args) {
        int out[2];
        if (::pipe(out) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        std::vector<char*> argv;
        args.insert(args.begin(), KORVA_SIM_PROGRAM);
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (::posix_spawn(&m_pid, KORVA_SIM_PROGRAM, &actions, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        m_out = out[0];
    }
    ~Program() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_out >= 0)
            ::close(m_out);
    }

    // The lines printed before "ready" (bounded wait).
    std::vector<std::string> linesUntilReady(int timeoutMs) {
        std::vector<std::string> lines;
        std::string pending;
        for (;;) {
            auto chunk = test::readFd(m_out, 1, timeoutMs);
            if (chunk.empty())
                return lines;
            if (chunk[0] != '\n') {
                pending += static_cast<char>(chunk[0]);
                continue;
            }
            if (pending == "ready")
                return lines;
            lines.push_back(pending);
            pending.clear();
        }
    }

    int terminate() {
        ::kill(m_pid, SIGTERM);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    bool started() const { return m_pid > 0; }

private:
    pid_t m_pid = -1;
    int m_out = -1;
};

TEST(KorvaSimProgram, ServesAQueryByHandAndReportsOnSigterm) {
    test::TempDir dir;
    Program sim({"--serial", "--tcp", "0", "--report", dir.file("r.json")});
    ASSERT_TRUE(sim.started());
    auto lines = sim.linesUntilReady(5000);
    ASSERT_EQ(lines.size(), 2u);
    ASSERT_EQ(lines[0].rfind("serial /dev/", 0), 0u) << lines[0];
    ASSERT_EQ(lines[1].rfind("tcp 127.0.0.1:", 0), 0u) << lines[1];
    EXPECT_GT(std::stoi(lines[1].substr(14)), 0);

    test::PtyClient port(lines[0].substr(7));
    ASSERT_TRUE(port.ok());
    ASSERT_TRUE(port.write(test::bytes("1D 28 45 02 00 06 F9")));
    EXPECT_EQ(test::hex(port.read(10, 2000)), "37 27 32 34 39 1F 32 32 30 00");

    EXPECT_EQ(sim.terminate(), 0);
    std::ifstream in(dir.file("r.json"));
    ASSERT_TRUE(in);
    nlohmann::json report = nlohmann::json::parse(in, nullptr, false);
    ASSERT_FALSE(report.is_discarded());
    ASSERT_EQ(report["commands"].size(), 1u);
    EXPECT_EQ(report["commands"][0]["cmd"], "setup-query");
    EXPECT_EQ(report["commands"][0]["number"], 249);
    EXPECT_EQ(report["commands"][0]["reply"], "220");
    EXPECT_EQ(report["links"]["serial"], lines[0].substr(7));
}

TEST(KorvaSimProgram, DecodesACapturedFile) {
    test::TempDir dir;
    dir.write("capture.prn", std::string("\x1b@\x1d(E\x02\x00\x06\xfa\x02", 10));
    Program sim({"decode", dir.file("capture.prn"), "--report", dir.file("d.json")});
    ASSERT_TRUE(sim.started());
    sim.linesUntilReady(5000); // prints nothing; returns when the program ends
    EXPECT_EQ(sim.terminate(), 0);
    nlohmann::json report = nlohmann::json::parse(dir.read("d.json"), nullptr, false);
    ASSERT_FALSE(report.is_discarded());
    EXPECT_EQ(test::commandNames(report, "file"),
              (std::vector<std::string>{"init", "setup-query"}));
    EXPECT_EQ(report["undecodable"][0]["hex"], "02");
    EXPECT_EQ(test::accountingGaps(report, "file"), "");
}

} // namespace
} // namespace korva

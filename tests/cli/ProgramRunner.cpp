#include "ProgramRunner.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace korva::test {

namespace {

std::vector<char*> argv(const std::string& program, const std::vector<std::string>& args) {
    std::vector<char*> v;
    v.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args)
        v.push_back(const_cast<char*>(a.c_str()));
    v.push_back(nullptr);
    return v;
}

// Waits for pid up to timeoutMs; kills it when it is still running then.
int waitBounded(pid_t pid, int timeoutMs) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int status = 0;
        pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (r < 0 && errno != EINTR)
            return -1;
        if (std::chrono::steady_clock::now() >= until) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        ::usleep(2000);
    }
}

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace

ProgramResult runProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::string& dir, int timeoutMs,
                         const std::map<std::string, std::string>& env,
                         const std::function<void(pid_t)>& during) {
    ProgramResult result;
    const std::string outPath = dir + "/.stdout", errPath = dir + "/.stderr";
    pid_t pid = ::fork();
    if (pid < 0)
        return result;
    if (pid == 0) {
        if (::chdir(dir.c_str()) != 0)
            ::_exit(126);
        int in = ::open("/dev/null", O_RDONLY);
        int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0)
            ::_exit(126);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        for (const auto& [k, v] : env)
            ::setenv(k.c_str(), v.c_str(), 1);
        auto v = argv(program, args);
        ::execv(program.c_str(), v.data());
        ::_exit(127);
    }
    if (during)
        during(pid);
    result.status = waitBounded(pid, timeoutMs);
    result.out = slurp(outPath);
    result.err = slurp(errPath);
    return result;
}

SimProcess::SimProcess(std::string program, std::vector<std::string> args, std::string report)
    : m_program(std::move(program)), m_args(std::move(args)), m_report(std::move(report)) {
    m_args.push_back("--report");
    m_args.push_back(m_report);
}

SimProcess::~SimProcess() {
    if (m_pid > 0)
        stop();
}

bool SimProcess::start(std::string& error) {
    int fds[2];
    if (::pipe(fds) != 0) {
        error = "pipe failed";
        return false;
    }
    m_pid = ::fork();
    if (m_pid < 0) {
        error = "fork failed";
        return false;
    }
    if (m_pid == 0) {
        ::dup2(fds[1], 1);
        ::close(fds[0]);
        ::close(fds[1]);
        auto v = argv(m_program, m_args);
        ::execv(m_program.c_str(), v.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    m_out = fds[0];
    std::string text;
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (text.find("ready\n") == std::string::npos) {
        if (std::chrono::steady_clock::now() >= until) {
            error = "korva-sim printed no ready line: " + text;
            return false;
        }
        pollfd p{m_out, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        char buf[512];
        ssize_t n = ::read(m_out, buf, sizeof buf);
        if (n <= 0) {
            error = "korva-sim ended: " + text;
            return false;
        }
        text.append(buf, static_cast<std::size_t>(n));
    }
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::size_t sp = line.find(' ');
        if (sp != std::string::npos)
            m_links[line.substr(0, sp)] = line.substr(sp + 1);
    }
    return true;
}

nlohmann::json SimProcess::stop() {
    if (m_pid <= 0)
        return {};
    ::kill(m_pid, SIGTERM);
    waitBounded(m_pid, 10000);
    m_pid = -1;
    if (m_out >= 0)
        ::close(m_out);
    m_out = -1;
    std::ifstream in(m_report);
    nlohmann::json report = nlohmann::json::parse(in, nullptr, false);
    return report;
}

std::string SimProcess::link(const std::string& name) const {
    auto it = m_links.find(name);
    return it == m_links.end() ? "" : it->second;
}

std::vector<std::string> simLinkArgs(const SimProcess& sim, const std::string& name) {
    const std::string where = sim.link(name);
    if (name == "serial")
        return {"--port", where};
    if (name == "parallel")
        return {"--port", "LPT:" + where};
    if (name == "usb") {
        std::istringstream words(where);
        std::string pts, s, sys, d, dev;
        words >> pts >> s >> sys >> d >> dev;
        return {"--port", "USB", "--sysfs", sys, "--dev", dev};
    }
    return {"--port",    "ETHERNET_II", "--ip",
            "127.0.0.1", "--tcp-port",  where.substr(where.find(':') + 1)};
}

} // namespace korva::test

#pragma once
// Runs korvactl and korva-sim as real processes for the end-to-end tests: started by their
// process id, stopped with SIGTERM, every wait bounded.
#include <nlohmann/json.hpp>

#include <functional>
#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

namespace korva::test {

struct ProgramResult {
    int status = -1; // exit status; -1 when it did not end by itself in time (it was killed)
    std::string out, err;
};

// Runs program with args in dir, standard input from /dev/null; kills it after timeoutMs.
// during, when given, is called with the program's process id once it has started (to signal
// it mid-run); the wait for its end follows.
ProgramResult runProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::string& dir, int timeoutMs = 60000,
                         const std::map<std::string, std::string>& env = {},
                         const std::function<void(pid_t)>& during = {});

// korva-sim with the given options and a report file; start() returns once it printed "ready".
class SimProcess {
public:
    SimProcess(std::string program, std::vector<std::string> args, std::string reportPath);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    bool start(std::string& error);
    // SIGTERM, wait, then the report it wrote.
    nlohmann::json stop();

    // The link lines it printed: "serial" -> "/dev/pts/7", "tcp" -> "127.0.0.1:6001", "usb" ->
    // "/dev/pts/9 sysfs DIR/sys dev DIR/dev".
    std::string link(const std::string& name) const;

private:
    std::string m_program;
    std::vector<std::string> m_args;
    std::string m_report;
    pid_t m_pid = -1;
    int m_out = -1;
    std::map<std::string, std::string> m_links;
};

// korvactl's port options for one of the simulator's links ("serial", "parallel", "usb", "tcp").
std::vector<std::string> simLinkArgs(const SimProcess& sim, const std::string& name);

} // namespace korva::test

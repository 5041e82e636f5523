// Whole-process timing for the benchmark table: runs a program RUNS times, each with its output
// thrown away, and prints the median and the fastest wall time in milliseconds, the largest
// peak resident set in KiB and the median CPU time (user + system) in milliseconds, as
// "median_ms min_ms peak_kib cpu_ms". The CPU time stays near the truth on a busy machine,
// where the wall time also counts the waits for a core. A run that fails ends the program with
// status 1, so a figure never stands for a command that did not do its work.
//
//   bench_process_times RUNS PROGRAM [ARGS...]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Run {
    bool ok = false;
    double ms = 0;
    double cpuMs = 0;
    long peakKib = 0;
};

Run runOnce(char** argv) {
    Run run;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = ::fork();
    if (pid == 0) {
        int null = ::open("/dev/null", O_RDWR);
        if (null >= 0) {
            ::dup2(null, STDIN_FILENO);
            ::dup2(null, STDOUT_FILENO);
            ::dup2(null, STDERR_FILENO);
        }
        ::execvp(argv[0], argv);
        ::_exit(127);
    }
    if (pid < 0)
        return run;
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid)
        return run;
    run.ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    run.peakKib = usage.ru_maxrss;
    auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    run.cpuMs = ms(usage.ru_utime) + ms(usage.ru_stime);
    return run;
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc >= 3 ? std::atoi(argv[1]) : 0;
    if (runs < 1) {
        std::fprintf(stderr, "usage: %s RUNS PROGRAM [ARGS...]\n", argv[0]);
        return 2;
    }
    std::vector<double> times, cpu;
    long peak = 0;
    for (int i = 0; i < runs; ++i) {
        Run run = runOnce(argv + 2);
        if (!run.ok) {
            std::fprintf(stderr, "%s: %s failed\n", argv[0], argv[2]);
            return 1;
        }
        times.push_back(run.ms);
        cpu.push_back(run.cpuMs);
        peak = std::max(peak, run.peakKib);
    }
    auto median = [](std::vector<double>& v) {
        std::sort(v.begin(), v.end());
        const std::size_t n = v.size();
        return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    };
    const double wall = median(times);
    std::printf("%.2f %.2f %ld %.2f\n", wall, times.front(), peak, median(cpu));
    return 0;
}

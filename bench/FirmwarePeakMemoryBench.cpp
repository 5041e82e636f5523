// The peak memory of korvactl firmware download: the program runs as a child process sending a
// program area to a FILE port, and its peak resident set is read from the kernel. The design
// holds two buffers (the 8 MiB image and one frame), so the peak should stay near their sum
// plus the program's own baseline (measured with korvactl --version).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Peak resident set of one run of korvactl with args, in KiB; -1 when it failed.
long peakKib(const std::string& dir, const std::vector<std::string>& args) {
    pid_t pid = ::fork();
    if (pid == 0) {
        if (::chdir(dir.c_str()) != 0)
            ::_exit(127);
        // Its output would run into the benchmark's own (a JSON report, for one).
        int null = ::open("/dev/null", O_RDWR);
        if (null >= 0) {
            ::dup2(null, STDOUT_FILENO);
            ::dup2(null, STDERR_FILENO);
        }
        std::vector<char*> argv{const_cast<char*>(KORVACTL_PATH)};
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::setenv("KORVACTL_PAUSE_SCALE", "1000", 1);
        ::execv(KORVACTL_PATH, argv.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
        return -1;
    return usage.ru_maxrss;
}

void BM_FirmwareDownloadPeakMemory(benchmark::State& state) {
    auto dir =
        std::filesystem::temp_directory_path() / ("korva-fw-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    {
        std::string image(0x800000, '\x5A');
        image.replace(0x7FFFFC, 4, "QOLT");
        std::ofstream(dir / "fw.SHC", std::ios::binary) << image;
    }
    long base = 0, peak = 0;
    for (auto _ : state) {
        base = peakKib(dir, {"--version"});
        peak = peakKib(dir, {"--model", "KORVA40S", "--port", "FILE:out.bin", "firmware",
                             "download", "fw.SHC"});
        if (base < 0 || peak < 0) {
            state.SkipWithError("korvactl failed");
            break;
        }
    }
    state.counters["peak_KiB"] = static_cast<double>(peak);
    state.counters["baseline_KiB"] = static_cast<double>(base);
    state.counters["added_KiB"] = static_cast<double>(peak - base);
    state.counters["two_buffers_KiB"] = (0x800000 + 0xD0000 + 10) / 1024.0;
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_FirmwareDownloadPeakMemory)->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

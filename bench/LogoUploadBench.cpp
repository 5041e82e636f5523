// The longest logo job: 255 images in one NV definition with korvactl, with the printer's real
// pauses (the 3.5 s erase wait, 10 ms after every chunk, one image per 10 ms timer step).
// - to a FILE port: nothing but the pauses and the conversion;
// - over a pseudo-terminal to korva-sim at a set line rate (the printer takes at most
//   baud / 10 bytes a second), timed until the printer has received every byte.
// The floor is what the pauses and the line allow: the erase wait, then the larger of the
// per-image pauses and the transfer time (bytes x 10 / baud), since the port's buffer lets
// bytes go out while the program pauses; the plain sum of the two is reported as well.
#include "cli/ProgramRunner.h"
#include "logo/BmpWriter.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace korva::test;
using Clock = std::chrono::steady_clock;

constexpr int kImages = 255;
constexpr int kBaud = 115200;
// 64 x 32 dots: 256 data bytes, one chunk (one 10 ms pause) per image.
constexpr int kWidth = 64, kHeight = 32;
constexpr double kImageBytes = kWidth * kHeight / 8 + 4;
constexpr double kEraseWaitS = 3.5;
constexpr double kPerImagePauseS = 0.010 + 0.010; // the chunk pause and the timer step

struct Folder {
    Folder() {
        path = (std::filesystem::temp_directory_path() /
                ("korva-logo-bench-" + std::to_string(::getpid())))
                   .string();
        std::filesystem::create_directories(path);
        for (int i = 0; i < kImages; ++i) {
            const int seed = i;
            auto picture = makePicture(kWidth, kHeight, {{0, 0, 0, 0}, {255, 255, 255, 0}},
                                       [](int x, int y) { return (x / 4 + y / 4) & 1; });
            picture.index[static_cast<std::size_t>(seed % (kWidth * kHeight))] ^= 1;
            std::ofstream(path + "/" + std::to_string(i + 1) + ".bmp", std::ios::binary)
                << asString(writeBmp(picture, BmpLayout::Bits1));
            files.push_back(std::to_string(i + 1) + ".bmp");
        }
    }
    ~Folder() { std::filesystem::remove_all(path); }
    std::string path;
    std::vector<std::string> files;
};

double seconds(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

void report(benchmark::State& state, double tool, double total, double transfer) {
    const double pauses = kImages * kPerImagePauseS;
    const double floor = kEraseWaitS + std::max(pauses, transfer);
    state.counters["tool_s"] = tool;
    state.counters["total_s"] = total;
    state.counters["floor_s"] = floor;
    state.counters["sum_floor_s"] = kEraseWaitS + pauses + transfer;
    state.counters["over_floor"] = total / floor;
}

std::vector<std::string> uploadArgs(const Folder& folder, std::vector<std::string> port) {
    std::vector<std::string> args = {"--model", "KORVA40S"};
    args.insert(args.end(), port.begin(), port.end());
    args.insert(args.end(), {"--yes", "logo", "upload"});
    args.insert(args.end(), folder.files.begin(), folder.files.end());
    return args;
}

void BM_Upload255ToFile(benchmark::State& state) {
    Folder folder;
    double tool = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        ProgramResult run =
            runProgram(KORVACTL_PATH, uploadArgs(folder, {"--port", "FILE:out.bin"}), folder.path);
        tool = seconds(start);
        if (run.status != 0) {
            state.SkipWithError(("korvactl failed: " + run.err).c_str());
            return;
        }
    }
    report(state, tool, tool, 0);
    state.counters["bytes"] =
        static_cast<double>(std::filesystem::file_size(folder.path + "/out.bin"));
}
BENCHMARK(BM_Upload255ToFile)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

void BM_Upload255OverPtyToSim(benchmark::State& state) {
    Folder folder;
    double tool = 0, total = 0;
    long received = 0;
    for (auto _ : state) {
        SimProcess sim(
            KORVA_SIM_PATH,
            {"--model", "KORVA40S", "--serial", "--bytes-per-second", std::to_string(kBaud / 10)},
            folder.path + "/report.json");
        std::string error;
        if (!sim.start(error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        const auto start = Clock::now();
        ProgramResult run =
            runProgram(KORVACTL_PATH,
                       uploadArgs(folder, {"--port", sim.link("serial"), "--baud",
                                           std::to_string(kBaud), "--flow", "none"}),
                       folder.path, 120000);
        tool = seconds(start);
        // The printer takes in whatever is still on its way before it reports.
        nlohmann::json r = sim.stop();
        total = seconds(start);
        if (run.status != 0 || !r.contains("nvImages") || r["nvImages"].size() != kImages) {
            state.SkipWithError(("upload failed: " + run.err).c_str());
            return;
        }
        received = r["received"]["serial"].get<long>();
    }
    report(state, tool, total, received * 10.0 / kBaud);
    state.counters["bytes"] = static_cast<double>(received);
    state.counters["image_bytes"] = kImages * kImageBytes;
}
BENCHMARK(BM_Upload255OverPtyToSim)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();

// korvactl killed (SIGKILL) at random moments while it rewrites a large profile: every time,
// the profile is the one before the write or the one after it, never a mixture or a cut file.
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace korva::test;

namespace {

const std::string kCtl = KORVACTL_PATH;

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A profile of about 2 MiB (the logo list of a busy shop and much else), so each rewrite takes
// long enough to be cut; korvactl firmware download stores the image's full path, then its name.
std::string profileText(const std::string& folder, const std::string& file) {
    std::string text = "[LOGO]\n";
    for (int i = 1; i <= 20000; ++i)
        text += "Logofile" + std::to_string(i) + "=/srv/shop/logos/season/" + std::to_string(i) +
                "/logo-with-a-long-name-" + std::to_string(i * 7) + ".bmp\n";
    text += "[FWDN20]\nFOLDER=" + folder + "\nFILE=" + file + "\n";
    return text;
}

// Starts korvactl in dir with its output discarded; returns its process id.
pid_t startCtl(const std::string& dir, const std::vector<std::string>& args) {
    std::vector<char*> argv;
    std::string program = kCtl;
    argv.push_back(program.data());
    std::vector<std::string> copy = args;
    for (std::string& a : copy)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = ::fork();
    if (pid == 0) {
        int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
        if (::chdir(dir.c_str()) != 0)
            ::_exit(126);
        ::setenv("KORVASET_LANGID", "0x0409", 1);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

int waitFor(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

std::size_t temporaries(const TempDir& dir) {
    std::size_t n = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        n += e.path().filename().string().starts_with("korvaset.INI.") ? 1 : 0;
    return n;
}

} // namespace

TEST(KorvactlProfile, KilledDuringAWriteLeavesTheOldOrTheNewFile) {
    TempDir dir;
    const std::string ini = dir.file("korvaset.INI");
    std::string current = profileText("start", "start");
    std::ofstream(ini, std::ios::binary) << current;

    auto args = [](const std::string& image) {
        return std::vector<std::string>{"--model",  "KORVA30S", "--port", "FILE:out.bin",
                                        "firmware", "download", image};
    };
    // One run left alone tells how long a run lasts; the kills fall anywhere in that time.
    const auto begin = std::chrono::steady_clock::now();
    const int status = waitFor(startCtl(dir.path(), args("fw0.SHC")));
    const auto lifetime = std::chrono::steady_clock::now() - begin;
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1) << "no such image";
    current = readAll(ini);
    ASSERT_EQ(current, profileText(dir.file("fw0.SHC"), "fw0.SHC"));

    std::mt19937 random(7);
    const long longest = std::max<long>(
        1000, std::chrono::duration_cast<std::chrono::microseconds>(lifetime).count() * 5 / 4);
    int killed = 0, between = 0;
    std::string folder = dir.file("fw0.SHC"), file = "fw0.SHC"; // what the profile holds
    for (int run = 1; run <= 80; ++run) {
        const std::string image = "fw" + std::to_string(run) + ".SHC";
        const pid_t pid = startCtl(dir.path(), args(image));
        ASSERT_GT(pid, 0);
        std::this_thread::sleep_for(std::chrono::microseconds(random() % longest));
        ::kill(pid, SIGKILL);
        if (WIFSIGNALED(waitFor(pid)))
            ++killed;
        const std::string now = readAll(ini);
        const std::string before = profileText(folder, file);
        const std::string half = profileText(dir.file(image), file);
        const std::string after = profileText(dir.file(image), image);
        ASSERT_TRUE(now == before || now == half || now == after)
            << "run " << run << ": a profile of " << now.size() << " bytes that is none of the "
            << "three it may be";
        if (now == half)
            ++between;
        if (now != before)
            folder = dir.file(image);
        if (now == after)
            file = image;
    }
    // What killed writers left behind goes with the next write that runs to its end.
    const std::size_t left = temporaries(dir);
    ASSERT_EQ(WEXITSTATUS(waitFor(startCtl(dir.path(), args("last.SHC")))), 1);
    EXPECT_EQ(readAll(ini), profileText(dir.file("last.SHC"), "last.SHC"));
    EXPECT_EQ(temporaries(dir), 0u);
    RecordProperty("killed", killed);
    RecordProperty("betweenTheTwoWrites", between);
    RecordProperty("temporaryFilesLeft", static_cast<int>(left));
}

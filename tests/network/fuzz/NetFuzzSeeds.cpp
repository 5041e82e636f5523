// Writes the seed corpus of the network record fuzzer into the folder given: replies, the change
// records, a search request, short and long datagrams, and typed address and MAC texts.
#include "network/NetConfigRecord.h"

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    using namespace korva;
    if (argc < 2) {
        std::fprintf(stderr, "usage: net_fuzz_seeds FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    auto datagrams = [](std::initializer_list<std::vector<std::uint8_t>> list) {
        std::string out;
        for (const auto& d : list) {
            out += static_cast<char>(d.size());
            out.append(d.begin(), d.end());
        }
        return out;
    };
    auto bytesOf = [](const NetConfigRecord& r) {
        return std::vector<std::uint8_t>(r.bytes().begin(), r.bytes().end());
    };
    NetConfigRecord reply =
        NetConfigRecord::settings(0x01, {192, 168, 0, 200}, {255, 255, 255, 0}, {192, 168, 0, 1},
                                  {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}, true, 9100);
    NetConfigRecord change =
        NetConfigRecord::settings(NetConfigRecord::kNewSettings, {10, 0, 0, 5}, {255, 255, 255, 0},
                                  {10, 0, 0, 1}, {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}, false, 515);
    const std::vector<std::uint8_t> whole = bytesOf(reply);
    std::vector<std::uint8_t> shortOne(whole.begin(), whole.begin() + 20);
    std::vector<std::uint8_t> longOne = whole;
    longOne.resize(60, 0x55);
    const std::pair<const char*, std::string> seeds[] = {
        {"reply", datagrams({bytesOf(reply)})},
        {"search-change", datagrams({bytesOf(NetConfigRecord::searchRequest()), bytesOf(change)})},
        {"short-long", datagrams({shortOne, longOne, bytesOf(reply)})},
        {"address", "192.168.0.200"},
        {"mac", "00:1a:2B:3c:4D:5e"},
    };
    for (const auto& [name, content] : seeds) {
        std::ofstream out(folder + "/" + name, std::ios::binary);
        out << content;
        if (!out) {
            std::fprintf(stderr, "net_fuzz_seeds: cannot write %s/%s\n", folder.c_str(), name);
            return 1;
        }
    }
    return 0;
}

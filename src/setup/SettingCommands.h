#pragma once
// The byte builders of the user-setup protocol (GS ( E family) and the fixed query orders.
// Pure: no I/O. Multi-byte numbers are little-endian.
#include <cstdint>
#include <vector>

namespace korva {

using ByteString = std::vector<std::uint8_t>;

class SettingCommands {
public:
    static ByteString enterSetup();          // 1D 28 45 03 00 01 49 4E ("IN")
    static ByteString leaveSetup();          // 1D 28 45 04 00 02 4F 55 54 ("OUT")
    static ByteString query(std::uint8_t n); // 1D 28 45 02 00 06 n
    static ByteString statusBackOff();       // 1D 61 00
    static ByteString parallelFinish();      // 00 00 00 00 00

    // Query orders: COM and USB (18), the network (17, without the COM stop bit 0xFD) and
    // the parallel port's query list (17, kept by the screen).
    static const std::vector<std::uint8_t>& serialQueryOrder();
    static const std::vector<std::uint8_t>& networkQueryOrder();
    static const std::vector<std::uint8_t>& parallelQueryList();

    // The test page, one element per write, in order. The Korean line (code page 949) is in
    // it only for language id 0x0412. The 800 ms pause after it is the screen's.
    static std::vector<ByteString> testPrint(std::uint16_t langId);
};

} // namespace korva

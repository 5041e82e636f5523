#pragma once
// The USB printer escapes its replies: 1B 30 stands for 00, 1B 1B for 1B, and 1B followed by
// any other byte x for x; every other byte stands for itself. An escape byte at the end of one
// read is completed by the first byte of the next, so the state lives across reads.
#include <cstddef>
#include <cstdint>

namespace korva {

class UsbReplyUnescaper {
public:
    static constexpr std::uint8_t kEscape = 0x1B;

    // Decodes length bytes into out (room for length bytes); returns the bytes produced.
    std::size_t feed(const std::uint8_t* in, std::size_t length, std::uint8_t* out) {
        std::size_t produced = 0;
        for (std::size_t i = 0; i < length; ++i) {
            std::uint8_t b = in[i];
            if (m_escaped) {
                out[produced++] = b == 0x30 ? 0x00 : b;
                m_escaped = false;
            } else if (b == kEscape) {
                m_escaped = true;
            } else {
                out[produced++] = b;
            }
        }
        return produced;
    }

    bool pendingEscape() const { return m_escaped; }
    void reset() { m_escaped = false; }

private:
    bool m_escaped = false;
};

} // namespace korva

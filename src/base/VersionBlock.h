#pragma once
// The fixed version block every executable embeds in its ELF section ".korva_version".
#include <cstdint>

namespace korva {

constexpr std::uint32_t kVersionSignature = 0xFEEF04BD;
constexpr const char* kVersionSection = ".korva_version";

struct VersionBlock {
    std::uint32_t signature;     // kVersionSignature
    std::uint32_t fileVersionMS; // major << 16 | minor
    std::uint32_t fileVersionLS; // build << 16 | revision
    std::uint32_t translation;   // language << 16 | code page; 0 means the block has none
};

} // namespace korva

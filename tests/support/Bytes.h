#pragma once
// Byte vectors written the way the protocol tables write them: bytes("1D 28 45 03 00").
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korva::test {

using Bytes = std::vector<std::uint8_t>;

Bytes bytes(std::string_view hex);         // "1D 28 45" -> {0x1D, 0x28, 0x45}
std::string hex(const Bytes& data);         // {0x1D, 0x28} -> "1D 28"
std::string hex(const std::uint8_t* data, std::size_t length);
Bytes concat(std::initializer_list<Bytes> parts);

} // namespace korva::test

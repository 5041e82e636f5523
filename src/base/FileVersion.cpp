#include "base/FileVersion.h"

#include "base/VersionBlock.h"

#include <cstring>
#include <elf.h>
#include <fstream>
#include <vector>

namespace korva {

namespace {

bool readAt(std::ifstream& in, std::uint64_t offset, void* out, std::size_t size) {
    in.seekg(static_cast<std::streamoff>(offset));
    in.read(static_cast<char*>(out), static_cast<std::streamsize>(size));
    return static_cast<std::size_t>(in.gcount()) == size;
}

} // namespace

FileVersion readFileVersion(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    Elf64_Ehdr header{};
    if (!readAt(in, 0, &header, sizeof header) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_shentsize != sizeof(Elf64_Shdr) ||
        header.e_shnum == 0 || header.e_shstrndx >= header.e_shnum)
        return {};

    std::vector<Elf64_Shdr> sections(header.e_shnum);
    if (!readAt(in, header.e_shoff, sections.data(), sections.size() * sizeof(Elf64_Shdr)))
        return {};
    const Elf64_Shdr& names = sections[header.e_shstrndx];
    if (names.sh_size == 0 || names.sh_size > (1u << 24))
        return {};
    std::vector<char> nameTable(names.sh_size + 1, '\0');
    if (!readAt(in, names.sh_offset, nameTable.data(), names.sh_size))
        return {};

    for (const Elf64_Shdr& section : sections) {
        if (section.sh_name >= names.sh_size ||
            std::strcmp(&nameTable[section.sh_name], kVersionSection) != 0)
            continue;
        VersionBlock block{};
        if (section.sh_size < sizeof block || !readAt(in, section.sh_offset, &block, sizeof block))
            return {};
        if (block.signature != kVersionSignature || block.translation == 0)
            return {};
        return {static_cast<int>(block.fileVersionMS >> 16),
                static_cast<int>(block.fileVersionMS & 0xFFFF),
                static_cast<int>(block.fileVersionLS >> 16),
                static_cast<int>(block.fileVersionLS & 0xFFFF)};
    }
    return {};
}

FileVersion currentFileVersion() { return readFileVersion("/proc/self/exe"); }

std::string dottedVersion(const FileVersion& v) {
    return std::to_string(v.major) + "." + std::to_string(v.minor) + "." + std::to_string(v.build) +
           "." + std::to_string(v.revision);
}

} // namespace korva

#include "base/VersionBlock.h"

extern "C" {
// Kept by the linker (used) and found again by FileVersion through its section name.
__attribute__((section(".korva_version"), used)) const korva::VersionBlock korva_version_block = {
    korva::kVersionSignature,
    (KORVA_VERSION_MAJOR << 16) | KORVA_VERSION_MINOR,
    (KORVA_VERSION_BUILD << 16) | KORVA_VERSION_REVISION,
    (0x0409u << 16) | 0x04B0u,
};
}

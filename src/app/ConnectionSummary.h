#pragma once
// The text naming the chosen printer and connection, shown by the menu and the tool screens.
#include "comm/ConnectionSettings.h"

#include <string>

namespace korva {

std::string connectionSummary(const ConnectionSettings& settings);

} // namespace korva

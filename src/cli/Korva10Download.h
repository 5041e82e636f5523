#pragma once
// korvactl firmware info and download for the KORVA10 class (ModelKind 2): flash areas of a
// ".bin" file sent as erase and write packets, answered by DLE ACK / DLE NAK.
#include <string>

namespace korva::cli {

class CliConnection;

// The areas, their flash ranges, sectors, erase waits and write packet counts, and whether the
// file holds each; 1 when the file cannot be read or holds no area whole.
int runKorva10Info(const std::string& file, const std::string& model, bool json);
// One area ("program", "boot", "font") to the chosen printer; 0 on COMPLETED, 1 when the
// download failed or Ctrl-C stopped it, 2 for an area or port this class does not have.
int runKorva10Download(const std::string& file, const std::string& area, CliConnection& connection);

} // namespace korva::cli

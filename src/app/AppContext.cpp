#include "app/AppContext.h"

namespace korva {

namespace {

MessageCatalogue catalogueFor(std::uint16_t langId) {
    MessageCatalogue c;
    c.selectLanguage(langId);
    return c;
}

} // namespace

AppContext::AppContext(Clock& clk, Prompter& prompt, std::uint16_t language, DeviceRoots roots,
                       std::string profilePath)
    : catalogue(catalogueFor(language)),
      profile(profilePath.empty() ? Profile::pathFor(kProgramName) : std::move(profilePath), &log),
      langId(language), clock(clk), prompter(prompt),
      ports(log, catalogue, prompter, clock, std::move(roots)), socket(log, catalogue, prompter) {}

bool AppContext::openErrorLog(const FileVersion& version) {
    if (!log.Open(ErrorLog::kFileName))
        return false;
    log.PrintHeader(version.major, version.minor, version.build, version.revision);
    return true;
}

} // namespace korva

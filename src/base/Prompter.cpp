#include "base/Prompter.h"

#include "base/MessageCatalogue.h"

namespace korva {

Answer Prompter::inform(const std::string& text, Icon icon) {
    return message(text, kAppName, icon, Buttons::Ok);
}

std::optional<std::string> Prompter::openFile(const std::string& filter,
                                              const std::string& defaultExt,
                                              const std::string& initialPath) {
    FileDialog dialog;
    dialog.filter = filter;
    dialog.defaultExt = defaultExt;
    dialog.initialPath = initialPath;
    std::vector<std::string> chosen = openFiles(dialog);
    if (chosen.empty())
        return std::nullopt;
    return chosen.front();
}

} // namespace korva

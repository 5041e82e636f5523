#include "base/Prompter.h"

#include "base/MessageCatalogue.h"

namespace korva {

Answer Prompter::inform(const std::string& text, Icon icon) {
    return message(text, kAppName, icon, Buttons::Ok);
}

} // namespace korva

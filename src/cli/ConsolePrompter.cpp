#include "cli/ConsolePrompter.h"

#include <cctype>
#include <cstring>
#include <unistd.h>

namespace korva::cli {

ConsolePrompter::ConsolePrompter(bool yes, std::FILE* in, std::FILE* out,
                                 std::optional<bool> interactive)
    : m_yes(yes), m_in(in), m_out(out),
      m_interactive(interactive ? *interactive : (in && ::isatty(::fileno(in)) == 1)) {}

std::string ConsolePrompter::consoleText(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        out += text[i];
    }
    return out;
}

Answer ConsolePrompter::message(const std::string& text, const std::string& caption, Icon,
                                Buttons buttons) {
    std::lock_guard lock(m_mutex);
    ++m_shown;
    std::fprintf(m_out, "[%s] %s\n", caption.c_str(), consoleText(text).c_str());
    Answer answer = Answer::Ok;
    switch (buttons) {
    case Buttons::Ok:
        answer = Answer::Ok;
        break;
    case Buttons::YesNo:
        answer = askYesNo();
        std::fprintf(m_out, "  -> %s\n", answer == Answer::Yes ? "Yes" : "No");
        break;
    case Buttons::OkCancel:
        answer = askYesNo() == Answer::Yes ? Answer::Ok : Answer::Cancel;
        std::fprintf(m_out, "  -> %s\n", answer == Answer::Ok ? "OK" : "Cancel");
        break;
    }
    std::fflush(m_out);
    return answer;
}

Answer ConsolePrompter::askYesNo() {
    if (m_yes)
        return Answer::Yes;
    if (!m_interactive)
        return Answer::No;
    std::fprintf(m_out, "  (y/n)? ");
    std::fflush(m_out);
    char line[64];
    if (!std::fgets(line, sizeof line, m_in))
        return Answer::No;
    // The rest of a line longer than the buffer belongs to this answer, not to the next one.
    if (!std::strchr(line, '\n')) {
        int c;
        do {
            c = std::fgetc(m_in);
        } while (c != '\n' && c != EOF);
    }
    char c = static_cast<char>(std::tolower(static_cast<unsigned char>(line[0])));
    return c == 'y' ? Answer::Yes : Answer::No;
}

std::vector<std::string> ConsolePrompter::openFiles(const FileDialog& dialog) {
    std::lock_guard lock(m_mutex);
    std::fprintf(m_out, "[%s] no file chosen\n", dialog.title.c_str());
    return {};
}

std::optional<std::string> ConsolePrompter::inputText(const std::string& title,
                                                      const std::string& label) {
    std::lock_guard lock(m_mutex);
    if (m_input) {
        // Given once: a dialog that asks again (an empty name) then ends like a closed dialog.
        std::optional<std::string> answer = std::move(m_input);
        m_input.reset();
        std::fprintf(m_out, "[%s] %s: %s\n", title.c_str(), label.c_str(), answer->c_str());
        return answer;
    }
    std::fprintf(m_out, "[%s] %s: (none given)\n", title.c_str(), label.c_str());
    return std::nullopt;
}

int ConsolePrompter::messagesShown() const {
    std::lock_guard lock(m_mutex);
    return m_shown;
}

} // namespace korva::cli

#pragma once
// The Prompter of korvactl: every message box is printed on standard error with its caption and
// catalogue text; a question is printed with the answer taken. --yes answers Yes; otherwise the
// question is asked on the terminal, and without a terminal the answer is No. The "Print to
// File" name comes from the command line (FILE:NAME). File-open dialogs get no files.
// Thread-safe: receive threads may show their queue-full message.
#include "base/Prompter.h"

#include <cstdio>
#include <mutex>
#include <optional>
#include <string>

namespace korva::cli {

class ConsolePrompter final : public Prompter {
public:
    // in/out default to the process's stdin/stderr; interactive: whether in is a terminal
    // (std::nullopt: decided with isatty).
    explicit ConsolePrompter(bool yes, std::FILE* in = stdin, std::FILE* out = stderr,
                             std::optional<bool> interactive = std::nullopt);

    Answer message(const std::string& text, const std::string& caption, Icon icon,
                   Buttons buttons) override;
    std::vector<std::string> openFiles(const FileDialog& dialog) override;
    std::optional<std::string> inputText(const std::string& title,
                                         const std::string& label) override;

    // The answer to the next text dialog (the FILE:NAME of --port); used once.
    void setInputAnswer(std::optional<std::string> answer) { m_input = std::move(answer); }

    int messagesShown() const;

    // "\r\n" becomes "\n", so the texts read naturally on a terminal.
    static std::string consoleText(const std::string& text);

private:
    Answer askYesNo();

    mutable std::mutex m_mutex;
    bool m_yes;
    std::FILE* m_in;
    std::FILE* m_out;
    bool m_interactive;
    std::optional<std::string> m_input;
    int m_shown = 0;
};

} // namespace korva::cli

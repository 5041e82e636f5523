#pragma once
// A Prompter for tests and scripted runs: records every question and answers from a script.
// Thread-safe, since receive threads may show their queue-full message.
#include "base/Prompter.h"

#include <deque>
#include <mutex>
#include <vector>

namespace korva {

class RecordingPrompter : public Prompter {
public:
    struct Shown {
        enum Kind { Message, OpenFiles, InputText } kind;
        std::string text;    // message text, dialog title
        std::string caption; // message caption, input label
        Icon icon = Icon::None;
        Buttons buttons = Buttons::Ok;
    };

    Answer message(const std::string& text, const std::string& caption, Icon icon,
                   Buttons buttons) override;
    std::vector<std::string> openFiles(const FileDialog& dialog) override;
    std::optional<std::string> inputText(const std::string& title,
                                         const std::string& label) override;

    // Scripted answers, used in order; when a queue is empty the defaults below apply.
    void queueAnswer(Answer answer);
    void queueFiles(std::vector<std::string> paths);
    void queueInput(std::optional<std::string> text);
    Answer defaultYesNo = Answer::No;

    std::vector<Shown> shown() const;
    std::vector<std::string> messages() const; // the texts of the message boxes, in order
    void clear();

private:
    mutable std::mutex m_mutex;
    std::vector<Shown> m_shown;
    std::deque<Answer> m_answers;
    std::deque<std::vector<std::string>> m_files;
    std::deque<std::optional<std::string>> m_inputs;
};

} // namespace korva

#include "base/RecordingPrompter.h"

namespace korva {

Answer RecordingPrompter::message(const std::string& text, const std::string& caption, Icon icon,
                                  Buttons buttons) {
    std::lock_guard lock(m_mutex);
    m_shown.push_back({Shown::Message, text, caption, icon, buttons});
    if (!m_answers.empty()) {
        Answer a = m_answers.front();
        m_answers.pop_front();
        return a;
    }
    switch (buttons) {
    case Buttons::YesNo:
        return defaultYesNo;
    case Buttons::OkCancel:
    case Buttons::Ok:
        break;
    }
    return Answer::Ok;
}

std::vector<std::string> RecordingPrompter::openFiles(const FileDialog& dialog) {
    std::lock_guard lock(m_mutex);
    m_shown.push_back({Shown::OpenFiles, dialog.title, dialog.filter, Icon::None, Buttons::Ok});
    if (m_files.empty())
        return {};
    auto files = m_files.front();
    m_files.pop_front();
    return files;
}

std::optional<std::string> RecordingPrompter::inputText(const std::string& title,
                                                        const std::string& label) {
    std::lock_guard lock(m_mutex);
    m_shown.push_back({Shown::InputText, title, label, Icon::None, Buttons::Ok});
    if (m_inputs.empty())
        return std::nullopt;
    auto text = m_inputs.front();
    m_inputs.pop_front();
    return text;
}

void RecordingPrompter::queueAnswer(Answer answer) {
    std::lock_guard lock(m_mutex);
    m_answers.push_back(answer);
}

void RecordingPrompter::queueFiles(std::vector<std::string> paths) {
    std::lock_guard lock(m_mutex);
    m_files.push_back(std::move(paths));
}

void RecordingPrompter::queueInput(std::optional<std::string> text) {
    std::lock_guard lock(m_mutex);
    m_inputs.push_back(std::move(text));
}

std::vector<RecordingPrompter::Shown> RecordingPrompter::shown() const {
    std::lock_guard lock(m_mutex);
    return m_shown;
}

std::vector<std::string> RecordingPrompter::messages() const {
    std::lock_guard lock(m_mutex);
    std::vector<std::string> texts;
    for (const Shown& s : m_shown)
        if (s.kind == Shown::Message)
            texts.push_back(s.text);
    return texts;
}

void RecordingPrompter::clear() {
    std::lock_guard lock(m_mutex);
    m_shown.clear();
}

} // namespace korva

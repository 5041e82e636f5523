#pragma once
// The console prompter with a hook run before every message or question, so that what a command
// prints as it goes (a progress line, rows found so far) is finished before the text appears.
#include "base/Prompter.h"

#include <functional>
#include <utility>

namespace korva {

class HookedPrompter final : public Prompter {
public:
    explicit HookedPrompter(Prompter& inner, std::function<void()> hook = {})
        : before(std::move(hook)), m_inner(inner) {}

    std::function<void()> before;

    Answer message(const std::string& text, const std::string& caption, Icon icon,
                   Buttons buttons) override {
        runHook();
        return m_inner.message(text, caption, icon, buttons);
    }
    std::vector<std::string> openFiles(const FileDialog& dialog) override {
        return m_inner.openFiles(dialog);
    }
    std::optional<std::string> inputText(const std::string& title,
                                         const std::string& label) override {
        runHook();
        return m_inner.inputText(title, label);
    }

private:
    void runHook() {
        if (before)
            before();
    }
    Prompter& m_inner;
};

} // namespace korva

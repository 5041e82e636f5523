#pragma once
// The desktop program's Prompter: QMessageBox, QFileDialog and the "Print to File" dialog.
//
// Called on the GUI thread, every call blocks until answered (a modal dialog over the active
// window). A receive thread may show its queue-full message too: that box is handed to the GUI
// thread without waiting for it, and the call answers Ok at once, so a thread that the GUI
// thread is joining can never wait on a box the GUI thread cannot show.
#include "base/Prompter.h"

class QWidget;

namespace korva {

class QtPrompter : public Prompter {
public:
    // korean: the buttons of the boxes read in Korean.
    explicit QtPrompter(bool korean) : m_korean(korean) {}

    Answer message(const std::string& text, const std::string& caption, Icon icon,
                   Buttons buttons) override;
    std::vector<std::string> openFiles(const FileDialog& dialog) override;
    std::optional<std::string> inputText(const std::string& title,
                                         const std::string& label) override;

    // Where a file dialog without an initial name starts ("" for the working directory).
    void setStartFolder(std::string folder) { m_startFolder = std::move(folder); }

private:
    static QWidget* owner();
    bool m_korean;
    std::string m_startFolder;
};

} // namespace korva

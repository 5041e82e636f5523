#pragma once
// Message boxes, file-open and text-input dialogs, as the controllers ask for them. The desktop
// program answers with real dialogs, korvactl from its flags or the terminal, tests from a
// script (RecordingPrompter). Every call blocks until answered. Called from the screen's thread,
// except where a caller's header says otherwise (the receive threads' queue-full message).
#include <optional>
#include <string>
#include <vector>

namespace korva {

enum class Icon { None, Information, Exclamation, Question, Stop };
enum class Buttons { Ok, OkCancel, YesNo };
enum class Answer { Ok, Cancel, Yes, No };

struct FileDialog {
    std::string title;
    std::string filter;     // "Bitmap Files(*.bmp)|*.bmp||" style
    std::string defaultExt; // ".bmp"
    std::string initialPath;
    bool multiple = false;
};

class Prompter {
public:
    virtual ~Prompter() = default;

    virtual Answer message(const std::string& text, const std::string& caption, Icon icon,
                           Buttons buttons) = 0;

    // Chosen paths (several only with multiple); empty when the user cancelled.
    virtual std::vector<std::string> openFiles(const FileDialog& dialog) = 0;

    // A one-line text dialog with one OK button. The text typed when OK was pressed (possibly
    // empty); std::nullopt when the dialog was closed any other way.
    virtual std::optional<std::string> inputText(const std::string& title,
                                                 const std::string& label) = 0;

    // Convenience: an OK box captioned with the application name.
    Answer inform(const std::string& text, Icon icon = Icon::None);
    // Convenience: the file-open dialog for one file; std::nullopt when the user cancelled.
    std::optional<std::string> openFile(const std::string& filter, const std::string& defaultExt,
                                        const std::string& initialPath);
};

} // namespace korva

#pragma once
// The logo tool's help book: one Markdown file shipped with the program, a "## <topic>" heading
// per page of the sheet, where F1 on a page opens that page's section. The book is looked for in
// the installed data folder relative to the program's executable (../share/korvaset from
// /usr/bin), else beside the executable, which is where the build puts a copy, so a program run
// from its build folder finds it too.
#include <string>

namespace korva {

struct HelpSection {
    enum Status { Found, NoBook, NoTopic };
    Status status = NoBook;
    std::string text; // the section, its heading included, when found
};

namespace LogoHelp {

inline constexpr const char* kFileName = "logo-help.md";
// The data folder relative to the executable's folder, fixed by the build's install layout.
inline constexpr const char* kInstalledDir = KORVA_HELP_RELDIR;
// A larger file is not a help book; reading stops there rather than filling memory.
inline constexpr std::size_t kMaxBookBytes = 1 << 20;

// The help topic of page 0..4 of the sheet (Select, Preview, Upload, Print, Setup).
const char* pageTopic(int page);

// The first of <exe folder>/kInstalledDir/kFileName and <exe folder>/kFileName that exists;
// else the installed one, so a failure names where the book belongs.
std::string locate(const std::string& exePath);
// locate() for this process (/proc/self/exe).
std::string defaultPath();

// The section under the heading "## <topic>" up to the next "## " heading or the end.
HelpSection findSection(const std::string& book, const std::string& topic);
// findSection() on the book at path; NoBook when it cannot be read or is too large.
HelpSection readSection(const std::string& bookPath, const std::string& topic);

// What the screen says when a section cannot be shown.
std::string failureMessage(const HelpSection& result, const std::string& bookPath,
                           const std::string& topic, bool korean);

} // namespace LogoHelp

} // namespace korva

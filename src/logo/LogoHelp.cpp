#include "logo/LogoHelp.h"

#include "base/ProgramFile.h"

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace korva::LogoHelp {

namespace {

std::string withoutLineEnd(std::string line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
        line.pop_back();
    return line;
}

bool isTopicHeading(const std::string& line) {
    return line.rfind("## ", 0) == 0;
}

} // namespace

const char* pageTopic(int page) {
    static constexpr const char* topics[] = {"Bitmap Selection", "Preview", "Logo Upload",
                                             "Logo Printout", "Setup"};
    return page >= 0 && page < 5 ? topics[page] : "";
}

std::string locate(const std::string& exePath) {
    return shippedFile(exePath, kInstalledDir, kFileName);
}

std::string defaultPath() {
    return locate(ownExecutable());
}

HelpSection findSection(const std::string& book, const std::string& topic) {
    HelpSection result{HelpSection::NoTopic, {}};
    if (topic.empty())
        return result;
    bool inside = false;
    std::size_t pos = 0;
    while (pos < book.size()) {
        std::size_t end = book.find('\n', pos);
        std::size_t next = end == std::string::npos ? book.size() : end + 1;
        std::string line = book.substr(pos, next - pos);
        std::string bare = withoutLineEnd(line.substr(0, line.find('\n')));
        if (isTopicHeading(bare)) {
            if (inside)
                break;
            inside = withoutLineEnd(bare.substr(3)) == topic;
            if (inside)
                result.status = HelpSection::Found;
        }
        if (inside)
            result.text += bare + "\n";
        pos = next;
    }
    while (result.text.size() > 1 && result.text[result.text.size() - 2] == '\n')
        result.text.pop_back();
    return result;
}

HelpSection readSection(const std::string& bookPath, const std::string& topic) {
    // A folder or a device would open but is no book.
    std::error_code error;
    if (!std::filesystem::is_regular_file(bookPath, error))
        return {};
    std::ifstream in(bookPath, std::ios::binary);
    if (!in)
        return {};
    std::string book;
    char buffer[4096];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        book.append(buffer, static_cast<std::size_t>(in.gcount()));
        if (book.size() > kMaxBookBytes)
            return {};
    }
    if (in.bad())
        return {};
    return findSection(book, topic);
}

std::string failureMessage(const HelpSection& result, const std::string& bookPath,
                           const std::string& topic, bool korean) {
    if (result.status == HelpSection::NoTopic)
        return korean ? "도움말에 \"" + topic + "\" 항목이 없습니다.\n" + bookPath
                      : "The help book has no page on \"" + topic + "\".\n" + bookPath;
    return korean ? "도움말 파일을 읽을 수 없습니다.\n" + bookPath
                  : "The help book cannot be read.\n" + bookPath;
}

} // namespace korva::LogoHelp

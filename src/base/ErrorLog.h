#pragma once
// The diagnostic file "error.log": one time-stamped entry per Print.
//
// Contract:
// - Open(name) creates the file empty (an existing one is truncated). Returns true when open;
//   on failure the log stays closed and every later Print does nothing.
// - Print(format, ...) formats printf-style, cuts the text to 255 characters and writes three
//   pieces: "[YYYY/MM/DD hh:mm:ss] ", the text, "\r\n". Each piece goes straight to the file
//   (no buffering in the program), so a crash loses at most the entry being written.
// - Any thread may call Print; an entry is always written whole before another one starts.
#include <cstdarg>
#include <mutex>
#include <string>

namespace korva {

class ErrorLog {
public:
    static constexpr const char* kFileName = "error.log";
    static constexpr std::size_t kMaxText = 255;

    ErrorLog() = default;
    ~ErrorLog();
    ErrorLog(const ErrorLog&) = delete;
    ErrorLog& operator=(const ErrorLog&) = delete;

    bool Open(const std::string& name);
    void Close();
    bool isOpen() const;

    void Print(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void PrintV(const char* format, std::va_list args) __attribute__((format(printf, 2, 0)));

    // The first entry of a run: "ERROR LOG : Tool - Ver %d.%d.%d.%d".
    void PrintHeader(int major, int minor, int build, int revision);

private:
    mutable std::mutex m_mutex;
    int m_fd = -1;
};

} // namespace korva

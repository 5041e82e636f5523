#pragma once
// Owns one file descriptor and closes it exactly once. close() is never retried: after an
// EINTR from close the descriptor is already gone on Linux, so retrying could close a
// descriptor another thread has just been given.
namespace korva {

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : m_fd(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    explicit operator bool() const { return valid(); }

    // Gives up ownership; the caller closes the descriptor.
    int release() {
        int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    // Closes the held descriptor (if any) and takes fd.
    void reset(int fd = -1);

private:
    int m_fd = -1;
};

} // namespace korva

// Owns one POSIX file descriptor and closes it when it goes.
#pragma once

namespace sim {

class CUniqueFd {
public:
    CUniqueFd() = default;
    explicit CUniqueFd(int fd) : m_fd(fd) {}
    ~CUniqueFd() { Reset(); }
    CUniqueFd(CUniqueFd&& other) noexcept : m_fd(other.Release()) {}
    CUniqueFd& operator=(CUniqueFd&& other) noexcept;
    CUniqueFd(const CUniqueFd&) = delete;
    CUniqueFd& operator=(const CUniqueFd&) = delete;

    int Get() const { return m_fd; }
    bool Valid() const { return m_fd >= 0; }
    // Closes the descriptor held, if any, and takes `fd` instead.
    void Reset(int fd = -1);
    int Release();

private:
    int m_fd = -1;
};

}  // namespace sim

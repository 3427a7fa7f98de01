// File descriptor ownership for the pseudo-terminal driver.
#include "unique_fd.h"

#include <unistd.h>

namespace sim {

CUniqueFd& CUniqueFd::operator=(CUniqueFd&& other) noexcept {
    if (this != &other) {
        Reset(other.Release());
    }
    return *this;
}

void CUniqueFd::Reset(int fd) {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    m_fd = fd;
}

int CUniqueFd::Release() {
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

}  // namespace sim

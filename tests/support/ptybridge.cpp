#include "ptybridge.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {
bool openRaw(int* master, int* slave, QString* path) {
    char name[256] = {};
    if (::openpty(master, slave, name, nullptr, nullptr) != 0) return false;
    termios t{};
    ::tcgetattr(*slave, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(*slave, TCSANOW, &t);
    *path = QString::fromLocal8Bit(name);
    return true;
}
} // namespace

PtyBridge::PtyBridge() {
    m_ok = openRaw(&m_masterA, &m_slaveA, &m_pathA) && openRaw(&m_masterB, &m_slaveB, &m_pathB);
    if (m_ok) m_thread = std::thread([this] { relay(); });
}

PtyBridge::~PtyBridge() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
    for (int fd : {m_masterA, m_slaveA, m_masterB, m_slaveB})
        if (fd >= 0) ::close(fd);
}

void PtyBridge::relay() {
    pollfd fds[2] = {{m_masterA, POLLIN, 0}, {m_masterB, POLLIN, 0}};
    char buf[512];
    while (!m_stop) {
        if (::poll(fds, 2, 20) <= 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (!(fds[i].revents & POLLIN)) continue;
            const ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
            if (n > 0) {
                ssize_t off = 0;
                while (off < n) {
                    const ssize_t w = ::write(fds[1 - i].fd, buf + off, size_t(n - off));
                    if (w <= 0) break;
                    off += w;
                }
            }
        }
    }
}

#include "StdioShell.h"

#include "TelnetFilter.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>

namespace qsim {

namespace {

bool writeAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

int connectTo(const QList<QHostAddress>& addresses, quint16 port)
{
    for (const QHostAddress& a : addresses) {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        if (fd < 0)
            return -1;
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = htonl(a.toIPv4Address());
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) {
            const int one = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            return fd;
        }
        ::close(fd);
    }
    return -1;
}

// The simulator talks to a telnet client; a program on a pty writes plain
// text: no telnet commands (the server negotiates for itself) and LF line
// ends, which the pty's output processing turns into CR LF.
class FromShell {
public:
    std::string filter(const char* data, size_t size)
    {
        std::string out;
        for (size_t i = 0; i < size; ++i) {
            const auto c = static_cast<unsigned char>(data[i]);
            if (!telnet_.isData(c))
                continue;
            if (cr_ && c != '\n')
                out += '\r';
            cr_ = c == '\r';
            if (!cr_)
                out += char(c);
        }
        return out;
    }

private:
    TelnetFilter telnet_;
    bool cr_ = false;  // a CR whose LF may come with the next read
};

// As login does: what is typed after the password prompt is not echoed.
class Echo {
public:
    void off()
    {
        if (off_ || ::tcgetattr(STDIN_FILENO, &saved_) != 0)
            return;
        termios quiet = saved_;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        off_ = ::tcsetattr(STDIN_FILENO, TCSANOW, &quiet) == 0;
    }
    void on()
    {
        if (off_)
            ::tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
        off_ = false;
    }
    bool isOff() const { return off_; }

private:
    termios saved_{};
    bool off_ = false;
};

}  // namespace

int runStdioShell(const QList<QHostAddress>& addresses, quint16 port)
{
    std::signal(SIGPIPE, SIG_IGN);
    const int shell = connectTo(addresses, port);
    if (shell < 0)
        return 1;  // the terminal is down: the server ends the session
    FromShell fromShell;
    Echo echo;
    std::string recent;  // the end of the output, for a prompt split across reads
    char buffer[16384];
    pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {shell, POLLIN, 0}};
    for (;;) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[1].revents != 0) {
            const ssize_t n = ::read(shell, buffer, sizeof buffer);
            if (n <= 0)
                break;
            const std::string text = fromShell.filter(buffer, size_t(n));
            recent = (recent + text).substr(recent.size() + text.size() > 16 ? recent.size() + text.size() - 16 : 0);
            if (recent.find("Password:") != std::string::npos) {
                echo.off();
                recent.clear();
            }
            if (!writeAll(STDOUT_FILENO, text.data(), text.size()))
                break;
        }
        if (fds[0].revents != 0) {
            const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (n <= 0 || !writeAll(shell, buffer, size_t(n)))
                break;
            if (echo.isOff() && std::memchr(buffer, '\n', size_t(n)))
                echo.on();
        }
    }
    echo.on();
    ::close(shell);
    return 0;
}

}  // namespace qsim

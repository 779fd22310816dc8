#pragma once
// Pseudo-terminal pairs standing in for serial devices: the program opens the
// slave path, the test talks through the master end. A scripted device thread
// answers the probe's 'w' with a fixed reply.

#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace bc::test {

class PtyPair {
public:
    PtyPair()
    {
        char name[256] = {};
        if (::openpty(&master_, &slave_, name, nullptr, nullptr) == 0) {
            termios tio{};
            ::tcgetattr(slave_, &tio);
            ::cfmakeraw(&tio);
            ::tcsetattr(slave_, TCSANOW, &tio);
            path_ = QString::fromLocal8Bit(name);
        }
    }
    ~PtyPair()
    {
        if (master_ >= 0)
            ::close(master_);
        if (slave_ >= 0)
            ::close(slave_);
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool ok() const { return master_ >= 0 && !path_.isEmpty(); }
    // The device goes away: its side hangs up.
    void hangUp()
    {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }
    QString path() const { return path_; }
    int master() const { return master_; }

    void write(const QByteArray& bytes) const
    {
        const char* p = bytes.constData();
        qsizetype left = bytes.size();
        while (left > 0) {
            const ssize_t n = ::write(master_, p, static_cast<size_t>(left));
            if (n <= 0)
                return;
            p += n;
            left -= n;
        }
    }

    // Bytes written to the device that nobody has read yet.
    int unreadBySlave() const
    {
        int n = 0;
        return ::ioctl(slave_, FIONREAD, &n) == 0 ? n : -1;
    }

    // Reads from the master end until `count` bytes came or `ms` passed,
    // processing Qt events meanwhile (the line writes from the event loop).
    QByteArray read(int count, int ms) const
    {
        QByteArray got;
        QDeadlineTimer deadline(ms);
        while (got.size() < count && !deadline.hasExpired()) {
            QCoreApplication::processEvents();
            pollfd pfd{master_, POLLIN, 0};
            if (::poll(&pfd, 1, 5) > 0 && (pfd.revents & POLLIN)) {
                char buf[256];
                const ssize_t n = ::read(master_, buf, sizeof buf);
                if (n > 0)
                    got.append(buf, static_cast<qsizetype>(n));
            }
        }
        return got;
    }

private:
    int master_ = -1;
    int slave_ = -1; // kept open so the master end stays readable
    QString path_;
};

// The probe's timing for scripted devices: no wait between the queries, and
// long enough for the reply that a device thread on a loaded machine still
// gets its answer in.
inline constexpr int kProbeQueryGapMs = 2;
inline constexpr int kProbeReplyMs = 300;

// A device on a pty that answers every 'w' it reads with `reply`.
class ScriptedProbeDevice {
public:
    ScriptedProbeDevice(QByteArray reply) : reply_(std::move(reply))
    {
        thread_ = std::thread([this] { run(); });
    }
    ~ScriptedProbeDevice()
    {
        stop_ = true;
        thread_.join();
    }
    QString path() const { return pty_.path(); }
    int queries() const { return queries_; }

private:
    void run()
    {
        while (!stop_) {
            pollfd pfd{pty_.master(), POLLIN, 0};
            if (::poll(&pfd, 1, 2) <= 0 || !(pfd.revents & POLLIN))
                continue;
            char buf[64];
            const ssize_t n = ::read(pty_.master(), buf, sizeof buf);
            for (ssize_t i = 0; i < n; ++i) {
                if (buf[i] == 'w') {
                    ++queries_;
                    pty_.write(reply_);
                }
            }
        }
    }

    PtyPair pty_;
    QByteArray reply_;
    std::atomic<bool> stop_{false};
    std::atomic<int> queries_{0};
    std::thread thread_;
};

// One frame of the depth counter and compass: direction byte and a heading
// of three decimal digits.
inline QByteArray counterFrameBytes(uint8_t direction, int heading)
{
    const char f[7] = {'\x55',
                       '\xAA',
                       static_cast<char>(direction),
                       static_cast<char>(heading / 100),
                       static_cast<char>(heading / 10 % 10),
                       static_cast<char>(heading % 10),
                       0};
    return QByteArray(f, 7);
}

// Processes events until `done` holds or `ms` passed. The bound is generous:
// it is only reached when something is wrong, and a loaded machine may take a
// while to schedule the other end of a pseudo terminal.
inline bool waitUntil(const std::function<bool()>& done, int ms = 10000)
{
    QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        ::usleep(1000);
    }
    return true;
}

} // namespace bc::test

// SPDX-License-Identifier: GPL-3.0-or-later
// StartupProbe.cpp - a Qt generic plugin that the start-up benchmark loads
// into both programs it times: when the first top-level window is exposed
// (on the offscreen platform, when it is mapped), it writes to the
// descriptor named by OSTRANE_STARTUP_PROBE_FD one line: the monotonic clock
// in nanoseconds, the processor time so far in microseconds and the peak
// resident memory so far in KiB. Then it closes the window, as a user would,
// so that the program ends as it always does (its registry store is left
// checkpointed, as a later start finds it).

#include <QEvent>
#include <QGenericPlugin>
#include <QGuiApplication>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include <sys/resource.h>
#include <unistd.h>

namespace {

class ExposeWatcher : public QObject {
public:
    explicit ExposeWatcher(int fd) : m_fd(fd) {}

    bool eventFilter(QObject* object, QEvent* event) override
    {
        auto* window = qobject_cast<QWindow*>(object);
        if (event->type() != QEvent::Expose || window == nullptr || window->parent() != nullptr ||
            !window->isExposed())
            return false;
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        long long processor = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000000LL + usage.ru_utime.tv_usec +
                              usage.ru_stime.tv_usec;
        char line[96];
        int length = std::snprintf(line, sizeof line, "%lld %lld %ld\n",
                                   static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec, processor,
                                   usage.ru_maxrss);
        if (write(m_fd, line, static_cast<std::size_t>(length)) != length)
            _exit(2);
        qApp->removeEventFilter(this);
        QTimer::singleShot(0, window, [window] { window->close(); });
        return false;
    }

private:
    int m_fd;
};

}  // namespace

class StartupProbePlugin : public QGenericPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "StartupProbe.json")

public:
    QObject* create(const QString&, const QString&) override
    {
        const char* fd = std::getenv("OSTRANE_STARTUP_PROBE_FD");
        if (fd == nullptr || qApp == nullptr)
            return nullptr;
        auto* watcher = new ExposeWatcher(std::atoi(fd));
        qApp->installEventFilter(watcher);
        return watcher;
    }
};

#include "StartupProbe.moc"

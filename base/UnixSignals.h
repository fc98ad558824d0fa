// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

#include <initializer_list>
#include <vector>

class QSocketNotifier;

namespace calimbra {

// Turns SIGINT, SIGTERM, SIGHUP and the like into a Qt signal on the event loop, so that a program
// ended from outside still closes its port (its lock file and exclusive flag) and finishes the line
// it is writing. One watcher per process.
class UnixSignalWatcher : public QObject
{
    Q_OBJECT

public:
    explicit UnixSignalWatcher(std::initializer_list<int> signalNumbers, QObject* parent = nullptr);
    ~UnixSignalWatcher() override;
    UnixSignalWatcher(const UnixSignalWatcher&) = delete;
    UnixSignalWatcher& operator=(const UnixSignalWatcher&) = delete;

    // The exit status a shell expects of a program ended by this signal.
    [[nodiscard]] static int exitStatus(int signalNumber) { return 128 + signalNumber; }

signals:
    void received(int signalNumber);

private:
    void readPipe();

    QSocketNotifier* notifier_ = nullptr;
    std::vector<int> signals_;
};

} // namespace calimbra

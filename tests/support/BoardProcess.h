// SPDX-License-Identifier: MIT
#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

// The simulated board, started for a test; it logs every request it receives.
class BoardProcess
{
public:
    explicit BoardProcess(const QStringList& options = {});
    ~BoardProcess();
    BoardProcess(const BoardProcess&) = delete;
    BoardProcess& operator=(const BoardProcess&) = delete;

    [[nodiscard]] QString path() const { return path_; }
    // Requests as logged: "<kind> \"<bytes>\"", oldest first; replies sent are left out.
    [[nodiscard]] QStringList requests() const;
    void signal(int number) const;
    [[nodiscard]] QProcess& process() { return process_; }

private:
    QTemporaryDir dir_;
    QProcess process_;
    QString path_;
};

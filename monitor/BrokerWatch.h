// SPDX-License-Identifier: MIT
#pragma once

#include "BrokerSource.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <memory>

class QComboBox;
class QLockFile;

namespace calimbra {

class Pipeline;
class ReadingView;

// The monitor watching a board through a broker: the board shown, chosen among those that announce
// themselves (the one remembered once it does, else the first), its readings, alarms and outages into
// the pipeline, its names and published limits into the view.
class BrokerWatch : public QObject
{
    Q_OBJECT

public:
    BrokerWatch(Pipeline& pipeline, ReadingView& view, QComboBox& boards, QObject* parent = nullptr);
    ~BrokerWatch() override;

    [[nodiscard]] BrokerSource& source() { return source_; }
    [[nodiscard]] const BrokerSource& source() const { return source_; }
    [[nodiscard]] bool isRunning() const { return source_.isRunning(); }

    // The board to show, or to show once it announces itself.
    void choose(const QString& board);
    [[nodiscard]] const QString& chosen() const { return chosen_; }
    // From the board's file: the prefix its service announces under, and a password for a URL without.
    void setDiscoveryPrefix(const QString& prefix) { discoveryPrefix_ = prefix; }
    void setPasswordFile(const QString& path) { passwordFile_ = path; }
    // This user's monitor: the broker keeps its sessions under it.
    void setMonitorId(const QString& id) { monitorId_ = id; }

    // Connects to the broker at this URL, as typed. Throws Error.
    void start(const QString& url);
    void stop();
    [[nodiscard]] const QDateTime& offlineSince() const { return offlineSince_; }

signals:
    // The board shown from now on: what was shown of another is to be forgotten first.
    void following(const QString& board);
    // A fault of the broker, the board or a message, in the monitor's words.
    void said(const QString& message);
    void changed();

private:
    void fillBoards();
    void follow(const QString& board);

    Pipeline& pipeline_;
    ReadingView& view_;
    QComboBox& boards_;
    BrokerSource source_;
    QString chosen_;
    QString discoveryPrefix_ = Topics::kDefaultDiscoveryPrefix;
    QString passwordFile_;
    QString monitorId_;
    std::unique_ptr<QLockFile> lock_; // the monitor id, held by one window at a time
    QDateTime offlineSince_;
};

} // namespace calimbra

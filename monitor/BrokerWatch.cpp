// SPDX-License-Identifier: MIT
#include "BrokerWatch.h"

#include "BoardConfig.h"
#include "MqttUrl.h"
#include "Pipeline.h"
#include "PortAdvice.h"
#include "ReadingView.h"

#include <QComboBox>
#include <QDir>
#include <QLockFile>
#include <QStandardPaths>

namespace calimbra {

BrokerWatch::BrokerWatch(Pipeline& pipeline, ReadingView& view, QComboBox& boards, QObject* parent)
    : QObject(parent), pipeline_(pipeline), view_(view), boards_(boards)
{
    const QString retrying = tr("The monitor keeps trying by itself.");
    connect(&source_, &BrokerSource::readingReceived, &pipeline_, &Pipeline::take);
    connect(&source_, &BrokerSource::alarmChanged, &pipeline_, &Pipeline::alarmFromSource);
    connect(&source_, &BrokerSource::sensorNamed, &view_, &ReadingView::rename);
    connect(&source_, &BrokerSource::limitsReceived, &view_, &ReadingView::setPublishedLimits);
    connect(&source_, &BrokerSource::boardsChanged, this, &BrokerWatch::fillBoards);
    connect(&source_, &BrokerSource::availabilityChanged, this, [this](bool online, const QDateTime& when) {
        if (!online) {
            offlineSince_ = when;
            pipeline_.boardLost(tr("The board's service is offline."), when);
        } else if (source_.isConnected()) {
            pipeline_.boardBack(when, offlineSince_);
        }
        emit changed();
    });
    connect(&source_, &BrokerSource::connected, this, [this] {
        if (source_.online() == true)
            pipeline_.boardBack(QDateTime::currentDateTime(), offlineSince_);
        emit changed();
    });
    connect(&source_, &BrokerSource::disconnected, this, [this, retrying](const QString& reason) {
        offlineSince_ = QDateTime::currentDateTime();
        pipeline_.boardLost(reason, offlineSince_);
        emit said(withAdvice(reason, retrying));
    });
    connect(&source_, &BrokerSource::retrying, this,
            [this, retrying](std::chrono::seconds, const QString& reason) {
                emit said(withAdvice(reason, retrying));
            });
    connect(&source_, &BrokerSource::notice, this, &BrokerWatch::said);
    connect(&boards_, &QComboBox::activated, this, [this] {
        chosen_ = boards_.currentData().toString();
        if (source_.isRunning() && chosen_ != source_.board())
            follow(chosen_);
    });
}

BrokerWatch::~BrokerWatch() = default;

void BrokerWatch::choose(const QString& board)
{
    chosen_ = board;
    fillBoards();
}

void BrokerWatch::start(const QString& text)
{
    MqttUrl url = MqttUrl::parse(text);
    if (!url.user.isEmpty() && url.password.isEmpty() && !passwordFile_.isEmpty())
        url.password = readPasswordFile(passwordFile_);
    source_.setDiscoveryPrefix(discoveryPrefix_);
    // A second window of this user's keeps no session: two under one id would take turns.
    if (!lock_ && !monitorId_.isEmpty()) {
        lock_ = std::make_unique<QLockFile>(
            QDir(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation))
                .filePath(QStringLiteral("calimbra-monitor-%1.lock").arg(monitorId_)));
        lock_->setStaleLockTime(0);
    }
    source_.setMonitorId(lock_ && (lock_->isLocked() || lock_->tryLock()) ? monitorId_ : QString());
    offlineSince_ = QDateTime();
    emit following(chosen_);
    source_.follow(chosen_);
    source_.start(url);
    fillBoards();
}

void BrokerWatch::stop()
{
    source_.stop();
}

void BrokerWatch::follow(const QString& board)
{
    chosen_ = board;
    emit following(board);
    source_.follow(board);
    // A board known to be away is a gap from now until it is back.
    if (source_.online() == false)
        pipeline_.boardLost(tr("The board's service is offline."), QDateTime::currentDateTime());
    emit changed();
}

void BrokerWatch::fillBoards()
{
    const QList<BrokerSource::Board> boards = source_.boards();
    const auto announced = [&](const QString& name) {
        return std::any_of(boards.begin(), boards.end(),
                           [&](const auto& board) { return board.name == name; });
    };
    if (source_.isRunning() && source_.board().isEmpty() && !boards.isEmpty() &&
        (chosen_.isEmpty() || announced(chosen_)))
        follow(chosen_.isEmpty() ? boards.first().name : chosen_);
    const QString shown = source_.isRunning() && !source_.board().isEmpty() ? source_.board() : chosen_;
    const QSignalBlocker blocker(boards_);
    boards_.clear();
    if (!shown.isEmpty() && !announced(shown))
        boards_.addItem(tr("%1 — %2").arg(shown, tr("not announced")), shown);
    for (const BrokerSource::Board& board : boards)
        boards_.addItem(tr("%1 — %2").arg(board.name, board.online ? tr("online") : tr("offline")),
                        board.name);
    boards_.setCurrentIndex(boards_.findData(shown));
    emit changed();
}

} // namespace calimbra

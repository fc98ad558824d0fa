// SPDX-License-Identifier: MIT
#include "StatusLine.h"

#include "BrokerSource.h"
#include "LogSource.h"
#include "ReadingStore.h"
#include "SensorTable.h"
#include "SerialWatch.h"

#include <QDir>

namespace calimbra {
namespace {

QString clock(const QDateTime& time)
{
    return time.isValid() ? shownTime(time.toMSecsSinceEpoch()) : QStringLiteral("—");
}

} // namespace

void StatusLine::noteError(const QString& message, const QDateTime& when)
{
    error_ = message;
    errorAt_ = when;
    resumedAt_ = QDateTime();
}

QString StatusLine::text(const SerialWatch& serial, const BrokerSource* broker, const LogSource* log,
                         const ReadingStore& store) const
{
    QStringList parts;
    if (serial.isRunning()) {
        parts << serial.statusParts();
    } else if (broker) {
        brokerParts(parts, *broker, store);
    } else if (log) {
        const QString file = QDir::toNativeSeparators(log->reader().path());
        if (const auto percent = log->loadingPercent()) {
            parts << tr("Reading %1: %2 %").arg(file).arg(*percent);
        } else if (const auto first = store.firstTime()) {
            parts << tr("%1: readings from %2 to %3, %4 in all, followed as it grows")
                         .arg(file, shownTime(*first), shownTime(*store.lastTime()))
                         .arg(log->reader().parser().readings());
        } else {
            parts << tr("%1 holds no readings yet; they are shown as they are written").arg(file);
        }
        if (const QString skipped = log->reader().skippedLinesMessage(); !skipped.isEmpty())
            parts << skipped;
    } else {
        parts << tr("Stopped") << serial.statusParts();
    }
    if (!record_.isEmpty())
        parts << tr("recording to %1").arg(QDir::toNativeSeparators(record_));
    if (!error_.isEmpty() && resumedAt_.isValid() && resumedAt_ >= errorAt_)
        parts << tr("last error from %1 to %2: %3").arg(clock(errorAt_), clock(resumedAt_), error_);
    else if (!error_.isEmpty())
        parts << tr("last error at %1: %2").arg(clock(errorAt_), error_);
    return parts.join(QStringLiteral(" · "));
}

QString StatusLine::hint(const SerialWatch& serial, const BrokerSource* broker, const LogSource* log,
                         bool brokerChosen) const
{
    if (serial.isRunning())
        return tr("Waiting for the board's first readings…");
    if (broker)
        return broker->board().isEmpty()
                   ? tr("Waiting for a board to announce itself on the broker…")
                   : tr("Waiting for the readings of %1 from the broker…").arg(broker->board());
    if (log)
        return tr("The log holds no readings yet; they are shown as they are written.");
    return brokerChosen ? tr("Type the broker's URL in the Broker field and press Start (F5),\nor open a log "
                             "with File › Open log… (Ctrl+O).")
                        : tr("Choose the board's port in the Port field and press Start (F5),\nor open a log "
                             "with File › Open log… (Ctrl+O).");
}

void StatusLine::brokerParts(QStringList& parts, const BrokerSource& broker, const ReadingStore& store) const
{
    const QString url = broker.brokerText();
    const QString board = broker.board();
    if (!broker.isConnected()) {
        parts << tr("Connecting to the broker %1").arg(url);
        if (!board.isEmpty())
            parts << tr("board %1").arg(board);
        return;
    }
    if (board.isEmpty()) {
        parts << (broker.boards().isEmpty()
                      ? tr("Connected to the broker %1; no board has announced itself yet").arg(url)
                      : tr("Connected to the broker %1; choose a board in the Board field").arg(url));
        return;
    }
    parts << tr("Watching board %1 on the broker %2").arg(board, url);
    const std::optional<bool> online = broker.online();
    if (!online)
        parts << tr("the board has not announced itself");
    else if (*online)
        parts << tr("the board is online");
    else
        parts << tr("the board is offline since %1").arg(clock(offlineSince_));
    if (const auto last = store.lastTime())
        parts << tr("last reading %1").arg(shownTime(*last));
}

} // namespace calimbra

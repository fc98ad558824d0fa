// SPDX-License-Identifier: MIT
#pragma once

#include "ComError.h"
#include "PortIo.h"

#include <QByteArray>
#include <QStringList>

#include <algorithm>
#include <cstring>
#include <optional>

// A port double that records every call the protocol makes and serves reads from `pending`.
class FakePort : public calimbra::PortIo
{
public:
    QByteArray pending;
    QStringList calls;
    QByteArray written;
    bool open = false;
    std::optional<QString> openFailure;
    std::optional<qint64> reportedCount; // what InputCount claims, when it should differ from pending

    void Open() override
    {
        calls << QStringLiteral("Open");
        if (openFailure)
            throw calimbra::ComError(*openFailure);
        open = true;
    }
    void Close() override
    {
        calls << QStringLiteral("Close");
        open = false;
    }
    void ClearBuffer(bool input, bool output) override
    {
        calls << QStringLiteral("ClearBuffer(%1,%2)").arg(input).arg(output);
        if (input)
            pending.clear();
    }
    qint64 InputCount() override { return reportedCount.value_or(pending.size()); }
    qint64 Read(std::span<char> into) override
    {
        calls << QStringLiteral("Read(%1)").arg(into.size());
        const auto count = std::min<qsizetype>(static_cast<qsizetype>(into.size()), pending.size());
        std::memcpy(into.data(), pending.constData(), static_cast<std::size_t>(count));
        pending.remove(0, count);
        return count;
    }
    qint64 Write(QByteArrayView bytes) override
    {
        calls << QStringLiteral("Write(%1)").arg(QString::fromLatin1(bytes.toByteArray()));
        written += bytes;
        return bytes.size();
    }
};

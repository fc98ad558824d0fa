// SPDX-License-Identifier: MIT
#pragma once

#include "Clock.h"

#include <QDateTime>

#include <chrono>
#include <vector>

// Time that passes only when a test says so: deadlines fire in order as it is moved on, and the
// event loop's queued calls run after each, so hours of back-off take no time and run alike.
class VirtualClock : public calimbra::Clock
{
public:
    explicit VirtualClock(QDateTime start = QDateTime::fromString(
                              QStringLiteral("2026-12-08T10:00:00.000+01:00"), Qt::ISODateWithMs));
    ~VirtualClock() override;

    [[nodiscard]] QDateTime now() const override;
    [[nodiscard]] std::chrono::milliseconds monotonic() const override { return elapsed_; }
    [[nodiscard]] std::unique_ptr<calimbra::Deadline> deadline(std::function<void()> due) override;

    void advance(std::chrono::milliseconds span);
    [[nodiscard]] std::chrono::milliseconds elapsed() const { return elapsed_; }

private:
    class VirtualDeadline;
    friend class VirtualDeadline;

    QDateTime start_;
    std::chrono::milliseconds elapsed_{0};
    std::vector<VirtualDeadline*> deadlines_;
};

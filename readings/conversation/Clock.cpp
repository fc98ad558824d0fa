// SPDX-License-Identifier: MIT
#include "Clock.h"

#include <QTimer>

namespace calimbra {
namespace {

class TimerDeadline final : public Deadline
{
public:
    explicit TimerDeadline(std::function<void()> due)
    {
        timer_.setSingleShot(true);
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, std::move(due));
    }

    void start(std::chrono::milliseconds delay) override { timer_.start(delay); }
    void stop() override { timer_.stop(); }
    [[nodiscard]] bool isActive() const override { return timer_.isActive(); }

private:
    QTimer timer_;
};

class SystemClock final : public Clock
{
public:
    [[nodiscard]] QDateTime now() const override
    {
        const QDateTime local = QDateTime::currentDateTime();
        return local.toOffsetFromUtc(local.offsetFromUtc());
    }

    [[nodiscard]] std::chrono::milliseconds monotonic() const override
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
    }

    [[nodiscard]] std::unique_ptr<Deadline> deadline(std::function<void()> due) override
    {
        return std::make_unique<TimerDeadline>(std::move(due));
    }
};

} // namespace

Clock& Clock::system()
{
    static SystemClock clock;
    return clock;
}

} // namespace calimbra

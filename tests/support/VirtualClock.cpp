// SPDX-License-Identifier: MIT
#include "VirtualClock.h"

#include <QCoreApplication>

#include <algorithm>

using namespace std::chrono;

class VirtualClock::VirtualDeadline : public calimbra::Deadline
{
public:
    VirtualDeadline(VirtualClock& clock, std::function<void()> due) : clock_(clock), due_(std::move(due))
    {
        clock_.deadlines_.push_back(this);
    }
    ~VirtualDeadline() override { std::erase(clock_.deadlines_, this); }
    VirtualDeadline(const VirtualDeadline&) = delete;
    VirtualDeadline& operator=(const VirtualDeadline&) = delete;

    void start(milliseconds delay) override
    {
        at_ = clock_.elapsed_ + std::max(delay, milliseconds{0});
        active_ = true;
    }
    void stop() override { active_ = false; }
    [[nodiscard]] bool isActive() const override { return active_; }

    VirtualClock& clock_;
    std::function<void()> due_;
    milliseconds at_{0};
    bool active_ = false;
};

VirtualClock::VirtualClock(QDateTime start) : start_(std::move(start)) {}

VirtualClock::~VirtualClock() = default;

QDateTime VirtualClock::now() const
{
    return start_.addMSecs(elapsed_.count());
}

std::unique_ptr<calimbra::Deadline> VirtualClock::deadline(std::function<void()> due)
{
    return std::make_unique<VirtualDeadline>(*this, std::move(due));
}

void VirtualClock::advance(milliseconds span)
{
    const milliseconds until = elapsed_ + span;
    for (;;) {
        QCoreApplication::processEvents();
        VirtualDeadline* next = nullptr;
        for (VirtualDeadline* deadline : deadlines_) {
            if (deadline->active_ && deadline->at_ <= until && (!next || deadline->at_ < next->at_))
                next = deadline;
        }
        if (!next)
            break;
        elapsed_ = std::max(elapsed_, next->at_);
        next->active_ = false;
        next->due_();
    }
    elapsed_ = until;
    QCoreApplication::processEvents();
}

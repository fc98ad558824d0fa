// SPDX-License-Identifier: MIT
#pragma once

#include <QDateTime>

#include <chrono>
#include <functional>
#include <memory>

namespace calimbra {

// A one-shot timer on a Clock: calls its function from the event loop once the delay has passed.
class Deadline
{
public:
    virtual ~Deadline() = default;
    // Starting again replaces the pending call.
    virtual void start(std::chrono::milliseconds delay) = 0;
    virtual void stop() = 0;
    [[nodiscard]] virtual bool isActive() const = 0;

protected:
    Deadline() = default;
    Deadline(const Deadline&) = default;
    Deadline& operator=(const Deadline&) = default;
};

// Time as the readings see it: the wall clock with its UTC offset (what is written down), a
// monotonic clock (what intervals are measured on) and deadlines. The system's in the programs; a
// virtual one in tests, so that hours of back-off and time-outs run in no time and always alike.
class Clock
{
public:
    virtual ~Clock() = default;
    // Local time carrying its UTC offset, so that the text written says which zone it is in.
    [[nodiscard]] virtual QDateTime now() const = 0;
    [[nodiscard]] virtual std::chrono::milliseconds monotonic() const = 0;
    [[nodiscard]] virtual std::unique_ptr<Deadline> deadline(std::function<void()> due) = 0;

    // The one the programs use.
    [[nodiscard]] static Clock& system();

protected:
    Clock() = default;
    Clock(const Clock&) = default;
    Clock& operator=(const Clock&) = default;
};

} // namespace calimbra

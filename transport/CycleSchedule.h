// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <functional>

// When the receive worker's cycles start: on a fixed grid of the steady clock,
// so the work of a cycle and the overshoot of its sleep do not stretch the
// rhythm. A cycle that ends after the next one was due is followed by the next
// at once, and the grid is laid anew from there: missed cycles are not made up,
// so no cycle ever handles more than its one piece. While the worker has
// nothing to do it runs no cycles at all; the grid goes on without it, and the
// piece that wakes it is taken at the next point of the grid.
class TCycleSchedule final
{
public:
    using Clock = std::chrono::steady_clock;
    using Now = std::function<Clock::time_point()>;

    explicit TCycleSchedule(Clock::duration period, Now now = &Clock::now)
        : m_period(period), m_now(std::move(now))
    {
    }

    // The first cycle starts now.
    Clock::time_point Begin()
    {
        m_start = m_now();
        return m_start;
    }

    // Called when a cycle's work is done: the start of the next cycle, never
    // earlier than now and never earlier than one period after this cycle began.
    Clock::time_point Next()
    {
        const Clock::time_point due = m_start + m_period;
        const Clock::time_point now = m_now();
        m_start = now > due ? now : due;
        return m_start;
    }

    // After cycles that did not run because there was nothing to do: the first
    // point of the grid from the start Next gave last that is not before now.
    Clock::time_point Resume()
    {
        const Clock::time_point now = m_now();
        if (now > m_start) {
            const auto periods = (now - m_start + m_period - Clock::duration(1)) / m_period;
            m_start += periods * m_period;
        }
        return m_start;
    }

    Clock::duration Period() const { return m_period; }

private:
    Clock::duration m_period;
    Now m_now;
    Clock::time_point m_start{};
};

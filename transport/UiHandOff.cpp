// SPDX-License-Identifier: GPL-3.0-or-later
#include "UiHandOff.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <utility>

struct TUiHandOff::Item {
    enum class Stage { Pending, Running, Done, Dropped };

    explicit Item(std::function<void()> work) : fn(std::move(work)) {}

    std::function<void()> fn;
    Stage stage = Stage::Pending;
    std::exception_ptr error;
};

struct TUiHandOff::State {
    std::mutex mutex;
    std::condition_variable changed;
    bool cancelled = false;
    QObject* context = nullptr; // only used while not cancelled
    std::deque<std::shared_ptr<Item>> pending;

    // On the context's thread. Runs the item unless it was run, dropped or
    // cancelled meanwhile.
    void Execute(const std::shared_ptr<Item>& item)
    {
        {
            std::lock_guard lock(mutex);
            if (item->stage != Item::Stage::Pending)
                return;
            std::erase(pending, item);
            item->stage = Item::Stage::Running;
        }
        try {
            item->fn();
        } catch (...) {
            item->error = std::current_exception();
        }
        {
            std::lock_guard lock(mutex);
            item->stage = Item::Stage::Done;
        }
        changed.notify_all();
    }

    void Cancel()
    {
        {
            std::lock_guard lock(mutex);
            cancelled = true;
            context = nullptr;
            for (const auto& item : pending)
                item->stage = Item::Stage::Dropped;
            pending.clear();
        }
        changed.notify_all();
    }
};

TUiHandOff::TUiHandOff(QObject* context)
    : m_state(std::make_shared<State>())
    , m_thread(context->thread())
{
    m_state->context = context;
    // The context going away ends the hand-off before any posted work could
    // reach it; the state outlives both through the work still queued.
    m_destroyed = QObject::connect(context, &QObject::destroyed, [state = m_state] { state->Cancel(); });
}

TUiHandOff::~TUiHandOff()
{
    QObject::disconnect(m_destroyed);
    m_state->Cancel();
}

bool TUiHandOff::Run(std::function<void()> fn)
{
    const std::shared_ptr<State> state = m_state;
    if (QThread::currentThread() == m_thread) {
        {
            std::lock_guard lock(state->mutex);
            if (state->cancelled)
                return false;
        }
        fn();
        return true;
    }

    auto item = std::make_shared<Item>(std::move(fn));
    std::unique_lock lock(state->mutex);
    if (state->cancelled)
        return false;
    state->pending.push_back(item);
    // Posted under the lock: Cancel, which the context's destruction also
    // calls, cannot slip in between the check above and the post.
    QMetaObject::invokeMethod(
        state->context, [state, item] { state->Execute(item); }, Qt::QueuedConnection);
    state->changed.notify_all();
    state->changed.wait(lock, [&] {
        return item->stage == Item::Stage::Done || item->stage == Item::Stage::Dropped;
    });
    if (item->stage == Item::Stage::Dropped)
        return false;
    // Taken out of the item: the queued call that holds the item too may be
    // released on the other thread while the failure is being handled here.
    const std::exception_ptr error = std::exchange(item->error, nullptr);
    lock.unlock();
    if (error)
        std::rethrow_exception(error);
    return true;
}

void TUiHandOff::Cancel()
{
    m_state->Cancel();
}

bool TUiHandOff::Cancelled() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->cancelled;
}

void TUiHandOff::ServeUntil(const std::function<bool()>& done)
{
    for (;;) {
        std::shared_ptr<Item> next;
        {
            std::unique_lock lock(m_state->mutex);
            m_state->changed.wait(lock, [&] { return !m_state->pending.empty() || done(); });
            if (m_state->pending.empty())
                return;
            next = m_state->pending.front();
        }
        m_state->Execute(next);
    }
}

void TUiHandOff::Wake()
{
    {
        // Taken so that a ServeUntil between its test of done() and its wait
        // cannot miss this wake-up.
        std::lock_guard lock(m_state->mutex);
    }
    m_state->changed.notify_all();
}

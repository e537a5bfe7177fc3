// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QThread>

#include <functional>
#include <memory>

// Runs work on the user-interface thread for a thread that must wait for it,
// in a way that cannot deadlock at shutdown: Cancel releases every waiter, and
// work that was posted but has not run yet is then skipped for good.
//
// The context object must live on the user-interface thread. Destroying the
// context cancels the hand-off as well.
class TUiHandOff final
{
public:
    explicit TUiHandOff(QObject* context);
    ~TUiHandOff();
    Q_DISABLE_COPY_MOVE(TUiHandOff)

    // From any thread: runs fn on the context's thread and waits until it has
    // run. Called on the context's own thread it runs fn at once. Returns false
    // without running fn when Cancel() was called (before, or while this call
    // waits). An exception thrown by fn is carried back and rethrown here.
    bool Run(std::function<void()> fn);

    // Wakes every waiting Run (which then returns false) and makes later Run
    // calls return false at once; work already posted but not yet run is
    // skipped. Work that is running when Cancel is called finishes, and its
    // Run returns true.
    void Cancel();
    bool Cancelled() const;

    // On the context's thread: runs posted work as it arrives until done()
    // is true. For a thread that joins a worker which may be waiting in Run:
    // the worker's pending work is carried out instead of being left to an
    // event loop that is not running. The worker calls Wake() once done() has
    // become true.
    void ServeUntil(const std::function<bool()>& done);
    void Wake();

private:
    struct Item;
    struct State;
    std::shared_ptr<State> m_state;
    QThread* m_thread = nullptr;
    QMetaObject::Connection m_destroyed;
};

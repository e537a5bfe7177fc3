// SPDX-License-Identifier: GPL-3.0-or-later
#include "Centring.h"

#include <QEvent>
#include <QMargins>
#include <QTimer>
#include <QWidget>

namespace {

// How often and how long a shown window is watched for its frame.
constexpr int WatchIntervalMs = 15;
constexpr int WatchTicks = 70;

class TCentring final : public QObject
{
public:
    TCentring(QWidget* window, std::function<const QWidget*()> owner)
        : QObject(window)
        , m_window(window)
        , m_owner(std::move(owner))
    {
        m_watch.setInterval(WatchIntervalMs);
        connect(&m_watch, &QTimer::timeout, this, [this] {
            const bool placed = Place();
            // Decorated: the frame is wider than the client area. Without a window
            // manager there is no frame, and the watch just runs out.
            const bool decorated = m_window->frameGeometry() != m_window->geometry();
            if ((placed && decorated) || ++m_ticks >= WatchTicks)
                m_watch.stop();
        });
        window->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_window) {
            if (event->type() == QEvent::Show) {
                Place();
                m_ticks = 0;
                m_watch.start();
            } else if (event->type() == QEvent::Hide) {
                m_watch.stop();
            }
        }
        return false;
    }

private:
    // Returns whether the window was where it belongs already.
    bool Place()
    {
        const QWidget* owner = m_owner ? m_owner() : nullptr;
        if (!owner)
            return true;
        const QWidget* main = owner->window();
        // The toolkit may not learn a window's frame for a long while after the
        // window manager has put one around it. Until it does, the window is
        // taken to be framed like the owner, so that its frame, not its client
        // area, ends up centred.
        QMargins margins = FrameMargins(m_window);
        if (margins.isNull())
            margins = FrameMargins(main);
        const QPoint frame = CentredFramePosition(main->frameGeometry(), m_window->size().grownBy(margins));
        const QPoint client = frame + QPoint(margins.left(), margins.top());
        if (m_window->geometry().topLeft() == client)
            return true;
        // A window's position is that of its frame as far as the toolkit knows it.
        m_window->move(client - (m_window->geometry().topLeft() - m_window->frameGeometry().topLeft()));
        return false;
    }

    static QMargins FrameMargins(const QWidget* window)
    {
        const QRect frame = window->frameGeometry();
        const QRect client = window->geometry();
        return {client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
                frame.bottom() - client.bottom()};
    }

    QWidget* m_window;
    std::function<const QWidget*()> m_owner;
    QTimer m_watch;
    int m_ticks = 0;
};

} // namespace

QPoint CentredFramePosition(const QRect& ownerFrame, const QSize& frame)
{
    // C++ integer division cuts toward zero.
    return {ownerFrame.left() + ownerFrame.width() / 2 - frame.width() / 2,
            ownerFrame.top() + ownerFrame.height() / 2 - frame.height() / 2};
}

void CentreOnEveryShowing(QWidget* window, std::function<const QWidget*()> owner)
{
    new TCentring(window, std::move(owner));
}

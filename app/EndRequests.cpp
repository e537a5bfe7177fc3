// SPDX-License-Identifier: GPL-3.0-or-later
#include "EndRequests.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

TEndRequests::TEndRequests(QWidget* mainWindow, QObject* parent)
    : QObject(parent)
    , m_mainWindow(mainWindow)
{
    connect(&m_signals, &TTerminationSignals::Received, this, [this] { emit EndRequested(); });
    QCoreApplication::instance()->installEventFilter(this);
}

TEndRequests::~TEndRequests()
{
    QCoreApplication::instance()->removeEventFilter(this);
}

bool TEndRequests::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Quit && event->spontaneous() && watched == QCoreApplication::instance() &&
        m_mainWindow && m_mainWindow->isVisible()) {
        emit EndRequested();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

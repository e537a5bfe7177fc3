// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

// A rectangular lamp: bright green when on, the same green at a third of each
// component when off, with an optional centred bold label.
class TLed final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TLed)

public:
    explicit TLed(QWidget* parent = nullptr);

    bool On() const { return m_on; }
    void SetOn(bool on);

    QString Caption() const { return m_caption; }
    void SetCaption(const QString& caption);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_on = false;
    QString m_caption;
};

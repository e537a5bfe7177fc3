// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPixmap>
#include <QWidget>

#include <functional>

// A plain picture that reacts to the mouse only: click, pointer moving over it,
// pointer leaving it. It never takes the keyboard focus.
class TPictureButton final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TPictureButton)

public:
    explicit TPictureButton(QWidget* parent = nullptr);

    void SetPicture(const QPixmap& picture);
    const QPixmap& Picture() const { return m_picture; }
    qint64 PictureKey() const { return m_picture.cacheKey(); }

    std::function<void()> OnClick;
    std::function<void()> OnMouseMove;
    std::function<void()> OnMouseLeave;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QPixmap m_picture;
};

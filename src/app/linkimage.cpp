#include "app/linkimage.h"

#include <QMouseEvent>
#include <QPainter>

LinkImage::LinkImage(const QString& name, const QPixmap& picture, QWidget* parent) : QWidget(parent) {
    setObjectName(name);
    setPicture(picture);
    setCursor(Qt::PointingHandCursor);
}

void LinkImage::setPicture(const QPixmap& picture) {
    m_picture = picture;
    if (!picture.isNull())
        resize(picture.deviceIndependentSize().toSize());
    update();
}

QSize LinkImage::sizeHint() const {
    return m_picture.isNull() ? QSize(16, 16) : m_picture.deviceIndependentSize().toSize();
}

void LinkImage::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawPixmap(rect(), m_picture);
    if (isEnabled() && m_hover) {
        // A light glow while the mouse is over a clickable picture.
        p.fillRect(rect(), QColor(255, 255, 255, m_pressed ? 20 : 45));
    }
}

void LinkImage::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_pressed = true;
        update();
    }
    event->accept();
}

void LinkImage::mouseReleaseEvent(QMouseEvent* event) {
    const bool wasPressed = m_pressed;
    m_pressed = false;
    update();
    if (event->button() == Qt::LeftButton && wasPressed && rect().contains(event->position().toPoint()))
        emit clicked();
    event->accept();
}

void LinkImage::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange)
        setCursor(isEnabled() ? Qt::PointingHandCursor : Qt::ArrowCursor);
    QWidget::changeEvent(event);
}

void LinkImage::enterEvent(QEnterEvent*) {
    m_hover = true;
    update();
}

void LinkImage::leaveEvent(QEvent*) {
    m_hover = false;
    update();
}

LinkLabel::LinkLabel(const QString& name, const QString& text, QWidget* parent) : QLabel(text, parent) {
    setObjectName(name);
    setProperty("role", QStringLiteral("link"));
    setCursor(Qt::PointingHandCursor);
    QFont f = font();
    f.setUnderline(true);
    setFont(f);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QLabel::mouseReleaseEvent(event);
}

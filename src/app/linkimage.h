#pragma once

#include <QPixmap>
#include <QWidget>

// A picture that may act as a link: drawn as it is (also when disabled, so a disabled picture
// keeps its colours but ignores the mouse); when enabled it shows a hand cursor and a left click
// emits clicked().
class LinkImage : public QWidget {
    Q_OBJECT
public:
    LinkImage(const QString& name, const QPixmap& picture, QWidget* parent = nullptr);
    explicit LinkImage(QWidget* parent) : LinkImage(QString(), QPixmap(), parent) {}
    void setPicture(const QPixmap& picture);
    const QPixmap& picture() const { return m_picture; }
    QSize sizeHint() const override;

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QPixmap m_picture;
    bool m_pressed = false;
    bool m_hover = false;
};

#include <QLabel>

// An underlined text with a hand cursor that emits clicked() on a left click.
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    LinkLabel(const QString& name, const QString& text, QWidget* parent = nullptr);
    explicit LinkLabel(QWidget* parent) : LinkLabel(QString(), QString(), parent) {}

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

class QWidget;

// The program's pictures: the numbered pictures of the navigation bar and the tool bars, and the
// named ones (banners, badges). All are drawn by us and kept in the resources; a numbered picture
// that has no file yet is drawn on the fly.
namespace Pictures {
QIcon icon(int number);
QPixmap pixmap(const QString& name, const QSize& size = QSize());
// The decorative banner of three pictures that sits above a page's tool bar: the product's
// name on the left, a stretching middle and a picture on the right. 44 pixels high.
QWidget* banner(QWidget* parent, const QString& name = QStringLiteral("bsSkinPanel1"));
// The same banner with its stretching middle naming the page: the page's picture, the title and
// a smaller line saying what the page is for (none when empty).
QWidget* titledBanner(QWidget* parent, int picture, const QString& title, const QString& subtitle,
                      const QString& name = QStringLiteral("bsSkinPanel1"));
} // namespace Pictures

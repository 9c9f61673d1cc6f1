#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

// The program's pictures: the numbered pictures of the navigation bar and the tool bars, and the
// named ones (banners, badges). All are drawn by us and kept in the resources; a numbered picture
// that has no file yet is drawn on the fly.
namespace Pictures {
QIcon icon(int number);
QPixmap pixmap(const QString& name, const QSize& size = QSize());
} // namespace Pictures

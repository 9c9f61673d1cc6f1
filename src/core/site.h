#pragma once

#include <QString>

// The maker's web site: one host for the status bar, the links and the embedded pages.
namespace Site {
inline const QString host = QStringLiteral("www.vandrel-soft.cn");
inline QString url(const QString& path = QString()) {
    return QStringLiteral("https://") + host + path;
}
} // namespace Site

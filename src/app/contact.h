#pragma once

#include <QString>

// How shop keepers reach the maker's customer service.
namespace Contact {
inline const QString qq = QStringLiteral("800612378");
inline const QString phone = QStringLiteral("0571-86502468");
inline const QString email = QStringLiteral("service@vandrel-soft.cn");
} // namespace Contact

// The maker's forum, beside the web site of Site::host.
namespace Forum {
inline const QString host = QStringLiteral("bbs.vandrel-soft.cn");
inline QString url() {
    return QStringLiteral("https://") + host + QStringLiteral("/");
}
} // namespace Forum

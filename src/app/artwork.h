#pragma once

#include <QColor>
#include <QPixmap>
#include <QRect>
#include <QSize>
#include <QString>

// The shell's pictures, drawn by the program itself in the colours of its style sheet: the guide
// pages, the welcome page's banner, logo, tab, shortcut and link pictures, the about banner and
// the picture buttons.
namespace Artwork {
namespace Colour {
inline const QColor navy(0x1d, 0x3a, 0x5c);
inline const QColor deep(0x2d, 0x57, 0x88);
inline const QColor blue(0x3c, 0x6e, 0xa8);
inline const QColor sky(0x5b, 0x8f, 0xc7);
inline const QColor pale(0xdb, 0xe7, 0xf4);
inline const QColor mist(0xee, 0xf3, 0xf8);
inline const QColor orange(0xe0, 0x8a, 0x1e);
inline const QColor green(0x2e, 0x9d, 0x4f);
inline const QColor red(0xc0, 0x39, 0x2b);
} // namespace Colour

QString fontFamily();

// One page of the guide (1 to 6), 642 × 400.
QPixmap guidePage(int page);
// A rounded picture button with its words; green when asked, blue otherwise.
QPixmap button(const QString& words, const QSize& size, bool green = false);

QPixmap welcomeBanner(const QSize& size);
QPixmap logo(const QSize& size);
QPixmap verticalTab(const QSize& size);
QPixmap flowArrows(const QSize& size);
// Where each shortcut sits on the arrows picture: 0 入库, 1 库房, 2 订单, 3 结算, 4 会员.
QRect shortcutPlace(int index);
// A shortcut of the welcome page: a numbered picture and two characters, 69 × 42.
QPixmap shortcut(const QString& words, int picture);
QPixmap linkStrip(const QString& words, const QString& emphasis, int picture, const QSize& size);
QPixmap decoration(const QSize& size);
QPixmap aboutBanner(const QSize& size);
} // namespace Artwork

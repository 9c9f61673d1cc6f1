#include "app/artwork.h"

#include "widgets/pictures.h"

#include <QHash>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

using namespace Artwork::Colour;

namespace {

QFont font(int pixels, bool bold = false) {
    QFont f(Artwork::fontFamily());
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

QPixmap canvas(const QSize& size, QPainter& p, const QColor& fill = Qt::transparent) {
    QPixmap pm(size);
    pm.fill(fill);
    p.begin(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    return pm;
}

// The maker's mark: a rounded square with a bold V.
void drawMark(QPainter& p, const QRectF& r) {
    QLinearGradient g(r.topLeft(), r.bottomRight());
    g.setColorAt(0, sky);
    g.setColorAt(1, deep);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(r, r.width() * 0.22, r.width() * 0.22);
    QPainterPath v;
    const qreal w = r.width(), h = r.height();
    v.moveTo(r.left() + w * 0.18, r.top() + h * 0.22);
    v.lineTo(r.left() + w * 0.38, r.top() + h * 0.22);
    v.lineTo(r.left() + w * 0.50, r.top() + h * 0.60);
    v.lineTo(r.left() + w * 0.62, r.top() + h * 0.22);
    v.lineTo(r.left() + w * 0.82, r.top() + h * 0.22);
    v.lineTo(r.left() + w * 0.58, r.top() + h * 0.80);
    v.lineTo(r.left() + w * 0.42, r.top() + h * 0.80);
    v.closeSubpath();
    p.setBrush(Qt::white);
    p.drawPath(v);
    p.setBrush(orange);
    p.drawEllipse(QPointF(r.left() + w * 0.78, r.top() + h * 0.76), w * 0.09, w * 0.09);
}

void drawIcon(QPainter& p, int picture, const QRectF& r) {
    p.drawPixmap(r.toRect(), Pictures::icon(picture).pixmap(r.size().toSize() * 2));
}

// A numbered marker: an orange disc with a white number.
void drawNumber(QPainter& p, const QPointF& centre, int number, qreal radius = 11) {
    p.setPen(QPen(Qt::white, 2));
    p.setBrush(orange);
    p.drawEllipse(centre, radius, radius);
    p.setPen(Qt::white);
    p.setFont(font(int(radius * 1.3), true));
    p.drawText(QRectF(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius), Qt::AlignCenter,
               QString::number(number));
}

void drawParagraphs(QPainter& p, QRectF area, const QStringList& lines, int size = 14) {
    p.setFont(font(size));
    for (const QString& line : lines) {
        QRectF used;
        p.setPen(navy);
        p.drawText(area, Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, line, &used);
        area.setTop(used.bottom() + size * 0.6);
    }
}

void drawSteps(QPainter& p, QRectF area, const QStringList& steps) {
    int n = 1;
    p.setFont(font(14));
    for (const QString& step : steps) {
        drawNumber(p, QPointF(area.left() + 11, area.top() + 11), n++);
        QRectF text(area.left() + 30, area.top() + 1, area.width() - 30, area.height());
        QRectF used;
        p.setPen(navy);
        p.setFont(font(14));
        p.drawText(text, Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, step, &used);
        area.setTop(std::max(used.bottom(), area.top() + 22) + 12);
    }
}

// A small drawing of the main window: navigation bar, tool bar with search box, grid. The item
// and tool button named are ringed in orange.
struct Sketch {
    QRectF nav, tools, search, grid;
};

Sketch drawWindow(QPainter& p, const QRectF& r, const QString& navItem, const QStringList& buttons,
                  const QString& toolButton) {
    Sketch s;
    p.setPen(QPen(deep, 1.5));
    p.setBrush(Qt::white);
    p.drawRoundedRect(r, 5, 5);
    QRectF title(r.left(), r.top(), r.width(), 18);
    QLinearGradient tg(title.topLeft(), title.bottomLeft());
    tg.setColorAt(0, sky);
    tg.setColorAt(1, blue);
    p.setPen(Qt::NoPen);
    p.setBrush(tg);
    QPainterPath tp;
    tp.addRoundedRect(title, 5, 5);
    tp.addRect(title.adjusted(0, 9, 0, 0));
    tp.setFillRule(Qt::WindingFill);
    p.drawPath(tp.simplified());
    p.setPen(Qt::white);
    p.setFont(font(10));
    p.drawText(title.adjusted(8, 0, 0, 0), Qt::AlignVCenter, QStringLiteral("Vandrel通用进销存"));

    s.nav = QRectF(r.left() + 1, title.bottom(), 46, r.bottom() - title.bottom() - 1);
    p.setPen(Qt::NoPen);
    p.setBrush(pale);
    p.drawRect(s.nav);
    const QStringList items = {QStringLiteral("订 单"), QStringLiteral("结 算"), QStringLiteral("库 房"),
                               QStringLiteral("会 员")};
    const int pictures[] = {0, 8, 2, 5};
    for (int i = 0; i < items.size(); ++i) {
        QRectF cell(s.nav.left() + 4, s.nav.top() + 6 + i * 40, 38, 36);
        drawIcon(p, pictures[i], QRectF(cell.center().x() - 9, cell.top() + 2, 18, 18));
        p.setPen(navy);
        p.setFont(font(9));
        p.drawText(QRectF(cell.left() - 4, cell.top() + 21, cell.width() + 8, 13), Qt::AlignCenter, items[i]);
        if (items[i] == navItem) {
            p.setPen(QPen(orange, 2.5));
            p.setBrush(Qt::NoBrush);
            p.drawRoundedRect(cell.adjusted(-2, -2, 2, 2), 5, 5);
        }
    }
    s.tools = QRectF(s.nav.right(), title.bottom(), r.right() - s.nav.right() - 1, 38);
    QLinearGradient bg(s.tools.topLeft(), s.tools.bottomLeft());
    bg.setColorAt(0, QColor(0xfb, 0xfd, 0xff));
    bg.setColorAt(1, pale);
    p.setPen(Qt::NoPen);
    p.setBrush(bg);
    p.drawRect(s.tools);
    qreal x = s.tools.left() + 6;
    // The pictures the frames' tool bars use for these captions.
    const QHash<QString, int> toolPictures = {{QStringLiteral("新 建"), 21}, {QStringLiteral("入 库"), 1},
                                              {QStringLiteral("修 改"), 20}, {QStringLiteral("删 除"), 19},
                                              {QStringLiteral("刷 新"), 16}, {QStringLiteral("打 印"), 15},
                                              {QStringLiteral("帮 助"), 6},  {QStringLiteral("新订单"), 21},
                                              {QStringLiteral("分 类"), 13}, {QStringLiteral("结 算！"), 8}};
    for (int i = 0; i < buttons.size(); ++i) {
        QRectF cell(x, s.tools.top() + 3, 34, 32);
        drawIcon(p, toolPictures.value(buttons[i], 16),
                 QRectF(cell.center().x() - 8, cell.top() + 1, 16, 16));
        p.setPen(navy);
        p.setFont(font(9));
        p.drawText(QRectF(cell.left() - 4, cell.top() + 18, cell.width() + 8, 13), Qt::AlignCenter,
                   buttons[i]);
        if (buttons[i] == toolButton) {
            p.setPen(QPen(orange, 2.5));
            p.setBrush(Qt::NoBrush);
            p.drawRoundedRect(cell.adjusted(-2, -2, 2, 2), 5, 5);
        }
        x += 38;
    }
    s.search = QRectF(s.tools.right() - 78, s.tools.top() + 11, 70, 16);
    p.setPen(QPen(QColor(0x9f, 0xb6, 0xd0), 1));
    p.setBrush(Qt::white);
    p.drawRoundedRect(s.search, 3, 3);
    p.setPen(QColor(0x9f, 0xb6, 0xd0));
    p.setFont(font(9));
    p.drawText(s.search.adjusted(4, 0, 0, 0), Qt::AlignVCenter, QStringLiteral("速查…"));

    s.grid = QRectF(s.tools.left() + 6, s.tools.bottom() + 6, s.tools.width() - 12,
                    r.bottom() - s.tools.bottom() - 12);
    p.setPen(QPen(QColor(0xb9, 0xcb, 0xe0), 1));
    p.setBrush(Qt::white);
    p.drawRect(s.grid);
    p.setPen(Qt::NoPen);
    p.setBrush(pale);
    p.drawRect(QRectF(s.grid.left(), s.grid.top(), s.grid.width(), 14));
    for (int row = 0; row * 14 + 28 < s.grid.height(); ++row) {
        const QRectF line(s.grid.left() + 1, s.grid.top() + 14 + row * 14, s.grid.width() - 2, 14);
        if (row == 1)
            p.setBrush(blue);
        else
            p.setBrush(row % 2 ? QColor(0xf3, 0xf7, 0xfb) : Qt::white);
        p.drawRect(line);
        p.setBrush(row == 1 ? QColor(255, 255, 255, 150) : QColor(0xd4, 0xdf, 0xeb));
        for (int c = 0; c < 4; ++c)
            p.drawRoundedRect(
                QRectF(line.left() + 6 + c * line.width() / 4, line.top() + 5, line.width() / 4 - 18, 4), 2,
                2);
    }
    return s;
}

void drawPageFrame(QPainter& p, int page, const QString& heading) {
    QLinearGradient bg(0, 0, 0, 400);
    bg.setColorAt(0, Qt::white);
    bg.setColorAt(1, mist);
    p.fillRect(QRect(0, 0, 642, 400), bg);
    QLinearGradient band(0, 0, 642, 0);
    band.setColorAt(0, deep);
    band.setColorAt(1, sky);
    p.fillRect(QRect(0, 0, 642, 64), band);
    p.fillRect(QRect(0, 64, 642, 3), orange);
    // Light circles in the band.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 25));
    p.drawEllipse(QPointF(520, 10), 70, 70);
    p.drawEllipse(QPointF(430, 70), 40, 40);
    drawMark(p, QRectF(20, 14, 36, 36));
    p.setPen(Qt::white);
    p.setFont(font(24, true));
    p.drawText(QRectF(70, 0, 460, 64), Qt::AlignVCenter | Qt::AlignLeft, heading);
    // Page number out of six, top right.
    const QRectF pill(560, 20, 62, 24);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 230));
    p.drawRoundedRect(pill, 12, 12);
    p.setPen(deep);
    p.setFont(font(14, true));
    p.drawText(pill, Qt::AlignCenter, QStringLiteral("%1 / 6").arg(page));
    // Progress dots along the bottom left.
    for (int i = 1; i <= 6; ++i) {
        p.setBrush(i == page ? orange : QColor(0xc9, 0xd9, 0xec));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(30 + (i - 1) * 16, 378), i == page ? 5 : 4, i == page ? 5 : 4);
    }
}

} // namespace

QString Artwork::fontFamily() {
    return QStringLiteral("WenQuanYi Micro Hei");
}

QPixmap Artwork::guidePage(int page) {
    QPainter p;
    QPixmap pm = canvas(QSize(642, 400), p, Qt::white);
    switch (page) {
    case 1: {
        drawPageFrame(p, 1, QStringLiteral("Vandrel进销存 使用指南"));
        p.setPen(deep);
        p.setFont(font(20, true));
        p.drawText(QRectF(40, 88, 380, 30), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("感谢您选择Vandrel通用进销存！"));
        drawParagraphs(p, QRectF(40, 130, 360, 150),
                       {QStringLiteral("它帮您管理店里的订单、库存和会员：进货入库、开单出库、"
                                       "结算收款、会员充值与消费，全都记在一本账上。"),
                        QStringLiteral("这份指南用几页图片介绍软件的基本功能，只需几分钟就能上手。")});
        const struct {
            int picture;
            const char* words;
            QColor colour;
        } circles[] = {{0, "订单", blue}, {2, "库存", green}, {5, "会员", orange}};
        for (int i = 0; i < 3; ++i) {
            const QPointF c(470 + (i % 2) * 90, 125 + i * 62);
            p.setPen(Qt::NoPen);
            p.setBrush(circles[i].colour.lighter(170));
            p.drawEllipse(c, 34, 34);
            p.setBrush(Qt::white);
            p.drawEllipse(c, 27, 27);
            drawIcon(p, circles[i].picture, QRectF(c.x() - 13, c.y() - 20, 26, 26));
            p.setPen(circles[i].colour.darker(120));
            p.setFont(font(11, true));
            p.drawText(QRectF(c.x() - 27, c.y() + 5, 54, 16), Qt::AlignCenter,
                       QString::fromUtf8(circles[i].words));
        }
        break;
    }
    case 2: {
        drawPageFrame(p, 2, QStringLiteral("界面介绍"));
        const QStringList tools = {QStringLiteral("新 建"), QStringLiteral("修 改"), QStringLiteral("删 除"),
                                   QStringLiteral("刷 新")};
        const Sketch s = drawWindow(p, QRectF(28, 84, 330, 270), QString(), tools, QString());
        drawNumber(p, QPointF(s.nav.center().x(), s.nav.bottom() - 30), 1);
        drawNumber(p, QPointF(s.tools.left() + 182, s.tools.center().y()), 2);
        drawNumber(p, QPointF(s.search.center().x(), s.search.bottom() + 10), 3);
        drawNumber(p, s.grid.center() + QPointF(0, 30), 4);
        const QStringList legend = {
            QStringLiteral("切换菜单：在订单、库房、会员和系统之间切换"),
            QStringLiteral("功能区：放着当前页面主要操作的按钮"),
            QStringLiteral("速查区：输入关键字，立刻找到相关的数据"),
            QStringLiteral("数据区：用表格显示数据，滚轮可逐行移动"),
        };
        drawSteps(p, QRectF(378, 92, 240, 260), legend);
        break;
    }
    case 3: {
        drawPageFrame(p, 3, QStringLiteral("第一步，先添加库存记录"));
        drawSteps(p, QRectF(30, 92, 250, 260),
                  {QStringLiteral("在左边的切换菜单里点“库 房”。"), QStringLiteral("在功能区点“新 建”。"),
                   QStringLiteral("在“新建产品”窗口里填好名称、分类、单位和价格，保存后就有了一条库存记录。"),
                   QStringLiteral("到货时选中产品点“入 库”，库存数量随之增加。")});
        drawWindow(p, QRectF(300, 88, 318, 262), QStringLiteral("库 房"),
                   {QStringLiteral("新 建"), QStringLiteral("入 库"), QStringLiteral("修 改"),
                    QStringLiteral("删 除"), QStringLiteral("刷 新")},
                   QStringLiteral("新 建"));
        break;
    }
    case 4: {
        drawPageFrame(p, 4, QStringLiteral("第二步，创建订单"));
        drawSteps(p, QRectF(30, 92, 250, 270),
                  {QStringLiteral("点切换菜单里的“订 单”，再点功能区的“新订单”。"),
                   QStringLiteral("窗口左边列出了当前的库存，选中要卖的产品。"),
                   QStringLiteral("输入数量，点“添 加”，产品就加进了新订单。"),
                   QStringLiteral("数据随时保存，关闭窗口即完成订单。")});
        drawWindow(p, QRectF(300, 88, 318, 262), QStringLiteral("订 单"),
                   {QStringLiteral("新订单"), QStringLiteral("分 类"), QStringLiteral("修 改"),
                    QStringLiteral("删 除"), QStringLiteral("刷 新")},
                   QStringLiteral("新订单"));
        // The new-order dialog over the window.
        const QRectF d(392, 196, 214, 140);
        p.setPen(QPen(deep, 1.5));
        p.setBrush(Qt::white);
        p.drawRoundedRect(d, 4, 4);
        p.fillRect(QRectF(d.left() + 1, d.top() + 1, d.width() - 2, 16), blue);
        p.setPen(Qt::white);
        p.setFont(font(10));
        p.drawText(QRectF(d.left() + 6, d.top(), 100, 17), Qt::AlignVCenter, QStringLiteral("新订单"));
        p.setPen(QPen(QColor(0xb9, 0xcb, 0xe0), 1));
        p.setBrush(mist);
        p.drawRect(QRectF(d.left() + 8, d.top() + 24, 96, 106));
        p.setPen(navy);
        p.setFont(font(10));
        p.drawText(QRectF(d.left() + 8, d.top() + 26, 96, 14), Qt::AlignCenter, QStringLiteral("库存列表"));
        p.drawText(QRectF(d.left() + 112, d.top() + 30, 40, 16), Qt::AlignVCenter, QStringLiteral("数量"));
        p.setPen(QPen(QColor(0x9f, 0xb6, 0xd0), 1));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(d.left() + 148, d.top() + 30, 56, 16));
        p.setPen(navy);
        p.drawText(QRectF(d.left() + 150, d.top() + 30, 50, 16), Qt::AlignVCenter, QStringLiteral("3"));
        const QRectF add(d.left() + 130, d.top() + 60, 60, 22);
        p.setPen(QPen(orange, 2.5));
        p.setBrush(pale);
        p.drawRoundedRect(add, 4, 4);
        p.setPen(navy);
        p.drawText(add, Qt::AlignCenter, QStringLiteral("添  加"));
        break;
    }
    case 5: {
        drawPageFrame(p, 5, QStringLiteral("第三步，对订单结算"));
        drawSteps(p, QRectF(30, 92, 250, 270),
                  {QStringLiteral("点切换菜单里的“结 算”，在数据区选中要结算的订单。"),
                   QStringLiteral("点功能区的“结 算！”按钮。"),
                   QStringLiteral("需要时选择折扣，再选现金结算或会员卡结算。"),
                   QStringLiteral("会员卡结算前，请先添加会员并为会员卡充值。")});
        drawWindow(p, QRectF(300, 88, 318, 262), QStringLiteral("结 算"),
                   {QStringLiteral("结 算！"), QStringLiteral("刷 新"), QStringLiteral("打 印"),
                    QStringLiteral("帮 助")},
                   QStringLiteral("结 算！"));
        // Two payment choices.
        const QRectF cash(400, 250, 96, 40), card(508, 250, 96, 40);
        for (const auto& [r, words, colour] : {std::tuple{cash, QStringLiteral("现金结算"), green},
                                               std::tuple{card, QStringLiteral("会员卡结算"), orange}}) {
            p.setPen(QPen(colour.darker(115), 1.5));
            p.setBrush(colour);
            p.drawRoundedRect(r, 6, 6);
            p.setPen(Qt::white);
            p.setFont(font(13, true));
            p.drawText(r, Qt::AlignCenter, words);
        }
        break;
    }
    default: {
        drawPageFrame(p, 6, QStringLiteral("开始使用！"));
        p.setPen(deep);
        p.setFont(font(20, true));
        p.drawText(QRectF(40, 86, 560, 32), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("恭喜！您已经了解了软件的基本功能。"));
        drawParagraphs(p, QRectF(40, 126, 560, 80),
                       {QStringLiteral("添加库存、创建订单、结算收款，日常的工作就是这么简单。"
                                       "点右下角的按钮，开始您的工作吧！")});
        // A ribbon of stars on the right, above the start button.
        p.setPen(Qt::NoPen);
        for (int i = 0; i < 5; ++i) {
            QPainterPath star;
            const QPointF c(440 + i * 36, 232);
            for (int k = 0; k < 10; ++k) {
                const qreal angle = -M_PI / 2 + k * M_PI / 5;
                const qreal radius = k % 2 ? 6 : 14;
                const QPointF pt(c.x() + radius * std::cos(angle), c.y() + radius * std::sin(angle));
                k ? star.lineTo(pt) : star.moveTo(pt);
            }
            star.closeSubpath();
            p.setBrush(i % 2 ? orange : QColor(0xf2, 0xc1, 0x4e));
            p.drawPath(star);
        }
        break;
    }
    }
    p.end();
    return pm;
}

QPixmap Artwork::button(const QString& words, const QSize& size, bool isGreen) {
    QPainter p;
    QPixmap pm = canvas(size, p);
    const QColor base = isGreen ? green : blue;
    QLinearGradient g(0, 0, 0, size.height());
    g.setColorAt(0, base.lighter(130));
    g.setColorAt(1, base.darker(110));
    const QRectF r(0.5, 0.5, size.width() - 1, size.height() - 1);
    p.setPen(QPen(base.darker(140), 1));
    p.setBrush(g);
    p.drawRoundedRect(r, 5, 5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 45));
    p.drawRoundedRect(QRectF(2, 2, size.width() - 4, size.height() / 2 - 1), 4, 4);
    p.setPen(Qt::white);
    p.setFont(font(isGreen ? 20 : 14, true));
    p.drawText(r, Qt::AlignCenter, words);
    p.end();
    return pm;
}

QPixmap Artwork::welcomeBanner(const QSize& size) {
    QPainter p;
    QPixmap pm = canvas(size, p, Qt::white);
    const qreal w = size.width(), h = size.height();
    QLinearGradient sky_(0, 0, 0, h);
    sky_.setColorAt(0, QColor(0xd6, 0xe8, 0xfa));
    sky_.setColorAt(1, QColor(0xf7, 0xfb, 0xff));
    p.fillRect(QRectF(0, 0, w, h), sky_);
    // Soft hills along the bottom.
    p.setPen(Qt::NoPen);
    QPainterPath hill;
    hill.moveTo(0, h);
    hill.lineTo(0, h - 50);
    hill.cubicTo(w * 0.25, h - 95, w * 0.45, h - 20, w * 0.7, h - 60);
    hill.cubicTo(w * 0.85, h - 85, w * 0.95, h - 60, w, h - 70);
    hill.lineTo(w, h);
    p.setBrush(QColor(0xc9, 0xdd, 0xf2));
    p.drawPath(hill);
    QPainterPath hill2;
    hill2.moveTo(0, h);
    hill2.lineTo(0, h - 25);
    hill2.cubicTo(w * 0.3, h - 55, w * 0.6, h - 5, w, h - 40);
    hill2.lineTo(w, h);
    p.setBrush(QColor(0xb3, 0xcd, 0xea));
    p.drawPath(hill2);
    // "永久免费！" ribbon.
    QPainterPath ribbon;
    ribbon.moveTo(40, 40);
    ribbon.lineTo(210, 40);
    ribbon.lineTo(196, 60);
    ribbon.lineTo(210, 80);
    ribbon.lineTo(40, 80);
    ribbon.closeSubpath();
    p.setBrush(red);
    p.drawPath(ribbon);
    p.setPen(Qt::white);
    p.setFont(font(24, true));
    p.drawText(QRectF(46, 40, 150, 40), Qt::AlignCenter, QStringLiteral("永久免费！"));
    // Greeting.
    p.setPen(deep);
    p.setFont(font(34, true));
    p.drawText(QRectF(40, 92, w - 300, 56), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("欢迎使用"));
    p.setPen(navy);
    p.setFont(font(38, true));
    p.drawText(QRectF(40, 140, w - 280, 60), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Vandrel通用进销存"));
    p.setPen(QColor(0x4a, 0x66, 0x88));
    p.setFont(font(15));
    p.drawText(QRectF(42, 200, w - 300, 24), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("进货 · 销售 · 库存 · 会员，小店的一本明白账"));
    // A chart board on the right.
    const QRectF board(w - 250, 48, 200, 150);
    p.setPen(QPen(QColor(0x9f, 0xb6, 0xd0), 1.5));
    p.setBrush(Qt::white);
    p.drawRoundedRect(board, 10, 10);
    const qreal bars[] = {0.35, 0.55, 0.45, 0.75, 0.9};
    for (int i = 0; i < 5; ++i) {
        const qreal bh = (board.height() - 50) * bars[i];
        QRectF bar(board.left() + 22 + i * 34, board.bottom() - 20 - bh, 22, bh);
        QLinearGradient bg(bar.topLeft(), bar.bottomLeft());
        bg.setColorAt(0, i == 4 ? orange : sky);
        bg.setColorAt(1, i == 4 ? orange.darker(120) : blue);
        p.setPen(Qt::NoPen);
        p.setBrush(bg);
        p.drawRoundedRect(bar, 3, 3);
    }
    p.setPen(QPen(green, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPolygonF trend;
    for (int i = 0; i < 5; ++i)
        trend << QPointF(board.left() + 33 + i * 34, board.bottom() - 34 - (board.height() - 50) * bars[i]);
    p.drawPolyline(trend);
    // Boxes in front of the board.
    const QColor boxColours[] = {QColor(0xd9, 0xa0, 0x5b), QColor(0xc8, 0x8a, 0x45),
                                 QColor(0xe3, 0xb0, 0x6e)};
    const QRectF boxes[] = {QRectF(w - 300, h - 92, 60, 50), QRectF(w - 240, h - 82, 50, 40),
                            QRectF(w - 285, h - 132, 44, 40)};
    for (int i = 0; i < 3; ++i) {
        p.setPen(QPen(boxColours[i].darker(130), 1.2));
        p.setBrush(boxColours[i]);
        p.drawRect(boxes[i]);
        p.drawLine(QPointF(boxes[i].center().x(), boxes[i].top()),
                   QPointF(boxes[i].center().x(), boxes[i].top() + 12));
    }
    p.end();
    return pm;
}

QPixmap Artwork::logo(const QSize& size) {
    QPainter p;
    QPixmap pm = canvas(size, p, Qt::white);
    const qreal w = size.width(), h = size.height();
    QLinearGradient bg(0, 0, 0, h);
    bg.setColorAt(0, QColor(0xb8, 0x2e, 0x24));
    bg.setColorAt(1, QColor(0xd9, 0x48, 0x32));
    p.fillRect(QRectF(0, 0, w, h), bg);
    // Gold border and lantern-like circles.
    p.setPen(QPen(QColor(0xf2, 0xc1, 0x4e), 2));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(6, 6, w - 12, h - 12), 8, 8);
    drawMark(p, QRectF(w / 2 - 34, 22, 68, 68));
    p.setPen(Qt::white);
    p.setFont(font(20, true));
    p.drawText(QRectF(0, 96, w, 28), Qt::AlignCenter, QStringLiteral("Vandrel软件"));
    p.setPen(QColor(0xf2, 0xc1, 0x4e));
    p.setFont(font(26, true));
    p.drawText(QRectF(0, 134, w, 36), Qt::AlignCenter, QStringLiteral("新年快乐"));
    p.setFont(font(15));
    p.drawText(QRectF(0, 172, w, 24), Qt::AlignCenter, QStringLiteral("生意兴隆 · 财源广进"));
    p.setPen(QColor(255, 255, 255, 200));
    p.setFont(font(11));
    p.drawText(QRectF(0, h - 34, w, 20), Qt::AlignCenter, QStringLiteral("点击访问官网"));
    p.end();
    return pm;
}

QPixmap Artwork::verticalTab(const QSize& size) {
    QPainter p;
    QPixmap pm = canvas(size, p);
    const qreal w = size.width(), h = size.height();
    QPainterPath tab;
    tab.moveTo(0, h / 2);
    tab.lineTo(8, h / 2 - 10);
    tab.lineTo(8, 4);
    tab.quadTo(8, 0, 12, 0);
    tab.lineTo(w, 0);
    tab.lineTo(w, h);
    tab.lineTo(12, h);
    tab.quadTo(8, h, 8, h - 4);
    tab.lineTo(8, h / 2 + 10);
    tab.closeSubpath();
    QLinearGradient g(0, 0, w, 0);
    g.setColorAt(0, orange);
    g.setColorAt(1, orange.darker(115));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawPath(tab);
    p.setPen(Qt::white);
    p.setFont(font(13, true));
    const QString words = QStringLiteral("从这里开始工作");
    const qreal step = (h - 12) / words.size();
    for (int i = 0; i < words.size(); ++i)
        p.drawText(QRectF(8, 6 + i * step, w - 8, step), Qt::AlignCenter, words.mid(i, 1));
    p.end();
    return pm;
}

QRect Artwork::shortcutPlace(int index) {
    // 入库 top left, 库房 bottom left, 订单 bottom middle, 结算 bottom right, 会员 top right.
    static const QPoint places[] = {{18, 14}, {18, 98}, {121, 98}, {224, 98}, {224, 14}};
    return QRect(places[index], QSize(69, 42));
}

QPixmap Artwork::flowArrows(const QSize& size) {
    QPainter p;
    QPixmap pm = canvas(size, p, QColor(0xf7, 0xfa, 0xfd));
    // Faint grid of dots.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xdb, 0xe7, 0xf4));
    for (int x = 6; x < size.width(); x += 14)
        for (int y = 6; y < size.height(); y += 14)
            p.drawEllipse(QPointF(x, y), 1, 1);
    auto arrow = [&p](QPointF from, QPointF to) {
        p.setPen(QPen(sky, 5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(from, to);
        const QPointF d = (to - from) / std::hypot(to.x() - from.x(), to.y() - from.y());
        const QPointF n(-d.y(), d.x());
        QPolygonF head({to + d * 6, to - d * 8 + n * 9, to - d * 8 - n * 9});
        p.setPen(Qt::NoPen);
        p.setBrush(sky);
        p.drawPolygon(head);
    };
    const QRectF ruku = shortcutPlace(0), kufang = shortcutPlace(1), dingdan = shortcutPlace(2),
                 jiesuan = shortcutPlace(3), huiyuan = shortcutPlace(4);
    arrow(QPointF(ruku.center().x(), ruku.bottom() + 4), QPointF(kufang.center().x(), kufang.top() - 8));
    arrow(QPointF(kufang.right() + 4, kufang.center().y()),
          QPointF(dingdan.left() - 8, dingdan.center().y()));
    arrow(QPointF(dingdan.right() + 4, dingdan.center().y()),
          QPointF(jiesuan.left() - 8, jiesuan.center().y()));
    arrow(QPointF(huiyuan.center().x(), huiyuan.bottom() + 4),
          QPointF(jiesuan.center().x(), jiesuan.top() - 8));
    p.setPen(QColor(0x6b, 0x7f, 0x96));
    p.setFont(font(11));
    p.drawText(QRectF(100, 20, 113, 30), Qt::AlignCenter, QStringLiteral("点图标开始操作"));
    p.end();
    return pm;
}

QPixmap Artwork::shortcut(const QString& words, int picture) {
    QPainter p;
    QPixmap pm = canvas(QSize(69, 42), p);
    const QRectF r(0.5, 0.5, 68, 41);
    QLinearGradient g(0, 0, 0, 42);
    g.setColorAt(0, Qt::white);
    g.setColorAt(1, pale);
    p.setPen(QPen(QColor(0x9f, 0xb6, 0xd0), 1));
    p.setBrush(g);
    p.drawRoundedRect(r, 6, 6);
    drawIcon(p, picture, QRectF(5, 7, 28, 28));
    p.setPen(navy);
    p.setFont(font(14, true));
    p.drawText(QRectF(33, 0, 34, 42), Qt::AlignCenter, words);
    p.end();
    return pm;
}

QPixmap Artwork::linkStrip(const QString& words, const QString& emphasis, int picture, const QSize& size) {
    QPainter p;
    QPixmap pm = canvas(size, p);
    QLinearGradient g(0, 0, size.width(), 0);
    g.setColorAt(0, QColor(0xfd, 0xf3, 0xe3));
    g.setColorAt(1, QColor(0xff, 0xfb, 0xf4));
    p.setPen(QPen(QColor(0xf0, 0xc3, 0x6d), 1));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(0.5, 0.5, size.width() - 1, size.height() - 1), 4, 4);
    drawIcon(p, picture, QRectF(6, (size.height() - 16) / 2.0, 16, 16));
    const int split = words.indexOf(emphasis);
    const QString plain = split < 0 ? words : words.left(split);
    p.setFont(font(12));
    p.setPen(navy);
    const QRectF area(28, 0, size.width() - 32, size.height());
    QRectF used;
    p.drawText(area, Qt::AlignLeft | Qt::AlignVCenter, plain, &used);
    if (split >= 0) {
        p.setFont(font(12, true));
        p.setPen(orange.darker(115));
        p.drawText(QRectF(used.right() + 2, 0, size.width(), size.height()), Qt::AlignLeft | Qt::AlignVCenter,
                   emphasis);
    }
    p.end();
    return pm;
}

QPixmap Artwork::decoration(const QSize& size) {
    QPainter p;
    QPixmap pm = canvas(size, p);
    const qreal w = size.width(), h = size.height();
    // A shop front: awning, window and door.
    const QRectF shop(w * 0.12, h * 0.22, w * 0.76, h * 0.62);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xf7, 0xfa, 0xfd));
    p.drawRoundedRect(shop, 6, 6);
    p.setPen(QPen(QColor(0x9f, 0xb6, 0xd0), 2));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(shop, 6, 6);
    const int stripes = 8;
    const qreal sw = (shop.width() + 20) / stripes;
    for (int i = 0; i < stripes; ++i) {
        QPainterPath s;
        const qreal x = shop.left() - 10 + i * sw;
        s.moveTo(x, shop.top() - 30);
        s.lineTo(x + sw, shop.top() - 30);
        s.lineTo(x + sw, shop.top() + 6);
        s.arcTo(QRectF(x, shop.top() - 6, sw, 24), 0, -180);
        s.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(i % 2 ? Qt::white : red);
        p.drawPath(s);
    }
    p.setPen(QPen(red.darker(120), 2));
    p.drawLine(QPointF(shop.left() - 10, shop.top() - 30), QPointF(shop.right() + 10, shop.top() - 30));
    // Sign.
    const QRectF sign(shop.center().x() - 70, shop.top() - 62, 140, 28);
    p.setPen(Qt::NoPen);
    p.setBrush(deep);
    p.drawRoundedRect(sign, 5, 5);
    p.setPen(Qt::white);
    p.setFont(font(15, true));
    p.drawText(sign, Qt::AlignCenter, QStringLiteral("小店 · 一本账"));
    // Window with shelves of goods.
    const QRectF win(shop.left() + 16, shop.top() + 30, shop.width() * 0.55, shop.height() - 50);
    p.setPen(QPen(QColor(0x9f, 0xb6, 0xd0), 1.5));
    p.setBrush(QColor(0xe6, 0xf0, 0xfa));
    p.drawRect(win);
    const QColor goods[] = {sky, orange, green, red, QColor(0x8e, 0x44, 0xad), QColor(0xf2, 0xc1, 0x4e)};
    for (int shelf = 0; shelf < 3; ++shelf) {
        const qreal y = win.top() + (shelf + 1) * win.height() / 3;
        p.setPen(QPen(QColor(0x9f, 0xb6, 0xd0), 2));
        p.drawLine(QPointF(win.left(), y), QPointF(win.right(), y));
        for (int i = 0; i < 5; ++i) {
            const qreal gh = 14 + ((i + shelf) % 3) * 5;
            p.setPen(Qt::NoPen);
            p.setBrush(goods[(i + shelf * 2) % 6]);
            p.drawRoundedRect(QRectF(win.left() + 8 + i * (win.width() - 16) / 5, y - gh - 1,
                                     (win.width() - 16) / 5 - 6, gh),
                              2, 2);
        }
    }
    // Door.
    const QRectF door(win.right() + 16, shop.top() + 30, shop.right() - win.right() - 32, shop.height() - 30);
    p.setPen(QPen(QColor(0x9f, 0xb6, 0xd0), 1.5));
    p.setBrush(QColor(0xc9, 0xd9, 0xec));
    p.drawRect(door);
    p.setBrush(orange);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(door.right() - 8, door.center().y()), 3, 3);
    p.setPen(deep);
    p.setFont(font(12, true));
    p.drawText(QRectF(door.left(), door.top() + 10, door.width(), 20), Qt::AlignCenter,
               QStringLiteral("营业中"));
    // Ground.
    p.setPen(QPen(QColor(0xc9, 0xd9, 0xec), 3));
    p.drawLine(QPointF(w * 0.04, shop.bottom() + 1), QPointF(w * 0.96, shop.bottom() + 1));
    p.setPen(QColor(0x4a, 0x66, 0x88));
    p.setFont(font(13));
    p.drawText(QRectF(0, shop.bottom() + 10, w, 24), Qt::AlignCenter,
               QStringLiteral("进货、销售、库存、会员，一目了然"));
    p.end();
    return pm;
}

QPixmap Artwork::aboutBanner(const QSize& size) {
    QPainter p;
    QPixmap pm = canvas(size, p, Qt::white);
    const qreal w = size.width(), h = size.height();
    QLinearGradient g(0, 0, w, 0);
    g.setColorAt(0, deep);
    g.setColorAt(1, sky);
    p.fillRect(QRectF(0, 0, w, h), g);
    p.fillRect(QRectF(0, h - 3, w, 3), orange);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 25));
    p.drawEllipse(QPointF(w - 60, 10), 60, 60);
    p.drawEllipse(QPointF(w - 140, h), 36, 36);
    drawMark(p, QRectF(18, 12, 54, 54));
    p.setPen(Qt::white);
    p.setFont(font(24, true));
    p.drawText(QRectF(86, 10, w - 100, 36), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Vandrel通用进销存"));
    p.setFont(font(12));
    p.setPen(QColor(255, 255, 255, 220));
    p.drawText(QRectF(88, 44, w - 100, 22), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Vandrel软件 出品 · 进货 销售 库存 会员"));
    p.end();
    return pm;
}

#include "widgets/pictures.h"

#include <QFile>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace {

QPixmap drawn(int number) {
    // A rounded tile with a colour and a sign of its own for each number.
    static const QColor colours[] = {QColor(0x2f, 0x7d, 0xd1), QColor(0x2e, 0xa0, 0x5a),
                                     QColor(0xd9, 0x8b, 0x1c), QColor(0xc0, 0x39, 0x2b),
                                     QColor(0x8e, 0x44, 0xad), QColor(0x16, 0xa0, 0x85)};
    static const char* signs[] = {"单", "入", "库", "出", "记", "会", "?",  "i",  "结", "9",  "10", "11",
                                  "12", "13", "14", "印", "刷", "17", "18", "删", "改", "新", "22"};
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(colours[number % 6]);
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(2, 2, 28, 28), 6, 6);
    p.setPen(Qt::white);
    QFont f(QStringLiteral("WenQuanYi Micro Hei"));
    f.setPixelSize(16);
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRectF(2, 2, 28, 28), Qt::AlignCenter,
               QString::fromUtf8(number >= 0 && number < 23 ? signs[number] : "?"));
    return pm;
}

} // namespace

QIcon Pictures::icon(int number) {
    const QString file = QStringLiteral(":/pictures/%1.svg").arg(number, 2, 10, QLatin1Char('0'));
    if (QFile::exists(file))
        return QIcon(file);
    return QIcon(drawn(number));
}

QPixmap Pictures::pixmap(const QString& name, const QSize& size) {
    for (const char* ext : {".svg", ".png"}) {
        const QString file = QStringLiteral(":/pictures/") + name + QLatin1String(ext);
        if (QFile::exists(file)) {
            QIcon icon(file);
            const QSize want = size.isValid() ? size : icon.availableSizes().value(0, QSize(64, 64));
            return icon.pixmap(want);
        }
    }
    return QPixmap();
}

QWidget* Pictures::banner(QWidget* parent, const QString& name) {
    auto* row = new QFrame(parent);
    row->setObjectName(name);
    row->setProperty("role", QStringLiteral("banner"));
    row->setFixedHeight(44);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto piece = [row](const QString& picture, const QSize& size) {
        auto* label = new QLabel(row);
        label->setPixmap(pixmap(picture, size));
        label->setFixedSize(size);
        return label;
    };
    layout->addWidget(piece(QStringLiteral("banner_left"), QSize(280, 44)));
    auto* middle = new QLabel(row);
    middle->setObjectName(name + QStringLiteral("Middle"));
    middle->setProperty("role", QStringLiteral("bannerMiddle"));
    layout->addWidget(middle, 1);
    layout->addWidget(piece(QStringLiteral("banner_right"), QSize(220, 44)));
    return row;
}

QWidget* Pictures::titledBanner(QWidget* parent, int picture, const QString& title, const QString& subtitle,
                                const QString& name) {
    QWidget* strip = banner(parent, name);
    auto* middle = strip->findChild<QLabel*>(strip->objectName() + QStringLiteral("Middle"));
    auto* row = new QHBoxLayout(middle);
    row->setContentsMargins(14, 2, 8, 4);
    row->setSpacing(10);
    auto* icon = new QLabel(middle);
    icon->setPixmap(Pictures::icon(picture).pixmap(30, 30));
    icon->setFixedSize(30, 30);
    row->addWidget(icon);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(0);
    auto addText = [&](const QString& text, const QString& role) {
        auto* label = new QLabel(text, middle);
        label->setProperty("role", role);
        label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred); // a narrow page cuts the words
        texts->addWidget(label);
    };
    addText(title, QStringLiteral("bannerTitle"));
    if (!subtitle.isEmpty())
        addText(subtitle, QStringLiteral("bannerSubtitle"));
    row->addLayout(texts, 1);
    return strip;
}

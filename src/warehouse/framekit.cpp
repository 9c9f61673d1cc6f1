#include "warehouse/framekit.h"

#include "data/data_in.h"
#include "reports/reports.h"
#include "widgets/messages.h"
#include "widgets/registry.h"
#include "widgets/toolbar.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const int BannerHeight = 58;

QFont bannerFont(int pixels, bool bold) {
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

// A stack of three cartons on a pallet, with the page's title beside it.
QPixmap titlePicture(const QString& title, const QString& subtitle) {
    QPixmap pm(300, BannerHeight);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 300, 0);
    sky.setColorAt(0, QColor(0x2c, 0x5f, 0x9e));
    sky.setColorAt(1, QColor(0x4a, 0x86, 0xc8));
    p.fillRect(pm.rect(), sky);
    auto carton = [&](QRectF r) {
        p.setPen(QPen(QColor(0x8a, 0x5a, 0x22), 1));
        p.setBrush(QColor(0xe0, 0xa9, 0x5c));
        p.drawRect(r);
        p.setPen(QPen(QColor(0xb5, 0x7d, 0x38), 2));
        p.drawLine(QPointF(r.center().x(), r.top()), QPointF(r.center().x(), r.top() + r.height() * 0.35));
    };
    p.setBrush(QColor(0x9c, 0x6b, 0x3a));
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(8, 48, 58, 5));
    carton(QRectF(10, 28, 26, 20));
    carton(QRectF(38, 28, 26, 20));
    carton(QRectF(24, 8, 26, 20));
    p.setPen(Qt::white);
    p.setFont(bannerFont(20, true));
    p.drawText(QRectF(78, 6, 220, 28), Qt::AlignLeft | Qt::AlignVCenter, title);
    p.setPen(QColor(0xd8, 0xe6, 0xf6));
    p.setFont(bannerFont(12, false));
    p.drawText(QRectF(78, 32, 220, 20), Qt::AlignLeft | Qt::AlignVCenter, subtitle);
    return pm;
}

// Soft waves that carry the strip across the page.
QPixmap wavePicture() {
    QPixmap pm(200, BannerHeight);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 200, 0);
    sky.setColorAt(0, QColor(0x4a, 0x86, 0xc8));
    sky.setColorAt(1, QColor(0x7f, 0xaf, 0xe0));
    p.fillRect(pm.rect(), sky);
    for (int i = 0; i < 3; ++i) {
        QPainterPath wave;
        const double y = 30 + i * 8;
        wave.moveTo(0, y);
        wave.cubicTo(60, y - 14, 130, y + 14, 200, y - 4);
        wave.lineTo(200, BannerHeight);
        wave.lineTo(0, BannerHeight);
        wave.closeSubpath();
        p.fillPath(wave, QColor(255, 255, 255, 28 + i * 12));
    }
    return pm;
}

// A delivery tag: the shop's stock moving in and out.
QPixmap tagPicture() {
    QPixmap pm(120, BannerHeight);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 120, 0);
    sky.setColorAt(0, QColor(0x7f, 0xaf, 0xe0));
    sky.setColorAt(1, QColor(0xa9, 0xcb, 0xee));
    p.fillRect(pm.rect(), sky);
    p.setPen(QPen(QColor(0x2c, 0x5f, 0x9e), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(QPointF(30, 22), QPointF(80, 22));
    p.drawLine(QPointF(70, 14), QPointF(80, 22));
    p.drawLine(QPointF(70, 30), QPointF(80, 22));
    p.drawLine(QPointF(90, 38), QPointF(40, 38));
    p.drawLine(QPointF(50, 30), QPointF(40, 38));
    p.drawLine(QPointF(50, 46), QPointF(40, 38));
    return pm;
}

QLabel* picture(QWidget* parent, const QString& name, const QPixmap& pm, bool stretch) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setPixmap(pm);
    label->setFixedHeight(BannerHeight);
    if (stretch) {
        label->setScaledContents(true);
        label->setMinimumWidth(10);
    } else {
        label->setFixedWidth(pm.width());
    }
    return label;
}

} // namespace

Banner::Banner(const QString& title, const QString& subtitle, QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("bsSkinPanel1"));
    setFixedHeight(BannerHeight);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(picture(this, QStringLiteral("Image1"), titlePicture(title, subtitle), false));
    layout->addWidget(picture(this, QStringLiteral("Image2"), wavePicture(), true), 1);
    layout->addWidget(picture(this, QStringLiteral("Image3"), tagPicture(), false));
}

WarehouseFrame::WarehouseFrame(const QString& name, const QString& title, const QString& subtitle,
                               ListSetup setup, QWidget* parent)
    : Frame(name, parent), m_setup(std::move(setup)) {
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    bsSkinPanel1 = new Banner(title, subtitle, this);
    m_layout->addWidget(bsSkinPanel1);
    bsSkinToolBar1 = new ToolBar(this);
    m_layout->addWidget(bsSkinToolBar1);
}

QToolButton* WarehouseFrame::addTool(const QString& name, const QString& caption, int picture,
                                     std::function<void()> handler) {
    QToolButton* button = bsSkinToolBar1->addButton(name, caption, picture);
    connect(button, &QToolButton::clicked, this, [handler] { guarded(handler); });
    return button;
}

void WarehouseFrame::finishToolBar() {
    bsSkinSpeedButton6 = addTool(QStringLiteral("bsSkinSpeedButton6"), QStringLiteral("刷 新"), 16,
                                 [this] { bsSkinSpeedButton6Click(); });
    bsSkinSpeedButton8 = addTool(QStringLiteral("bsSkinSpeedButton8"), QStringLiteral("打 印"), 15,
                                 [this] { bsSkinSpeedButton8Click(); });
    bsSkinSpeedButton9 = addTool(QStringLiteral("bsSkinSpeedButton9"), QStringLiteral("帮 助"), 6,
                                 [this] { bsSkinSpeedButton9Click(); });
    bsSkinToolBar1->addStretch();
    bsSkinEdit1 =
        bsSkinToolBar1->addSearch(QStringLiteral("bsSkinStdLabel1"), QStringLiteral("输入产品名称速查: "),
                                  QStringLiteral("bsSkinEdit1"));
    bsSkinStdLabel1 = bsSkinToolBar1->findChild<QLabel*>(QStringLiteral("bsSkinStdLabel1"));
    connect(bsSkinEdit1, &QLineEdit::textChanged, this, [this] { guarded([this] { bsSkinEdit1Change(); }); });
}

void WarehouseFrame::addGrid() {
    bsSkinDBGrid2 = new DataGrid(QStringLiteral("bsSkinDBGrid2"), this);
    bsSkinDBGrid2->verticalScrollBar()->setObjectName(QStringLiteral("bsSkinScrollBar2"));
    bsSkinDBGrid2->setShowGrid(true);
    bsSkinDBGrid2->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    m_layout->addWidget(bsSkinDBGrid2, 1);
}

void WarehouseFrame::bindData() {
    bsSkinDBGrid2->bind(query(), m_setup.columns);
}

SharedQuery* WarehouseFrame::query() const {
    return Data_in ? Data_in->query(m_setup.query) : nullptr;
}

bool WarehouseFrame::listHasRows() {
    if (query()->recordCount() > 0)
        return true;
    Messages::information(m_setup.emptyMessage);
    return false;
}

void WarehouseFrame::bsSkinSpeedButton6Click() {
    SharedQuery* q = query();
    q->reset(q->defaultStatement());
}

void WarehouseFrame::bsSkinSpeedButton8Click() {
    if (!listHasRows())
        return;
    Reports::preview(m_setup.report);
}

void WarehouseFrame::bsSkinSpeedButton9Click() {
    Registry::showModal(QStringLiteral("help"));
}

void WarehouseFrame::bsSkinEdit1Change() {
    query()->search(m_setup.searchField, bsSkinEdit1->text());
}

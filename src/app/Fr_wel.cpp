#include "app/Fr_wel.h"

#include "app/artwork.h"
#include "app/linkimage.h"
#include "app/mainwindow.h"
#include "app/webview.h"
#include "core/site.h"
#include "warehouse/Fr_kucun.h"
#include "widgets/messages.h"
#include "widgets/registry.h"

#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>

namespace {

QFrame* panel(QWidget* parent, const QString& name, const QRect& geometry) {
    auto* frame = new QFrame(parent);
    frame->setObjectName(name);
    frame->setGeometry(geometry);
    return frame;
}

LinkImage* still(QWidget* parent, const QString& name, const QPixmap& picture, const QPoint& at) {
    auto* image = new LinkImage(name, picture, parent);
    image->move(at);
    image->setEnabled(false);
    return image;
}

} // namespace

QString TFr_wel::newsAddress() {
    return Site::url(QStringLiteral("/morvik_yun/kestrion/zixun.html"));
}

TFr_wel::TFr_wel(QWidget* parent) : Frame(QStringLiteral("Fr_wel1"), parent) {
    setAttribute(Qt::WA_StyledBackground);
    // Everything sits on a canvas of the page's first size, at the top left of the page.
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* canvas = new QWidget(this);
    canvas->setObjectName(QStringLiteral("welcomeCanvas"));
    canvas->setFixedSize(907, 635);
    outer->addWidget(canvas, 0, Qt::AlignLeft | Qt::AlignTop);

    auto link = [this](LinkImage* image, void (TFr_wel::*handler)()) {
        connectGuarded(image, &LinkImage::clicked, this, handler);
    };

    // Top: banner on the left, logo on the right, the tab pointing at the navigation bar.
    bsSkinPanel3 = panel(canvas, QStringLiteral("bsSkinPanel3"), QRect(0, 0, 735, 280));
    Image3 =
        still(bsSkinPanel3, QStringLiteral("Image3"), Artwork::welcomeBanner(QSize(735, 280)), QPoint(0, 0));
    Image4 = still(canvas, QStringLiteral("Image4"), Artwork::verticalTab(QSize(30, 140)), QPoint(0, 24));
    bsSkinPanel5 = panel(canvas, QStringLiteral("bsSkinPanel5"), QRect(735, 0, 172, 280));
    Image2 = new LinkImage(QStringLiteral("Image2"), Artwork::logo(QSize(172, 280)), bsSkinPanel5);
    Image2->setToolTip(Site::host);
    link(Image2, &TFr_wel::Image2Click);

    // Bottom: shortcuts and links on the left, news in the middle, a picture on the right.
    bsSkinPanel1 = panel(canvas, QStringLiteral("bsSkinPanel1"), QRect(0, 280, 907, 355));
    bsSkinGroupBox2 = new QGroupBox(QStringLiteral("功能导览"), bsSkinPanel1);
    bsSkinGroupBox2->setObjectName(QStringLiteral("bsSkinGroupBox2"));
    bsSkinGroupBox2->setGeometry(14, 12, 313, 175);
    const QPoint arrowsAt(1, 20);
    Image5 = still(bsSkinGroupBox2, QStringLiteral("Image5"), Artwork::flowArrows(QSize(311, 154)), arrowsAt);
    const struct {
        LinkImage** image;
        const char* name;
        const char* words;
        int picture;
        int place;
        void (TFr_wel::*handler)();
    } shortcuts[] = {{&Image10, "Image10", "入库", 1, 0, &TFr_wel::Image10Click},
                     {&Image9, "Image9", "库房", 2, 1, &TFr_wel::Image9Click},
                     {&Image8, "Image8", "订单", 0, 2, &TFr_wel::Image8Click},
                     {&Image7, "Image7", "结算", 8, 3, &TFr_wel::Image7Click},
                     {&Image6, "Image6", "会员", 5, 4, &TFr_wel::Image6Click}};
    for (const auto& s : shortcuts) {
        *s.image = new LinkImage(QString::fromLatin1(s.name),
                                 Artwork::shortcut(QString::fromUtf8(s.words), s.picture), bsSkinGroupBox2);
        (*s.image)->move(arrowsAt + Artwork::shortcutPlace(s.place).topLeft());
        link(*s.image, s.handler);
    }
    bsSkinLinkImage2 = new LinkImage(QStringLiteral("bsSkinLinkImage2"),
                                     Artwork::linkStrip(QStringLiteral("不会用? 点这里查看 快速入门"),
                                                        QStringLiteral("快速入门"), 6, QSize(313, 25)),
                                     bsSkinPanel1);
    bsSkinLinkImage2->move(14, 195);
    link(bsSkinLinkImage2, &TFr_wel::bsSkinLinkImage2Click);
    bsSkinLinkImage3 =
        new LinkImage(QStringLiteral("bsSkinLinkImage3"),
                      Artwork::linkStrip(QStringLiteral("您有任何意见或建议，请随时联系Vandrel软件"),
                                         QStringLiteral("联系Vandrel软件"), 7, QSize(313, 25)),
                      bsSkinPanel1);
    bsSkinLinkImage3->move(14, 226);
    link(bsSkinLinkImage3, &TFr_wel::bsSkinLinkImage3Click);

    bsSkinGroupBox3 = new QGroupBox(QStringLiteral("资 讯"), bsSkinPanel1);
    bsSkinGroupBox3->setObjectName(QStringLiteral("bsSkinGroupBox3"));
    bsSkinGroupBox3->setGeometry(341, 12, 193, 238);
    bsSkinPanel4 = panel(bsSkinGroupBox3, QStringLiteral("bsSkinPanel4"), QRect(1, 23, 191, 214));
    // The browser is larger than its panel: the panel clips its border and scroll bars.
    WebBrowser1 = new WebView(QStringLiteral("WebBrowser1"), QStringLiteral(":/web/news.html"), bsSkinPanel4);
    WebBrowser1->setGeometry(-3, -2, 229, 229);
    WebBrowser1->load(QUrl(newsAddress()));

    bsSkinStdLabel1 = new QLabel(bsSkinPanel1);
    bsSkinStdLabel1->setTextFormat(Qt::RichText); // a link; only numbers come in
    bsSkinStdLabel1->setObjectName(QStringLiteral("bsSkinStdLabel1"));
    bsSkinStdLabel1->setProperty("role", QStringLiteral("warning"));
    bsSkinStdLabel1->setGeometry(14, 258, 313, 40);
    bsSkinStdLabel1->setWordWrap(true);
    bsSkinStdLabel1->hide();
    connect(bsSkinStdLabel1, &QLabel::linkActivated, this,
            [] { guarded([] { main_window->lowStockView(); }); });

    lblToday = new QLabel(bsSkinPanel1);
    lblToday->setTextFormat(Qt::RichText); // a link; only numbers come in
    lblToday->setObjectName(QStringLiteral("lblToday"));
    lblToday->setProperty("role", QStringLiteral("today"));
    lblToday->setGeometry(14, 302, 313, 46);
    lblToday->setWordWrap(true);
    connect(lblToday, &QLabel::linkActivated, this,
            [] { guarded([] { main_window->bsSkinButtonsBar1Sections3Click(); }); });

    Image1 =
        still(bsSkinPanel1, QStringLiteral("Image1"), Artwork::decoration(QSize(350, 300)), QPoint(548, 12));
}

void TFr_wel::showLowStock(int count) {
    bsSkinStdLabel1->setText(
        QStringLiteral("有 %1 种产品库存不足，<a href=\"yujing\">点此查看库存预警</a>").arg(count));
    bsSkinStdLabel1->setVisible(count > 0);
}

void TFr_wel::showToday(Currency sales, std::optional<Currency> profit, int orders) {
    const QString gross = profit ? QStringLiteral("，毛利 <b>%1</b> 元").arg(profit->toString()) : QString();
    lblToday->setText(QStringLiteral("今日销售额 <b>%1</b> 元%2，订单 <b>%3</b> 笔 "
                                     "<a href=\"tongji\">查看统计</a>")
                          .arg(sales.toString(), gross)
                          .arg(orders));
}

void TFr_wel::Image10Click() {
    main_window->switchTo(main_window->Fr_kucun1);
    Registry::showModal(QStringLiteral("new_chanpin"));
}

void TFr_wel::Image9Click() {
    main_window->switchTo(main_window->Fr_kucun1);
}

void TFr_wel::Image8Click() {
    main_window->ordersView();
}

void TFr_wel::Image7Click() {
    main_window->settlementView();
}

void TFr_wel::Image6Click() {
    main_window->membersView();
}

void TFr_wel::Image2Click() {
    Tmain::openWebPage(Site::url());
}

void TFr_wel::bsSkinLinkImage2Click() {
    Registry::showModal(QStringLiteral("help"));
}

void TFr_wel::bsSkinLinkImage3Click() {
    Registry::showModal(QStringLiteral("aio"));
}

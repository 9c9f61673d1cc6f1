#include "app/help.h"

#include "app/artwork.h"
#include "app/contact.h"
#include "app/linkimage.h"
#include "data/data_in.h"
#include "ledger/settings.h"
#include "widgets/databound.h"
#include "widgets/messages.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QTextEdit>

Thelp* help = nullptr;

namespace {

QWidget* page(QWidget* parent, const QString& name) {
    auto* panel = new QWidget(parent);
    panel->setObjectName(name);
    panel->setGeometry(0, 0, 642, 417);
    return panel;
}

// The page pictures are drawn when the guide is first shown (a megabyte each): most starts never
// show it.
LinkImage* picture(QWidget* page, const QString& name, int number) {
    auto* image = new LinkImage(name, QPixmap(), page);
    image->setProperty("guidePage", number);
    image->setGeometry(0, 0, 642, 400);
    image->setEnabled(false); // the page picture does not react to the mouse
    return image;
}

} // namespace

Thelp::Thelp(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("help"));
    setWindowTitle(QStringLiteral("Vandrel进销存使用入门"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(643, 401);

    P1 = page(this, QStringLiteral("P1"));
    P2 = page(this, QStringLiteral("P2"));
    P3 = page(this, QStringLiteral("P3"));
    P4 = page(this, QStringLiteral("P4"));
    P5 = page(this, QStringLiteral("P5"));
    P6 = page(this, QStringLiteral("P6"));
    bsSkinLinkImage1 = picture(P1, QStringLiteral("bsSkinLinkImage1"), 1);
    bsSkinLinkImage3 = picture(P2, QStringLiteral("bsSkinLinkImage3"), 2);
    bsSkinLinkImage5 = picture(P3, QStringLiteral("bsSkinLinkImage5"), 3);
    bsSkinLinkImage7 = picture(P4, QStringLiteral("bsSkinLinkImage7"), 4);
    bsSkinLinkImage9 = picture(P5, QStringLiteral("bsSkinLinkImage9"), 5);
    bsSkinLinkImage11 = picture(P6, QStringLiteral("bsSkinLinkImage11"), 6);

    // Page 1: the start button in the middle, the start-up box under it.
    bsSkinLinkImage2 = new LinkImage(QStringLiteral("bsSkinLinkImage2"),
                                     Artwork::button(QStringLiteral("开 始"), QSize(100, 30)), P1);
    bsSkinLinkImage2->setGeometry(271, 300, 100, 30);
    bsSkinCheckRadioBox1 = new QCheckBox(QStringLiteral("启动软件时弹出使用指南"), P1);
    bsSkinCheckRadioBox1->setObjectName(QStringLiteral("bsSkinCheckRadioBox1"));
    bsSkinCheckRadioBox1->setChecked(true);
    bsSkinCheckRadioBox1->adjustSize();
    bsSkinCheckRadioBox1->move(321 - bsSkinCheckRadioBox1->width() / 2, 342);
    connect(bsSkinCheckRadioBox1, &QCheckBox::toggled, this, [this] {
        if (!guarded([this] { bsSkinCheckRadioBox1Click(); })) {
            // The flag could not be written: the box goes back to what is stored.
            const QSignalBlocker block(bsSkinCheckRadioBox1);
            bsSkinCheckRadioBox1->setChecked(!bsSkinCheckRadioBox1->isChecked());
        }
    });

    // Pages 2 to 5: 下一步 at the bottom right.
    const struct {
        LinkImage** button;
        const char* name;
        QWidget* page;
        void (Thelp::*handler)();
    } nexts[] = {{&bsSkinLinkImage4, "bsSkinLinkImage4", P2, &Thelp::bsSkinLinkImage4Click},
                 {&bsSkinLinkImage6, "bsSkinLinkImage6", P3, &Thelp::bsSkinLinkImage6Click},
                 {&bsSkinLinkImage8, "bsSkinLinkImage8", P4, &Thelp::bsSkinLinkImage8Click},
                 {&bsSkinLinkImage10, "bsSkinLinkImage10", P5, &Thelp::bsSkinLinkImage10Click}};
    for (const auto& next : nexts) {
        *next.button = new LinkImage(QString::fromLatin1(next.name),
                                     Artwork::button(QStringLiteral("下一步"), QSize(100, 30)), next.page);
        (*next.button)->setGeometry(522, 358, 100, 30);
        connectGuarded(*next.button, &LinkImage::clicked, this, next.handler);
    }
    connectGuarded(bsSkinLinkImage2, &LinkImage::clicked, this, &Thelp::bsSkinLinkImage2Click);

    // Page 6: the feedback box and the green start button.
    bsSkinRichEdit1 = new QTextEdit(P6);
    bsSkinRichEdit1->setObjectName(QStringLiteral("bsSkinRichEdit1"));
    bsSkinRichEdit1->setReadOnly(true);
    bsSkinRichEdit1->setGeometry(40, 262, 361, 97);
    QFont song(Artwork::fontFamily());
    song.setPixelSize(12);
    bsSkinRichEdit1->setFont(song);
    bsSkinRichEdit1->setPlainText(
        QStringList({QStringLiteral("您的意见是我们最宝贵的财富。如果您在使用中发现任何的问题，"),
                     QStringLiteral("或是对软件的功能有意见，请及时与我们联系："),
                     QStringLiteral("客服QQ：") + Contact::qq, QStringLiteral("客服电话：") + Contact::phone,
                     QStringLiteral("电子邮件：") + Contact::email})
            .join(QLatin1Char('\n')));
    bsSkinLinkImage12 =
        new LinkImage(QStringLiteral("bsSkinLinkImage12"),
                      Artwork::button(QStringLiteral("开始使用！"), QSize(194, 44), true), P6);
    bsSkinLinkImage12->setGeometry(428, 300, 194, 44);
    connectGuarded(bsSkinLinkImage12, &LinkImage::clicked, this, &Thelp::bsSkinLinkImage12Click);

    showPage(1);
}

QList<QWidget*> Thelp::pages() const {
    return {P1, P2, P3, P4, P5, P6};
}

int Thelp::currentPage() const {
    const QList<QWidget*> all = pages();
    for (int i = 0; i < all.size(); ++i)
        if (!all[i]->isHidden())
            return i + 1;
    return 0;
}

void Thelp::showPage(int page) {
    const QList<QWidget*> all = pages();
    for (int i = 0; i < all.size(); ++i)
        all[i]->setVisible(i + 1 == page);
}

void Thelp::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        guarded([this] { FormShow(); });
}

void Thelp::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        const QList<LinkImage*> buttons = {bsSkinLinkImage2, bsSkinLinkImage4,  bsSkinLinkImage6,
                                           bsSkinLinkImage8, bsSkinLinkImage10, bsSkinLinkImage12};
        const int page = currentPage();
        if (page >= 1 && page <= buttons.size())
            emit buttons[page - 1]->clicked();
        return;
    }
    QDialog::keyPressEvent(event);
}

void Thelp::FormShow() {
    for (LinkImage* image : {bsSkinLinkImage1, bsSkinLinkImage3, bsSkinLinkImage5, bsSkinLinkImage7,
                             bsSkinLinkImage9, bsSkinLinkImage11})
        if (image->picture().isNull())
            image->setPicture(Artwork::guidePage(image->property("guidePage").toInt()));
    showPage(1);
    // The flag as the settings list shows it (no file access, so a showing never fails); any
    // text but "0" or "1" leaves the box as it was.
    const QString flag = Data_in ? Data_in->Query_a5->fieldText(QStringLiteral("run")) : QString();
    const QSignalBlocker block(bsSkinCheckRadioBox1);
    if (flag == QStringLiteral("0"))
        bsSkinCheckRadioBox1->setChecked(true);
    else if (flag == QStringLiteral("1"))
        bsSkinCheckRadioBox1->setChecked(false);
}

void Thelp::bsSkinLinkImage2Click() {
    showPage(2);
}
void Thelp::bsSkinLinkImage4Click() {
    showPage(3);
}
void Thelp::bsSkinLinkImage6Click() {
    showPage(4);
}
void Thelp::bsSkinLinkImage8Click() {
    showPage(5);
}
void Thelp::bsSkinLinkImage10Click() {
    showPage(6);
}
void Thelp::bsSkinLinkImage12Click() {
    close();
}

void Thelp::bsSkinCheckRadioBox1Click() {
    // Stored at once; the settings list follows, and with it the main window's label.
    Settings::setGuideAtStart(bsSkinCheckRadioBox1->isChecked());
}

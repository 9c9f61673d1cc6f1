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

Thelp::Thelp(QWidget* parent) : QDialog(parent) {
    setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);

    // The page pictures are drawn when the guide is first shown (a megabyte each): most starts
    // never show it.
    bsSkinLinkImage2->setPicture(Artwork::button(QStringLiteral("开 始"), QSize(100, 30)));
    for (LinkImage* next : {bsSkinLinkImage4, bsSkinLinkImage6, bsSkinLinkImage8, bsSkinLinkImage10})
        next->setPicture(Artwork::button(QStringLiteral("下一步"), QSize(100, 30)));
    bsSkinLinkImage12->setPicture(Artwork::button(QStringLiteral("开始使用！"), QSize(194, 44), true));

    // The start-up box centred under the start button, whatever the width of its text.
    bsSkinCheckRadioBox1->adjustSize();
    bsSkinCheckRadioBox1->move(321 - bsSkinCheckRadioBox1->width() / 2, bsSkinCheckRadioBox1->y());
    connect(bsSkinCheckRadioBox1, &QCheckBox::toggled, this, [this] {
        if (!guarded([this] { bsSkinCheckRadioBox1Click(); })) {
            // The flag could not be written: the box goes back to what is stored.
            const QSignalBlocker block(bsSkinCheckRadioBox1);
            bsSkinCheckRadioBox1->setChecked(!bsSkinCheckRadioBox1->isChecked());
        }
    });

    connectGuarded(bsSkinLinkImage2, &LinkImage::clicked, this, &Thelp::bsSkinLinkImage2Click);
    connectGuarded(bsSkinLinkImage4, &LinkImage::clicked, this, &Thelp::bsSkinLinkImage4Click);
    connectGuarded(bsSkinLinkImage6, &LinkImage::clicked, this, &Thelp::bsSkinLinkImage6Click);
    connectGuarded(bsSkinLinkImage8, &LinkImage::clicked, this, &Thelp::bsSkinLinkImage8Click);
    connectGuarded(bsSkinLinkImage10, &LinkImage::clicked, this, &Thelp::bsSkinLinkImage10Click);
    connectGuarded(bsSkinLinkImage12, &LinkImage::clicked, this, &Thelp::bsSkinLinkImage12Click);

    // Page 6: the feedback box.
    QFont song(Artwork::fontFamily());
    song.setPixelSize(12);
    bsSkinRichEdit1->setFont(song);
    bsSkinRichEdit1->setPlainText(
        QStringList({QStringLiteral("您的意见是我们最宝贵的财富。如果您在使用中发现任何的问题，"),
                     QStringLiteral("或是对软件的功能有意见，请及时与我们联系："),
                     QStringLiteral("客服QQ：") + Contact::qq, QStringLiteral("客服电话：") + Contact::phone,
                     QStringLiteral("电子邮件：") + Contact::email})
            .join(QLatin1Char('\n')));

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

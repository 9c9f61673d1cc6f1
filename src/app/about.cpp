#include "app/about.h"

#include "app/artwork.h"
#include "app/contact.h"
#include "app/linkimage.h"
#include "app/mainwindow.h"
#include "core/site.h"
#include "widgets/messages.h"

Tabout* about = nullptr;

Tabout::Tabout(QWidget* parent) : QDialog(parent) {
    setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);

    Image1->setPicture(Artwork::aboutBanner(QSize(496, 80)));
    // A form gives a font in points; the title is set in pixels, as the banner above it is drawn.
    QFont title = bsSkinStdLabel6->font();
    title.setPixelSize(16);
    title.setBold(true);
    bsSkinStdLabel6->setFont(title);
    bsSkinLinkLabel1->setText(Site::host);
    bsSkinLinkLabel2->setText(Forum::host);
    connectGuarded(bsSkinLinkLabel1, &LinkLabel::clicked, this, &Tabout::bsSkinLinkLabel1Click);
    connectGuarded(bsSkinLinkLabel2, &LinkLabel::clicked, this, &Tabout::bsSkinLinkLabel2Click);
}

void Tabout::bsSkinLinkLabel1Click() {
    Tmain::openWebPage(Site::url());
}

void Tabout::bsSkinLinkLabel2Click() {
    Tmain::openWebPage(Forum::url());
}

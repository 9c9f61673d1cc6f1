#include "app/about.h"

#include "app/artwork.h"
#include "app/contact.h"
#include "app/linkimage.h"
#include "app/mainwindow.h"
#include "core/site.h"
#include "widgets/messages.h"

#include <QGroupBox>
#include <QLabel>

Tabout* about = nullptr;

Tabout::Tabout(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("about"));
    setWindowTitle(QStringLiteral("关于"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(496, 264);

    Image1 = new LinkImage(QStringLiteral("Image1"), Artwork::aboutBanner(QSize(496, 80)), this);
    Image1->setEnabled(false);
    Image1->move(0, 0);

    bsSkinStdLabel6 = new QLabel(QStringLiteral("Vandrel通用进销存 软件"), this);
    bsSkinStdLabel6->setObjectName(QStringLiteral("bsSkinStdLabel6"));
    QFont title = bsSkinStdLabel6->font();
    title.setPixelSize(16);
    title.setBold(true);
    bsSkinStdLabel6->setFont(title);
    bsSkinStdLabel6->setGeometry(20, 94, 300, 24);

    auto* rights = new QLabel(this);
    rights->setObjectName(QStringLiteral("rights"));
    rights->setWordWrap(true);
    rights->setText(QStringLiteral("版权所有 © Vandrel软件 保留所有权利。"));
    rights->setGeometry(20, 120, 300, 20);
    auto* warning = new QLabel(this);
    warning->setObjectName(QStringLiteral("warning"));
    warning->setProperty("role", QStringLiteral("note"));
    warning->setWordWrap(true);
    warning->setText(QStringLiteral("警告：本软件受著作权法和国际条约保护。\n"
                                    "本软件可以免费使用和复制，但不得出售、\n"
                                    "出租，也不得修改后冒名发布。\n"
                                    "未经许可，不得对本软件进行反向工程。\n"
                                    "使用本软件造成的数据损失，请注意及时备份\n"
                                    "数据文件，本软件的作者不承担相应责任。"));
    warning->setGeometry(20, 144, 300, 108);
    warning->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    bsSkinGroupBox1 = new QGroupBox(QStringLiteral("版本及相关信息"), this);
    bsSkinGroupBox1->setObjectName(QStringLiteral("bsSkinGroupBox1"));
    bsSkinGroupBox1->setGeometry(330, 96, 150, 150);
    auto caption = [this](const QString& name, const QString& text, int y) {
        auto* label = new QLabel(text, bsSkinGroupBox1);
        label->setObjectName(name);
        label->setGeometry(10, y, 50, 20);
        return label;
    };
    bsSkinStdLabel1 = caption(QStringLiteral("bsSkinStdLabel1"), QStringLiteral("版 本:"), 24);
    bsSkinStdLabel4 = new QLabel(QStringLiteral("V1.1 贺岁版"), bsSkinGroupBox1);
    bsSkinStdLabel4->setObjectName(QStringLiteral("bsSkinStdLabel4"));
    bsSkinStdLabel4->setProperty("role", QStringLiteral("value"));
    bsSkinStdLabel4->setGeometry(56, 24, 90, 20);
    bsSkinStdLabel2 = caption(QStringLiteral("bsSkinStdLabel2"), QStringLiteral("官 网:"), 54);
    bsSkinLinkLabel1 = new LinkLabel(QStringLiteral("bsSkinLinkLabel1"), Site::host, bsSkinGroupBox1);
    bsSkinLinkLabel1->setGeometry(10, 74, 136, 20);
    bsSkinStdLabel5 = caption(QStringLiteral("bsSkinStdLabel5"), QStringLiteral("论 坛:"), 98);
    bsSkinLinkLabel2 = new LinkLabel(QStringLiteral("bsSkinLinkLabel2"), Forum::host, bsSkinGroupBox1);
    bsSkinLinkLabel2->setGeometry(10, 118, 136, 20);
    connectGuarded(bsSkinLinkLabel1, &LinkLabel::clicked, this, &Tabout::bsSkinLinkLabel1Click);
    connectGuarded(bsSkinLinkLabel2, &LinkLabel::clicked, this, &Tabout::bsSkinLinkLabel2Click);
}

void Tabout::bsSkinLinkLabel1Click() {
    Tmain::openWebPage(Site::url());
}

void Tabout::bsSkinLinkLabel2Click() {
    Tmain::openWebPage(Forum::url());
}

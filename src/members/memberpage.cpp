#include "members/memberpage.h"

#include "data/data_in.h"
#include "data/databound.h"
#include "reports/reports.h"
#include "widgets/messages.h"
#include "widgets/pictures.h"
#include "widgets/registry.h"
#include "widgets/toolbar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

QWidget* MemberPage::banner(QWidget* parent, const QString& title, int picture) {
    auto* strip = new QFrame(parent);
    strip->setObjectName(QStringLiteral("bsSkinPanel1"));
    strip->setFixedHeight(40);
    strip->setStyleSheet(QStringLiteral(
        "QFrame#bsSkinPanel1 { background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 #3c6ea8, "
        "stop:0.55 #6a9dd3, stop:1 #dbe7f4); border-bottom: 1px solid #2d5788; }"
        "QFrame#bsSkinPanel1 QLabel { color: white; font-size: 17px; font-weight: bold; }"));
    auto* row = new QHBoxLayout(strip);
    row->setContentsMargins(10, 4, 10, 4);
    auto* icon = new QLabel(strip);
    icon->setPixmap(Pictures::icon(picture).pixmap(28, 28));
    row->addWidget(icon);
    row->addWidget(new QLabel(title, strip));
    row->addStretch(1);
    return strip;
}

MemberRecordFrame::MemberRecordFrame(const Setup& setup, QWidget* parent)
    : Frame(setup.name, parent), m_setup(setup) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(MemberPage::banner(this, setup.title, 4));

    auto* tools = new ToolBar(this);
    bsSkinSpeedButton6 = tools->addButton(QStringLiteral("bsSkinSpeedButton6"), QStringLiteral("刷 新"), 16);
    bsSkinSpeedButton8 = tools->addButton(QStringLiteral("bsSkinSpeedButton8"), QStringLiteral("打 印"), 15);
    bsSkinSpeedButton9 = tools->addButton(QStringLiteral("bsSkinSpeedButton9"), QStringLiteral("帮 助"), 6);
    tools->addStretch();
    bsSkinEdit1 = tools->addSearch(QStringLiteral("bsSkinStdLabel1"), QStringLiteral("输入会员卡号速查: "),
                                   QStringLiteral("bsSkinEdit1"));
    layout->addWidget(tools);

    bsSkinDBGrid2 = new DataGrid(QStringLiteral("bsSkinDBGrid2"), this);
    layout->addWidget(bsSkinDBGrid2, 1);

    connect(bsSkinSpeedButton6, &QToolButton::clicked, this,
            [this] { guarded([this] { bsSkinSpeedButton6Click(); }); });
    connect(bsSkinSpeedButton8, &QToolButton::clicked, this,
            [this] { guarded([this] { bsSkinSpeedButton8Click(); }); });
    connect(bsSkinSpeedButton9, &QToolButton::clicked, this,
            [this] { guarded([this] { bsSkinSpeedButton9Click(); }); });
    connect(bsSkinEdit1, &QLineEdit::textChanged, this, [this] { guarded([this] { bsSkinEdit1Change(); }); });
}

SharedQuery* MemberRecordFrame::query() const {
    return m_setup.query();
}

void MemberRecordFrame::bindData() {
    bsSkinDBGrid2->bind(query(), m_setup.columns());
}

void MemberRecordFrame::bsSkinSpeedButton6Click() {
    query()->reset(query()->defaultStatement());
}

void MemberRecordFrame::bsSkinSpeedButton8Click() {
    if (query()->recordCount() == 0) {
        Messages::information(m_setup.emptyMessage);
        return;
    }
    Reports::preview(m_setup.report);
}

void MemberRecordFrame::bsSkinSpeedButton9Click() {
    Registry::showModal(QStringLiteral("help"));
}

void MemberRecordFrame::bsSkinEdit1Change() {
    query()->search(m_setup.cardField, bsSkinEdit1->text());
}

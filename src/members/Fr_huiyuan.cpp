#include "members/Fr_huiyuan.h"

#include "core/money.h"
#include "data/data_in.h"
#include "ledger/members.h"
#include "members/edit_huiyuan.h"
#include "members/memberpage.h"
#include "members/memberwidgets.h"
#include "members/new_chongzhi.h"
#include "members/new_huiyuan.h"
#include "reports/reports.h"
#include "widgets/databound.h"
#include "widgets/messages.h"
#include "widgets/registry.h"
#include "widgets/toolbar.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSplitter>
#include <QTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QLabel* fixedText(QWidget* parent, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setStyleSheet(QStringLiteral("color: #1d3a5c;"));
    return label;
}

DataLabel* value(QWidget* parent, const QString& name) {
    auto* label = new DataLabel(name, parent);
    label->setStyleSheet(QStringLiteral("color: navy;"));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

TFr_huiyuan::TFr_huiyuan(QWidget* parent) : Frame(QStringLiteral("Fr_huiyuan1"), parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(MemberPage::banner(this, QStringLiteral("会员管理\n办卡、充值与会员资料"), 5));

    auto* tools = new ToolBar(this);
    bsSkinSpeedButton4 = tools->addButton(QStringLiteral("bsSkinSpeedButton4"), QStringLiteral("新会员"), 21);
    bsSkinSpeedButton3 = tools->addButton(QStringLiteral("bsSkinSpeedButton3"), QStringLiteral("充 值"), 8);
    tools->addDivider();
    bsSkinSpeedButton2 = tools->addButton(QStringLiteral("bsSkinSpeedButton2"), QStringLiteral("修改"), 20);
    bsSkinSpeedButton1 = tools->addButton(QStringLiteral("bsSkinSpeedButton1"), QStringLiteral("删 除"), 19);
    tools->addDivider();
    bsSkinSpeedButton6 = tools->addButton(QStringLiteral("bsSkinSpeedButton6"), QStringLiteral("刷 新"), 16);
    bsSkinSpeedButton8 = tools->addButton(QStringLiteral("bsSkinSpeedButton8"), QStringLiteral("打 印"), 15);
    bsSkinSpeedButton9 = tools->addButton(QStringLiteral("bsSkinSpeedButton9"), QStringLiteral("帮 助"), 6);
    tools->addStretch();
    bsSkinEdit1 = tools->addSearch(QStringLiteral("bsSkinStdLabel1"), QStringLiteral("输入会员卡号速查: "),
                                   QStringLiteral("bsSkinEdit1"));
    layout->addWidget(tools);

    auto* split = new QSplitter(Qt::Vertical, this);
    bsSkinDBGrid2 = new DataGrid(QStringLiteral("bsSkinDBGrid2"), split);

    // The chosen member's details.
    auto* details = new QWidget(split);
    auto* detailRow = new QHBoxLayout(details);
    detailRow->setContentsMargins(4, 2, 4, 4);

    auto* left = new QVBoxLayout;
    auto* cardBox = new QGroupBox(QStringLiteral("会员卡号"), details);
    bsSkinDBText1 = new DataLabel(QStringLiteral("bsSkinDBText1"), cardBox);
    bsSkinDBText1->setAlignment(Qt::AlignCenter);
    bsSkinDBText1->setStyleSheet(QStringLiteral("color: navy; font-size: 26px; font-weight: bold;"));
    (new QVBoxLayout(cardBox))->addWidget(bsSkinDBText1);
    left->addWidget(cardBox);
    auto* balanceBox = new QGroupBox(QStringLiteral("余额"), details);
    auto* balanceRow = new QHBoxLayout(balanceBox);
    auto* yuan = new QLabel(QStringLiteral("￥"), balanceBox);
    yuan->setStyleSheet(QStringLiteral("color: #c0392b; font-size: 18px; font-weight: bold;"));
    bsSkinDBText2 = new DataLabel(QStringLiteral("bsSkinDBText2"), balanceBox);
    bsSkinDBText2->setStyleSheet(QStringLiteral("color: #c0392b; font-size: 18px; font-weight: bold;"));
    balanceRow->addStretch(1);
    balanceRow->addWidget(yuan);
    balanceRow->addWidget(bsSkinDBText2);
    balanceRow->addStretch(1);
    left->addWidget(balanceBox);
    left->addStretch(1);
    auto* leftPanel = new QWidget(details);
    leftPanel->setLayout(left);
    leftPanel->setFixedWidth(170);
    left->setContentsMargins(0, 0, 0, 0);
    detailRow->addWidget(leftPanel);

    auto* infoBox = new QGroupBox(QStringLiteral("会员详细资料"), details);
    auto* info = new QGridLayout(infoBox);
    info->setVerticalSpacing(6);
    bsSkinDBText3 = value(infoBox, QStringLiteral("bsSkinDBText3"));
    bsSkinDBText4 = value(infoBox, QStringLiteral("bsSkinDBText4"));
    bsSkinDBText5 = value(infoBox, QStringLiteral("bsSkinDBText5"));
    bsSkinDBText6 = value(infoBox, QStringLiteral("bsSkinDBText6"));
    bsSkinDBText7 = value(infoBox, QStringLiteral("bsSkinDBText7"));
    bsSkinDBText8 = value(infoBox, QStringLiteral("bsSkinDBText8"));
    bsSkinDBText9 = value(infoBox, QStringLiteral("bsSkinDBText9"));
    bsSkinDBText10 = value(infoBox, QStringLiteral("bsSkinDBText10"));
    auto line = [&](int r, const QString& caption, std::initializer_list<QWidget*> parts) {
        info->addWidget(fixedText(infoBox, caption), r, 0);
        auto* row = new QHBoxLayout;
        row->setSpacing(0);
        for (QWidget* part : parts)
            row->addWidget(part);
        row->addStretch(1);
        info->addLayout(row, r, 1);
    };
    line(0, QStringLiteral("姓  名: "),
         {bsSkinDBText3, fixedText(infoBox, QStringLiteral("  ")), bsSkinDBText4});
    line(1, QStringLiteral("手  机: "), {bsSkinDBText8});
    line(2, QStringLiteral("电  话: "), {bsSkinDBText7});
    line(3, QStringLiteral("E-mail: "), {bsSkinDBText9});
    line(4, QStringLiteral("地  址: "),
         {bsSkinDBText5, fixedText(infoBox, QStringLiteral(" , ")), bsSkinDBText6});
    line(5, QStringLiteral("办卡日期: "), {bsSkinDBText10});
    info->setColumnStretch(1, 1);
    detailRow->addWidget(infoBox, 2);

    auto* remarkBox = new QGroupBox(QStringLiteral("备注信息"), details);
    bsSkinDBRichEdit1 = new DataMemo(QStringLiteral("bsSkinDBRichEdit1"), remarkBox);
    bsSkinDBRichEdit1->setStyleSheet(QStringLiteral("QTextEdit { background: #ffffe1; }"));
    (new QVBoxLayout(remarkBox))->addWidget(bsSkinDBRichEdit1);
    detailRow->addWidget(remarkBox, 1);

    split->addWidget(bsSkinDBGrid2);
    split->addWidget(details);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 0);
    split->setSizes({360, 200});
    layout->addWidget(split, 1);

    auto handler = [this](QToolButton* button, void (TFr_huiyuan::*slot)()) {
        connect(button, &QToolButton::clicked, this,
                [this, slot] { guarded([this, slot] { (this->*slot)(); }); });
    };
    handler(bsSkinSpeedButton4, &TFr_huiyuan::bsSkinSpeedButton4Click);
    handler(bsSkinSpeedButton3, &TFr_huiyuan::bsSkinSpeedButton3Click);
    handler(bsSkinSpeedButton2, &TFr_huiyuan::bsSkinSpeedButton2Click);
    handler(bsSkinSpeedButton1, &TFr_huiyuan::bsSkinSpeedButton1Click);
    handler(bsSkinSpeedButton6, &TFr_huiyuan::bsSkinSpeedButton6Click);
    handler(bsSkinSpeedButton8, &TFr_huiyuan::bsSkinSpeedButton8Click);
    handler(bsSkinSpeedButton9, &TFr_huiyuan::bsSkinSpeedButton9Click);
    connect(bsSkinEdit1, &QLineEdit::textChanged, this, [this] { guarded([this] { bsSkinEdit1Change(); }); });
}

void TFr_huiyuan::bindData() {
    SharedQuery* members = Data_in->Query_aj;
    bsSkinDBGrid2->bind(members, {{QStringLiteral("jid"), QStringLiteral("会员卡号"), 80},
                                  {QStringLiteral("j1"), QStringLiteral("会员名"), 110},
                                  {QStringLiteral("j6"), QStringLiteral("称呼"), 60},
                                  {QStringLiteral("j2"), QStringLiteral("手机"), 120},
                                  {QStringLiteral("j9"), QStringLiteral("卡中余额"), 100},
                                  {QStringLiteral("j10"), QStringLiteral("办卡时间"), 150}});
    bsSkinDBText1->bind(members, QStringLiteral("jid"));
    bsSkinDBText2->bind(members, QStringLiteral("j9"));
    bsSkinDBText3->bind(members, QStringLiteral("j1"));
    bsSkinDBText4->bind(members, QStringLiteral("j6"));
    bsSkinDBText5->bind(members, QStringLiteral("j4"));
    bsSkinDBText6->bind(members, QStringLiteral("j5"));
    bsSkinDBText7->bind(members, QStringLiteral("j3"));
    bsSkinDBText8->bind(members, QStringLiteral("j2"));
    bsSkinDBText9->bind(members, QStringLiteral("j7"));
    bsSkinDBText10->bind(members, QStringLiteral("j10"));
    bsSkinDBRichEdit1->bind(members, QStringLiteral("j8"));
}

bool TFr_huiyuan::hasMembers() const {
    if (Data_in->Query_aj->recordCount() > 0)
        return true;
    Messages::information(EmptyMessage);
    return false;
}

void TFr_huiyuan::bsSkinSpeedButton4Click() {
    new_huiyuan->exec();
}

void TFr_huiyuan::bsSkinSpeedButton3Click() {
    if (!hasMembers())
        return;
    const SharedQuery* q = Data_in->Query_aj;
    const QVariant balance = q->fieldValue(QStringLiteral("j9"));
    new_chongzhi->prepare(q->fieldValue(QStringLiteral("jid")).toLongLong(),
                          q->fieldText(QStringLiteral("j1")),
                          balance.isNull() ? std::nullopt : std::optional(Currency::fromVariant(balance)),
                          q->fieldText(QStringLiteral("j6")));
    new_chongzhi->exec();
}

void TFr_huiyuan::bsSkinSpeedButton2Click() {
    if (!hasMembers())
        return;
    const SharedQuery* q = Data_in->Query_aj;
    Members::Person person;
    person.name = q->fieldText(QStringLiteral("j1"));
    person.mobile = q->fieldText(QStringLiteral("j2"));
    person.phone = q->fieldText(QStringLiteral("j3"));
    person.address = q->fieldText(QStringLiteral("j4"));
    person.postcode = q->fieldText(QStringLiteral("j5"));
    person.salutation = q->fieldText(QStringLiteral("j6"));
    person.email = q->fieldText(QStringLiteral("j7"));
    person.remark = q->fieldText(QStringLiteral("j8"));
    edit_huiyuan->prepare(q->fieldValue(QStringLiteral("jid")).toLongLong(), person);
    edit_huiyuan->exec();
}

void TFr_huiyuan::bsSkinSpeedButton1Click() {
    if (!hasMembers())
        return;
    if (!Messages::confirmDelete(DeleteQuestion))
        return;
    // The next member becomes current, as the list stood before the delete.
    SharedQuery* members = Data_in->Query_aj;
    const int row = members->currentRow();
    Members::remove(members->fieldValue(QStringLiteral("jid")).toLongLong());
    if (members->recordCount() > 0)
        members->setCurrentRow(std::min(row, members->recordCount() - 1));
}

void TFr_huiyuan::bsSkinSpeedButton6Click() {
    SharedQuery* members = Data_in->Query_aj;
    members->reset(members->defaultStatement());
}

void TFr_huiyuan::bsSkinSpeedButton8Click() {
    if (!hasMembers())
        return;
    Reports::preview(QStringLiteral("aj.rav"));
}

void TFr_huiyuan::bsSkinSpeedButton9Click() {
    Registry::showModal(QStringLiteral("help"));
}

void TFr_huiyuan::bsSkinEdit1Change() {
    Data_in->Query_aj->search(QStringLiteral("jid"), bsSkinEdit1->text());
}

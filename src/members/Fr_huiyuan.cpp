#include "members/Fr_huiyuan.h"
#include "data/listdefinitions.h"

#include "core/money.h"
#include "ledger/members.h"
#include "members/edit_huiyuan.h"
#include "members/new_chongzhi.h"
#include "members/new_huiyuan.h"
#include "reports/reports.h"
#include "widgets/importdialog.h"
#include "widgets/messages.h"
#include "widgets/toolbar.h"

#include <QSplitter>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

ListFrame::ListSetup setup() {
    ListFrame::ListSetup s{QStringLiteral("Query_aj"),
                           QStringLiteral("jid"),
                           TFr_huiyuan::EmptyMessage,
                           [] { Reports::preview(QStringLiteral("aj.rav")); },
                           ListDefinitions::get(QStringLiteral("members")).columns,
                           5};
    s.searchCaption = QStringLiteral("输入会员卡号速查: ");
    return s;
}

} // namespace

TFr_huiyuan::TFr_huiyuan(QWidget* parent)
    : ListFrame(QStringLiteral("Fr_huiyuan1"), QStringLiteral("会员管理"),
                QStringLiteral("办卡、充值与会员资料"), setup(), parent) {
    bsSkinSpeedButton4 = addTool(QStringLiteral("bsSkinSpeedButton4"), QStringLiteral("新会员"), 21,
                                 [this] { bsSkinSpeedButton4Click(); });
    bsSkinSpeedButton3 = addTool(QStringLiteral("bsSkinSpeedButton3"), QStringLiteral("充 值"), 8,
                                 [this] { bsSkinSpeedButton3Click(); });
    addDivider();
    bsSkinSpeedButton2 = addTool(QStringLiteral("bsSkinSpeedButton2"), QStringLiteral("修改"), 20,
                                 [this] { bsSkinSpeedButton2Click(); });
    bsSkinSpeedButton1 = addTool(QStringLiteral("bsSkinSpeedButton1"), QStringLiteral("删 除"), 19,
                                 [this] { bsSkinSpeedButton1Click(); });
    addTool(QStringLiteral("importMembersButton"), QStringLiteral("导 入"), 14, [this] {
        ImportDialog::run(Importing::Kind::Members, this);
    })->setToolTip(QStringLiteral("从 Excel 或 CSV 文件导入会员"));
    addDivider();
    finishToolBar();

    // The list and, under it, the chosen member's details.
    auto* body = new QWidget(this);
    setupUi(body);
    m_layout->addWidget(body, 1);
    // The form's grid is the page's list.
    ListFrame::bsSkinDBGrid2 = Ui::MemberDetails::bsSkinDBGrid2;
    auto* importing = new QAction(QStringLiteral("导入会员…"), this);
    importing->setObjectName(QStringLiteral("importMembers"));
    connectGuarded(importing, &QAction::triggered, this,
                   [this] { ImportDialog::run(Importing::Kind::Members, this); });
    bsSkinDBGrid2->addMenuAction(importing);
    bsSkinSplitter1->setStretchFactor(0, 1);
    bsSkinSplitter1->setStretchFactor(1, 0);
    bsSkinSplitter1->setSizes({360, 200});
}

void TFr_huiyuan::bindData() {
    ListFrame::bindData();
    SharedQuery* members = query();
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

void TFr_huiyuan::bsSkinSpeedButton4Click() {
    new_huiyuan->exec();
}

void TFr_huiyuan::bsSkinSpeedButton3Click() {
    if (!listHasRows())
        return;
    const SharedQuery* q = query();
    const QVariant balance = q->fieldValue(QStringLiteral("j9"));
    new_chongzhi->prepare(q->fieldValue(QStringLiteral("jid")).toLongLong(),
                          q->fieldText(QStringLiteral("j1")),
                          balance.isNull() ? std::nullopt : std::optional(Currency::fromVariant(balance)),
                          q->fieldText(QStringLiteral("j6")));
    new_chongzhi->exec();
}

void TFr_huiyuan::bsSkinSpeedButton2Click() {
    if (!listHasRows())
        return;
    const SharedQuery* q = query();
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
    if (!listHasRows())
        return;
    if (!Messages::confirmDelete(DeleteQuestion))
        return;
    // The next member becomes current, as the list stood before the delete.
    SharedQuery* members = query();
    const int row = members->currentRow();
    Members::remove(members->fieldValue(QStringLiteral("jid")).toLongLong());
    members->setCurrentRow(row); // kept within the rows left
}

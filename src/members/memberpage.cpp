#include "members/memberpage.h"

#include "data/data_in.h"
#include "reports/reports.h"
#include "widgets/databound.h"
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
    // The title's second line, after a line break, says what the page holds.
    return Pictures::titledBanner(parent, picture, title.section(QLatin1Char('\n'), 0, 0),
                                  title.section(QLatin1Char('\n'), 1));
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

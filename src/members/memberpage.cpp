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
    // The common three-picture banner; its stretching middle names the page: the page's picture,
    // the title and, after a line break in the title, a smaller line saying what the page holds.
    QWidget* strip = Pictures::banner(parent, QStringLiteral("bsSkinPanel1"));
    auto* middle = strip->findChild<QLabel*>(strip->objectName() + QStringLiteral("Middle"));
    auto* row = new QHBoxLayout(middle);
    row->setContentsMargins(14, 2, 8, 4);
    row->setSpacing(10);
    auto* icon = new QLabel(middle);
    icon->setPixmap(Pictures::icon(picture).pixmap(30, 30));
    icon->setFixedSize(30, 30);
    row->addWidget(icon);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(0);
    const QString heading = title.section(QLatin1Char('\n'), 0, 0);
    const QString subtitle = title.section(QLatin1Char('\n'), 1);
    auto* titleLabel = new QLabel(heading, middle);
    titleLabel->setStyleSheet(QStringLiteral("color: white; font-size: 16px; font-weight: bold;"));
    texts->addWidget(titleLabel);
    if (!subtitle.isEmpty()) {
        auto* subtitleLabel = new QLabel(subtitle, middle);
        subtitleLabel->setStyleSheet(QStringLiteral("color: #d8e6f6; font-size: 11px;"));
        texts->addWidget(subtitleLabel);
    }
    for (QLabel* label : middle->findChildren<QLabel*>()) {
        if (label != icon) // a narrow page cuts the words
            label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    }
    row->addLayout(texts, 1);
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

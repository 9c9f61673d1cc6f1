#include "warehouse/framekit.h"

#include "data/data_in.h"
#include "reports/reports.h"
#include "widgets/messages.h"
#include "widgets/pictures.h"
#include "widgets/registry.h"
#include "widgets/toolbar.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>

WarehouseFrame::WarehouseFrame(const QString& name, const QString& title, const QString& subtitle,
                               ListSetup setup, QWidget* parent)
    : Frame(name, parent), m_setup(std::move(setup)) {
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    bsSkinPanel1 = Pictures::titledBanner(this, m_setup.picture, title, subtitle);
    m_layout->addWidget(bsSkinPanel1);
    bsSkinToolBar1 = new ToolBar(this);
    m_layout->addWidget(bsSkinToolBar1);
}

QToolButton* WarehouseFrame::addTool(const QString& name, const QString& caption, int picture,
                                     std::function<void()> handler) {
    QToolButton* button = bsSkinToolBar1->addButton(name, caption, picture);
    connect(button, &QToolButton::clicked, this, [handler] { guarded(handler); });
    return button;
}

void WarehouseFrame::finishToolBar() {
    bsSkinSpeedButton6 = addTool(QStringLiteral("bsSkinSpeedButton6"), QStringLiteral("刷 新"), 16,
                                 [this] { bsSkinSpeedButton6Click(); });
    bsSkinSpeedButton8 = addTool(QStringLiteral("bsSkinSpeedButton8"), QStringLiteral("打 印"), 15,
                                 [this] { bsSkinSpeedButton8Click(); });
    bsSkinSpeedButton9 = addTool(QStringLiteral("bsSkinSpeedButton9"), QStringLiteral("帮 助"), 6,
                                 [this] { bsSkinSpeedButton9Click(); });
    bsSkinToolBar1->addStretch();
    bsSkinEdit1 =
        bsSkinToolBar1->addSearch(QStringLiteral("bsSkinStdLabel1"), QStringLiteral("输入产品名称速查: "),
                                  QStringLiteral("bsSkinEdit1"));
    bsSkinStdLabel1 = bsSkinToolBar1->findChild<QLabel*>(QStringLiteral("bsSkinStdLabel1"));
    connect(bsSkinEdit1, &QLineEdit::textChanged, this, [this] { guarded([this] { bsSkinEdit1Change(); }); });
}

void WarehouseFrame::addGrid() {
    bsSkinDBGrid2 = new DataGrid(QStringLiteral("bsSkinDBGrid2"), this);
    bsSkinDBGrid2->verticalScrollBar()->setObjectName(QStringLiteral("bsSkinScrollBar2"));
    bsSkinDBGrid2->setShowGrid(true);
    bsSkinDBGrid2->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    m_layout->addWidget(bsSkinDBGrid2, 1);
}

void WarehouseFrame::bindData() {
    bsSkinDBGrid2->bind(query(), m_setup.columns);
}

SharedQuery* WarehouseFrame::query() const {
    return Data_in ? Data_in->query(m_setup.query) : nullptr;
}

bool WarehouseFrame::listHasRows() {
    if (query()->recordCount() > 0)
        return true;
    Messages::information(m_setup.emptyMessage);
    return false;
}

void WarehouseFrame::bsSkinSpeedButton6Click() {
    SharedQuery* q = query();
    q->reset(q->defaultStatement());
}

void WarehouseFrame::bsSkinSpeedButton8Click() {
    if (!listHasRows())
        return;
    Reports::preview(m_setup.report);
}

void WarehouseFrame::bsSkinSpeedButton9Click() {
    Registry::showModal(QStringLiteral("help"));
}

void WarehouseFrame::bsSkinEdit1Change() {
    query()->search(m_setup.searchField, bsSkinEdit1->text());
}

#include "widgets/listframe.h"

#include "data/data_in.h"
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

ListFrame::ListFrame(const QString& name, const QString& title, const QString& subtitle, ListSetup setup,
                     QWidget* parent)
    : Frame(name, parent), m_setup(std::move(setup)) {
    setProperty("listTitle", title); // names the files its lists are exported to
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    bsSkinPanel1 = Pictures::titledBanner(this, m_setup.picture, title, subtitle);
    m_layout->addWidget(bsSkinPanel1);
    bsSkinToolBar1 = new ToolBar(this);
    m_layout->addWidget(bsSkinToolBar1);
}

QToolButton* ListFrame::addTool(const QString& name, const QString& caption, int picture,
                                std::function<void()> handler) {
    QToolButton* button = bsSkinToolBar1->addButton(name, caption, picture);
    connectGuarded(button, &QToolButton::clicked, this, std::move(handler));
    return button;
}

void ListFrame::addDivider() {
    bsSkinToolBar1->addDivider();
}

void ListFrame::finishToolBar() {
    bsSkinSpeedButton6 = addTool(QStringLiteral("bsSkinSpeedButton6"), QStringLiteral("刷 新"), 16,
                                 [this] { bsSkinSpeedButton6Click(); });
    bsSkinSpeedButton8 = addTool(QStringLiteral("bsSkinSpeedButton8"), QStringLiteral("打 印"), 15,
                                 [this] { bsSkinSpeedButton8Click(); });
    bsSkinSpeedButton9 = addTool(QStringLiteral("bsSkinSpeedButton9"), QStringLiteral("帮 助"), 6,
                                 [this] { bsSkinSpeedButton9Click(); });
    bsSkinToolBar1->addStretch();
    bsSkinEdit1 =
        bsSkinToolBar1->addSearch(m_setup.searchLabel, m_setup.searchCaption, QStringLiteral("bsSkinEdit1"));
    bsSkinStdLabel1 = bsSkinToolBar1->findChild<QLabel*>(m_setup.searchLabel);
    connectGuarded(bsSkinEdit1, &QLineEdit::textChanged, this, &ListFrame::bsSkinEdit1Change);
}

void ListFrame::addGrid() {
    bsSkinDBGrid2 = new DataGrid(QStringLiteral("bsSkinDBGrid2"), this);
    bsSkinDBGrid2->verticalScrollBar()->setObjectName(QStringLiteral("bsSkinScrollBar2"));
    bsSkinDBGrid2->setShowGrid(true);
    bsSkinDBGrid2->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    m_layout->addWidget(bsSkinDBGrid2, 1);
}

void ListFrame::bindData() {
    bsSkinDBGrid2->bind(query(), m_setup.columns);
}

SharedQuery* ListFrame::query() const {
    return Data_in ? Data_in->query(m_setup.query) : nullptr;
}

bool ListFrame::listHasRows() {
    if (query()->recordCount() > 0)
        return true;
    Messages::information(m_setup.emptyMessage);
    return false;
}

void ListFrame::bsSkinSpeedButton6Click() {
    SharedQuery* q = query();
    // On a server, also what another program wrote there without telling the tills.
    Data_in->writtenElsewhere(q->table());
    q->reset(q->defaultStatement());
}

void ListFrame::bsSkinSpeedButton8Click() {
    if (!listHasRows())
        return;
    m_setup.print();
}

void ListFrame::bsSkinSpeedButton9Click() {
    Registry::showModal(QStringLiteral("help"));
}

void ListFrame::bsSkinEdit1Change() {
    query()->search(m_setup.searchField, bsSkinEdit1->text(), m_setup.codeField);
}

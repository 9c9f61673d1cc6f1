#include "widgets/list.h"

#include "data/data_in.h"
#include "widgets/databound.h"
#include "widgets/messages.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QToolButton>
#include <QVBoxLayout>

Tlist* list = nullptr;

namespace {

const QString EntryField = QStringLiteral("z1");

// The grid of a pick list: edited in place; the navigator stores what is typed in its open cell.
class ListGrid : public DataGrid {
public:
    using DataGrid::DataGrid;
    // Closes an open cell editor without storing its text.
    void dropEditing() {
        if (state() != QAbstractItemView::EditingState)
            return;
        for (QWidget* editor : viewport()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            if (editor->isVisible())
                closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
};

enum class Sign { Insert, Delete, Post };

QIcon navigatorIcon(Sign sign) {
    // Drawn for the screen's pixel density, sharp at scale 2 too.
    const qreal ratio = qApp->devicePixelRatio();
    QPixmap pm(QSize(16, 16) * ratio);
    pm.setDevicePixelRatio(ratio);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    switch (sign) {
    case Sign::Insert:
        p.setPen(QPen(QColor(0x2e, 0xa0, 0x5a), 2.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(8, 3), QPointF(8, 13));
        p.drawLine(QPointF(3, 8), QPointF(13, 8));
        break;
    case Sign::Delete:
        p.setPen(QPen(QColor(0xc0, 0x39, 0x2b), 2.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(3, 8), QPointF(13, 8));
        break;
    case Sign::Post:
        p.setPen(QPen(QColor(0x2f, 0x7d, 0xd1), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({QPointF(3, 8.5), QPointF(6.5, 12), QPointF(13, 4)}));
        break;
    }
    return QIcon(pm);
}

QToolButton* navigatorButton(QWidget* parent, const QString& name, Sign sign, const QString& tip) {
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    b->setIcon(navigatorIcon(sign));
    b->setToolTip(tip);
    b->setAccessibleName(tip);
    b->setAutoRaise(true);
    // The grid keeps the focus, and with it the cell being typed in.
    b->setFocusPolicy(Qt::NoFocus);
    b->setFixedSize(28, 23);
    return b;
}

bool within(const QWidget* area, const QWidget* w) {
    return w && (w == area || area->isAncestorOf(w));
}

} // namespace

Tlist::Tlist(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("list"));
    setWindowTitle(QStringLiteral("菜单项编辑"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(225, 371);
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    buildPanel(0, QStringLiteral("caidan_dalei"), QStringLiteral("大类"),
               Data_in ? Data_in->Query_a1 : nullptr);
    buildPanel(1, QStringLiteral("caidan_xilei"), QStringLiteral("细类"),
               Data_in ? Data_in->Query_a2 : nullptr);
    buildPanel(2, QStringLiteral("caidan_danwei"), QStringLiteral("数量单位"),
               Data_in ? Data_in->Query_a3 : nullptr);
    buildPanel(3, QStringLiteral("caidan_dingdanlei"), QStringLiteral("订单分类"),
               Data_in ? Data_in->Query_a4 : nullptr);
    caidan_dalei = m_panels[0].panel;
    caidan_xilei = m_panels[1].panel;
    caidan_danwei = m_panels[2].panel;
    caidan_dingdanlei = m_panels[3].panel;
    bsSkinDBGrid1 = m_panels[0].grid;
    bsSkinDBGrid2 = m_panels[1].grid;
    bsSkinDBGrid3 = m_panels[2].grid;
    bsSkinDBGrid4 = m_panels[3].grid;
    showPanel(QStringLiteral("caidan_dalei"));
    connect(qApp, &QApplication::focusChanged, this, &Tlist::focusChanged);
}

Tlist::~Tlist() {
    // The grids go before the window does: focus changes during that are none of our business.
    disconnect(qApp, nullptr, this, nullptr);
}

void Tlist::buildPanel(int index, const QString& name, const QString& header, SharedQuery* query) {
    Panel& p = m_panels[index];
    p.query = query;
    p.panel = new QFrame(this);
    p.panel->setObjectName(name);
    static_cast<QGridLayout*>(layout())->addWidget(p.panel, 0, 0);
    auto* column = new QVBoxLayout(p.panel);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    p.header = new QLabel(header, p.panel);
    p.header->setObjectName(QStringLiteral("bsSkinStdLabel%1").arg(index + 1));
    p.header->setFixedHeight(26);
    p.header->setAlignment(Qt::AlignCenter);
    p.header->setProperty("role", QStringLiteral("listHeader"));
    column->addWidget(p.header);

    p.navigator = new QFrame(p.panel);
    p.navigator->setObjectName(QStringLiteral("bsSkinDBNavigator%1").arg(index + 1));
    p.navigator->setFixedHeight(25);
    p.navigator->setProperty("role", QStringLiteral("toolbar"));
    auto* buttons = new QHBoxLayout(p.navigator);
    buttons->setContentsMargins(2, 1, 2, 1);
    buttons->setSpacing(2);
    p.insertButton =
        navigatorButton(p.navigator, QStringLiteral("nbInsert"), Sign::Insert, QStringLiteral("插入"));
    p.deleteButton =
        navigatorButton(p.navigator, QStringLiteral("nbDelete"), Sign::Delete, QStringLiteral("删除"));
    p.postButton = navigatorButton(p.navigator, QStringLiteral("nbPost"), Sign::Post, QStringLiteral("保存"));
    buttons->addWidget(p.insertButton);
    buttons->addWidget(p.deleteButton);
    buttons->addWidget(p.postButton);
    buttons->addStretch(1);
    column->addWidget(p.navigator);

    auto* grid = new ListGrid(QStringLiteral("bsSkinDBGrid%1").arg(index + 1), p.panel);
    grid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                          QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    grid->setTabKeyNavigation(true);
    grid->setShowGrid(true);
    grid->verticalHeader()->show();
    grid->verticalHeader()->setDefaultSectionSize(22);
    grid->horizontalHeader()->setStretchLastSection(true);
    p.grid = grid;
    column->addWidget(grid, 1);
    if (query)
        grid->bind(query, {{EntryField, QStringLiteral("菜单项"), 180}});

    connectGuarded(p.insertButton, &QToolButton::clicked, this,
                   [this, index] { insertEntry(m_panels[index]); });
    connectGuarded(p.deleteButton, &QToolButton::clicked, this,
                   [this, index] { deleteEntry(m_panels[index]); });
    connectGuarded(p.postButton, &QToolButton::clicked, this, [this, index] { postEntry(m_panels[index]); });
}

void Tlist::showPanel(const QString& panel) {
    for (const Panel& p : m_panels)
        p.panel->setVisible(p.panel->objectName() == panel);
}

const Tlist::Panel* Tlist::visiblePanel() const {
    for (const Panel& p : m_panels)
        if (!p.panel->isHidden())
            return &p;
    return nullptr;
}

void Tlist::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (const Panel* p = visiblePanel())
        p->grid->setFocus();
}

void Tlist::insertEntry(const Panel& p) {
    p.grid->finishEditing();
    p.query->insertRecord();
    p.grid->setFocus();
    const QModelIndex cell = p.grid->indexOfRow(p.query->currentRow(), p.query->fieldIndex(EntryField));
    p.grid->setCurrentIndex(cell);
    p.grid->edit(cell);
}

void Tlist::deleteEntry(const Panel& p) {
    static_cast<ListGrid*>(p.grid)->dropEditing();
    if (p.query->recordCount() == 0)
        return;
    p.query->deleteCurrent();
}

void Tlist::postEntry(const Panel& p) {
    p.grid->finishEditing();
    p.query->post();
}

void Tlist::focusChanged(QWidget* old, QWidget* now) {
    // An inserted row the user leaves without typing anything goes away when the grid loses the focus.
    for (const Panel& p : m_panels)
        if (p.query && within(p.grid, old) && !within(p.grid, now))
            p.query->dropBlankInsert();
}

void Tlist::reject() {
    const bool stored = guarded([this] {
        for (const Panel& p : m_panels) {
            p.grid->finishEditing();
            if (p.query && !p.query->dropBlankInsert())
                p.query->post();
        }
    });
    // A row the database refused stays in the grid to be corrected.
    if (stored)
        QDialog::reject();
}

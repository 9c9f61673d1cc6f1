#include "widgets/list.h"

#include "data/data_in.h"
#include "widgets/databound.h"
#include "widgets/messages.h"

#include <QApplication>
#include <QPainter>

Tlist* list = nullptr;

namespace {

const QString EntryField = QStringLiteral("z1");

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

// A navigator button of the form: its icon, and the name every navigator gives it (a form's
// names are unique, so the form numbers them).
void setUpNavigatorButton(QToolButton* b, const QString& name, Sign sign) {
    b->setObjectName(name);
    b->setIcon(navigatorIcon(sign));
}

bool within(const QWidget* area, const QWidget* w) {
    return w && (w == area || area->isAncestorOf(w));
}

} // namespace

Tlist::Tlist(QWidget* parent) : QDialog(parent) {
    setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    const auto panel = [](QFrame* frame, QLabel* header, QFrame* navigator, QToolButton* insert,
                          QToolButton* remove, QToolButton* post, DataGrid* grid, SharedQuery* query) {
        return Panel{frame, header, navigator, insert, remove, post, grid, query};
    };
    m_panels[0] = panel(caidan_dalei, bsSkinStdLabel1, bsSkinDBNavigator1, nbInsert1, nbDelete1, nbPost1,
                        bsSkinDBGrid1, Data_in ? Data_in->Query_a1 : nullptr);
    m_panels[1] = panel(caidan_xilei, bsSkinStdLabel2, bsSkinDBNavigator2, nbInsert2, nbDelete2, nbPost2,
                        bsSkinDBGrid2, Data_in ? Data_in->Query_a2 : nullptr);
    m_panels[2] = panel(caidan_danwei, bsSkinStdLabel3, bsSkinDBNavigator3, nbInsert3, nbDelete3, nbPost3,
                        bsSkinDBGrid3, Data_in ? Data_in->Query_a3 : nullptr);
    m_panels[3] = panel(caidan_dingdanlei, bsSkinStdLabel4, bsSkinDBNavigator4, nbInsert4, nbDelete4, nbPost4,
                        bsSkinDBGrid4, Data_in ? Data_in->Query_a4 : nullptr);
    // The navigator buttons take no focus: the grid keeps it, and with it the cell being typed in.
    for (int i = 0; i < 4; ++i)
        setUpPanel(i);
    showPanel(QStringLiteral("caidan_dalei"));
    connect(qApp, &QApplication::focusChanged, this, &Tlist::focusChanged);
}

Tlist::~Tlist() {
    // The grids go before the window does: focus changes during that are none of our business.
    disconnect(qApp, nullptr, this, nullptr);
}

void Tlist::setUpPanel(int index) {
    Panel& p = m_panels[index];
    setUpNavigatorButton(p.insertButton, QStringLiteral("nbInsert"), Sign::Insert);
    setUpNavigatorButton(p.deleteButton, QStringLiteral("nbDelete"), Sign::Delete);
    setUpNavigatorButton(p.postButton, QStringLiteral("nbPost"), Sign::Post);
    if (p.query)
        p.grid->bind(p.query, {{EntryField, QStringLiteral("菜单项"), 180}});

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

#include "warehouse/scalelayouts.h"

#include "core/errors.h"
#include "ledger/weighed.h"
#include "widgets/messages.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

// The columns: the name, then numbers; positions are shown from 1.
enum Column {
    Name,
    Length,
    PrefixDigits,
    PrefixFrom,
    PrefixTo,
    CodeAt,
    CodeDigits,
    PriceAt,
    PriceDigits,
    WeightAt,
    WeightDigits,
    Columns
};

const QStringList Headers = {
    QStringLiteral("名称"),       QStringLiteral("总位数"),      QStringLiteral("前缀位数"),
    QStringLiteral("前缀从"),     QStringLiteral("前缀到"),      QStringLiteral("商品码起位"),
    QStringLiteral("商品码位数"), QStringLiteral("金额起位"),    QStringLiteral("金额位数(分)"),
    QStringLiteral("重量起位"),   QStringLiteral("重量位数(克)")};

QPushButton* button(const QString& name, const QString& text, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

} // namespace

ScaleLayoutsDialog::ScaleLayoutsDialog(QWidget* parent) : QDialog(parent), m_table(new QTableWidget(this)) {
    setObjectName(QStringLiteral("scaleLayouts"));
    setWindowTitle(QStringLiteral("秤签设置"));
    auto* layout = new QVBoxLayout(this);
    auto* note = new QLabel(
        QStringLiteral("电子秤打印的秤签条码：前缀标明是秤签，随后是商品码（产品资料中的称重码）、"
                       "金额或重量，最后一位是校验位。位置从条码的第 1 位数起；没有金额或重量的空着。"),
        this);
    note->setWordWrap(true);
    layout->addWidget(note);
    m_table->setObjectName(QStringLiteral("layoutsTable"));
    m_table->setColumnCount(Columns);
    m_table->setHorizontalHeaderLabels(Headers);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setSectionResizeMode(Name, QHeaderView::Stretch);
    m_table->horizontalHeader()->setMinimumSectionSize(60);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setMinimumSize(1120, 160);
    layout->addWidget(m_table);

    auto* row = new QHBoxLayout;
    QPushButton* add = button(QStringLiteral("addLayout"), QStringLiteral("添 加"), this);
    QPushButton* remove = button(QStringLiteral("removeLayout"), QStringLiteral("删 除"), this);
    QPushButton* defaults = button(QStringLiteral("defaultLayouts"), QStringLiteral("恢复默认"), this);
    QPushButton* save = button(QStringLiteral("saveLayouts"), QStringLiteral("保 存"), this);
    QPushButton* cancel = button(QStringLiteral("cancelLayouts"), QStringLiteral("取 消"), this);
    row->addWidget(add);
    row->addWidget(remove);
    row->addWidget(defaults);
    row->addStretch();
    row->addWidget(save);
    row->addWidget(cancel);
    layout->addLayout(row);

    connectGuarded(add, &QPushButton::clicked, this, [this] {
        // A new layout starts as the common thirteen-digit one with the price, for the owner to change.
        ScaleLabels::Layout l = ScaleLabels::defaultLayouts().first();
        l.name = QStringLiteral("新格式");
        addRow(l);
        m_table->setCurrentCell(m_table->rowCount() - 1, Name);
        m_table->editItem(m_table->item(m_table->rowCount() - 1, Name));
    });
    connectGuarded(remove, &QPushButton::clicked, this, [this] {
        if (m_table->currentRow() >= 0)
            m_table->removeRow(m_table->currentRow());
    });
    connectGuarded(defaults, &QPushButton::clicked, this,
                   [this] { showLayouts(ScaleLabels::defaultLayouts()); });
    connectGuarded(save, &QPushButton::clicked, this, [this] { this->save(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    showLayouts(Weighed::layouts());
}

void ScaleLayoutsDialog::showLayouts(const QList<ScaleLabels::Layout>& layouts) {
    m_table->setRowCount(0);
    for (const ScaleLabels::Layout& l : layouts)
        addRow(l);
}

void ScaleLayoutsDialog::addRow(const ScaleLabels::Layout& l) {
    const int row = m_table->rowCount();
    m_table->insertRow(row);
    const auto position = [](int at) {
        return at < 0 ? QString() : QString::number(at + 1);
    };
    const auto digits = [](int at, int n) {
        return at < 0 ? QString() : QString::number(n);
    };
    const QStringList cells = {l.name,
                               QString::number(l.length),
                               QString::number(l.prefixDigits),
                               QString::number(l.prefixFrom),
                               QString::number(l.prefixTo),
                               position(l.codeAt),
                               QString::number(l.codeDigits),
                               position(l.priceAt),
                               digits(l.priceAt, l.priceDigits),
                               position(l.weightAt),
                               digits(l.weightAt, l.weightDigits)};
    for (int c = 0; c < Columns; ++c) {
        auto* item = new QTableWidgetItem(cells[c]);
        if (c == Name)
            item->setToolTip(cells[c]);
        if (c != Name)
            item->setTextAlignment(Qt::AlignCenter);
        m_table->setItem(row, c, item);
    }
}

QList<ScaleLabels::Layout> ScaleLayoutsDialog::layoutsShown() const {
    QList<ScaleLabels::Layout> layouts;
    for (int row = 0; row < m_table->rowCount(); ++row) {
        const auto text = [&](int c) {
            const QTableWidgetItem* item = m_table->item(row, c);
            return item ? item->text().trimmed() : QString();
        };
        // A number the owner typed; `empty` where an empty cell means none.
        const auto number = [&](int c, std::optional<int> empty = std::nullopt) {
            const QString t = text(c);
            if (t.isEmpty() && empty)
                return *empty;
            bool ok = false;
            const int n = t.toInt(&ok);
            if (!ok || n < 0 || n > 99)
                throw Refused(QStringLiteral("第 %1 行的“%2”应是数字").arg(row + 1).arg(Headers[c]));
            return n;
        };
        ScaleLabels::Layout l;
        l.name = text(Name);
        l.length = number(Length);
        l.prefixDigits = number(PrefixDigits);
        l.prefixFrom = number(PrefixFrom);
        l.prefixTo = number(PrefixTo);
        l.codeAt = number(CodeAt) - 1;
        l.codeDigits = number(CodeDigits);
        l.priceAt = number(PriceAt, 0) - 1;
        l.priceDigits = l.priceAt < 0 ? 0 : number(PriceDigits);
        l.weightAt = number(WeightAt, 0) - 1;
        l.weightDigits = l.weightAt < 0 ? 0 : number(WeightDigits);
        layouts << l;
    }
    return layouts;
}

void ScaleLayoutsDialog::save() {
    Weighed::storeLayouts(layoutsShown());
    accept();
}

#include "orders/orderform.h"

#include "data/data_in.h"
#include "ledger/orders.h"
#include "ledger/products.h"
#include "ledger/weighed.h"
#include "widgets/databound.h"
#include "widgets/messages.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QLayout>
#include <QLineEdit>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalBlocker>

OrderForm::OrderForm(const QString& name, const QString& caption, SharedQuery* lines, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      m_lines(lines) {
    setupUi(this);
    setObjectName(name);
    setWindowTitle(caption);

    bsSkinDBGrid1->bind(Data_in->Query_ab, {{QStringLiteral("bid"), QStringLiteral("编号"), 50},
                                            {QStringLiteral("b1"), QStringLiteral("大类"), 70},
                                            {QStringLiteral("b3"), QStringLiteral("产品名称"), 150},
                                            {QStringLiteral("b4"), QStringLiteral("库存量"), 60},
                                            {QStringLiteral("b5"), QStringLiteral("单位"), 45},
                                            {QStringLiteral("b8"), QStringLiteral("销售价"), 60}});
    bsSkinDBText1->bind(Data_in->Query_ab, QStringLiteral("b3"));
    bsSkinDBGrid2->bind(m_lines, {{QStringLiteral("k3"), QStringLiteral("产品名称"), 150},
                                  {QStringLiteral("k4"), QStringLiteral("数量"), 60},
                                  {QStringLiteral("k5"), QStringLiteral("单位"), 50},
                                  {QStringLiteral("k6"), QStringLiteral("销售价"), 70}});

    // A scan of a product on the order adds to its line when this till is set so.
    joinScans->setChecked(Orders::scansJoinLines(Data_in->folder()));
    connect(joinScans, &QCheckBox::toggled, this,
            [](bool join) { guarded([&] { Orders::setScansJoinLines(Data_in->folder(), join); }); });

    // A scanner types the code and Enter, into the search box or the quantity box.
    bsSkinEdit1->installEventFilter(this);
    bsSkinEdit2->installEventFilter(this);
}

void OrderForm::searchProducts(const QString& text) {
    Data_in->Query_ab->search(QStringLiteral("b3"), text, QStringLiteral("b13"));
}

bool OrderForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && (watched == bsSkinEdit1 || watched == bsSkinEdit2)) {
        auto* box = static_cast<QLineEdit*>(watched);
        const auto* press = static_cast<QKeyEvent*>(event);
        const bool quick = m_lastKey.isValid() && m_lastKey.elapsed() <= ScanGap && m_burstBox == box;
        m_lastKey.start();
        const int key = press->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            // Digits that came as fast as a scanner sends them are its code, also in the quantity
            // box, whose few places would cut it: the box gets back what it held before.
            static const QRegularExpression scanned(QStringLiteral("^[0-9]{8,}$"));
            const bool burst = quick && scanned.match(m_burst).hasMatch();
            const QString code = burst ? m_burst : box->text().trimmed();
            if (burst && box == bsSkinEdit2)
                box->setText(m_before);
            m_burst.clear();
            bool taken = false;
            // A label refused (its check digit, a code no product has) has said why.
            if (!guarded([&] { taken = takeScan(code); })) {
                if (box == bsSkinEdit1)
                    box->selectAll();
                return true;
            }
            // A scanned code that no product has is not added: Enter would otherwise add whatever
            // product happens to be selected. The code is left selected in the search box, so
            // the next scan replaces it.
            if (!taken && (burst || (box == bsSkinEdit1 && scanned.match(code).hasMatch()))) {
                Messages::information(QStringLiteral("没有条码为 %1 的产品").arg(code));
                if (box == bsSkinEdit1)
                    box->selectAll();
                return true;
            }
            return taken;
        }
        const QString typed = press->text();
        if (typed.size() == 1 && typed.front().isDigit()) {
            if (!quick || m_burst.isEmpty()) {
                m_burst.clear();
                m_burstBox = box;
                m_before = box->text();
            }
            m_burst += typed;
        } else {
            m_burst.clear();
        }
    }
    return QDialog::eventFilter(watched, event);
}

void OrderForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Another order window may have changed the till's setting meanwhile.
    const QSignalBlocker quiet(joinScans);
    joinScans->setChecked(Orders::scansJoinLines(Data_in->folder()));
}

Orders::Join OrderForm::joinOfAdd() const {
    return m_scanning && joinScans->isChecked() ? Orders::Join::SameLine : Orders::Join::NewLine;
}

bool OrderForm::takeScan(const QString& code) {
    const qint64 product = Products::findByCode(code);
    if (product == 0) {
        // No product's barcode: a scale's label, by the shop's layouts.
        const std::optional<Orders::LineAdded> added = Weighed::addLabel(orderOfLabel(), code);
        if (!added)
            return false;
        labelAdded(*added);
        bsSkinEdit1->setFocus();
        bsSkinEdit1->selectAll();
        return true;
    }
    // The search box shows the code, so the list holds the product; it becomes the selection.
    if (bsSkinEdit1->text() != code)
        bsSkinEdit1->setText(code);
    else
        searchProducts(code);
    SharedQuery* products = Data_in->Query_ab;
    for (int row = 0; row < products->recordCount(); ++row)
        if (products->value(row, QStringLiteral("bid")).toLongLong() == product) {
            products->setCurrentRow(row);
            break;
        }
    bsSkinEdit2->setText(QStringLiteral("1"));
    m_scanning = true;
    const auto done = qScopeGuard([this] { m_scanning = false; });
    addScanned();
    // The next scan replaces the code.
    bsSkinEdit1->setFocus();
    bsSkinEdit1->selectAll();
    return true;
}

// A window's own list of order lines, on the file the shared lists read.
SharedQuery* OrderForm::linesQuery(const QString& name) {
    return new SharedQuery(name, Data_in->Query_ak->connection(), QStringLiteral("ak"),
                           QStringLiteral("kid"));
}

bool OrderForm::readAdd(qint64& product, Currency& quantity) {
    SharedQuery* products = Data_in->Query_ab;
    if (products->recordCount() == 0 || products->currentRow() < 0) {
        Messages::information(QStringLiteral("库房是空的"));
        return false;
    }
    const QString quantityText = bsSkinEdit2->text();
    if (quantityText.isEmpty()) {
        Messages::information(QStringLiteral("请填写数量"));
        return false;
    }
    product = products->value(products->currentRow(), QStringLiteral("bid")).toLongLong();
    quantity = Currency::parse(quantityText);
    // Goods sold by weight to the gram; anything finer would be weighed by no scale.
    if (Weighed::soldByWeight(selectedUnit()) && quantity.scaled() % 10 != 0) {
        Messages::information(QStringLiteral("按重量销售的产品，数量最多三位小数"));
        return false;
    }
    return true;
}

QString OrderForm::selectedUnit() const {
    SharedQuery* products = Data_in->Query_ab;
    if (!products->isOpen() || products->recordCount() == 0 || products->currentRow() < 0)
        return {};
    return products->value(products->currentRow(), QStringLiteral("b5")).toString();
}

void OrderForm::removeLine(int row) {
    showDue(Orders::removeLine(m_lines->value(row, QStringLiteral("kid")).toLongLong()));
}

void OrderForm::showLines(qint64 order) {
    m_lines->lookup(QStringLiteral("k8"), QString::number(order));
}

void OrderForm::showDue(Currency due) {
    m_due = due;
    bsSkinStdLabel19->setText(due.toString());
}

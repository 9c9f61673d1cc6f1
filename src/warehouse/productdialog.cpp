#include "warehouse/productdialog.h"

#include "ledger/costs.h"

#include "data/data_in.h"
#include "ledger/products.h"
#include "widgets/databound.h"
#include "widgets/keyfilter.h"
#include "widgets/list.h"
#include "widgets/messages.h"

#include <QApplication>
#include <QDoubleSpinBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTextEdit>
#include <QToolButton>

namespace {

const int RemarkLimit = 80;

// The small button beside a pick list: a list with a pen, drawn for the screen's pixel density.
QIcon listIcon() {
    const qreal ratio = qApp->devicePixelRatio();
    QPixmap pm(QSize(16, 16) * ratio);
    pm.setDevicePixelRatio(ratio);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x2c, 0x5f, 0x9e), 1.5));
    for (int y : {4, 8, 12})
        p.drawLine(QPointF(2, y), QPointF(9, y));
    p.setPen(QPen(QColor(0xd9, 0x8b, 0x1c), 2.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(11, 13), QPointF(15, 4));
    return QIcon(pm);
}

// Keeps a text box to a number of characters, as an edit box's length limit does.
void limitLength(QTextEdit* edit, int limit) {
    QObject::connect(edit, &QTextEdit::textChanged, edit, [edit, limit] {
        const QString text = edit->toPlainText();
        if (text.size() <= limit)
            return;
        QTextCursor cursor = edit->textCursor();
        const int position = std::min(cursor.position(), limit);
        edit->setPlainText(text.left(limit));
        cursor = edit->textCursor();
        cursor.setPosition(position);
        edit->setTextCursor(cursor);
    });
}

// Enter in a box moves on to the next one, as a scanner ends each code with Enter; the dialog's
// buttons never see it.
class EnterMovesOn : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                if (auto* w = qobject_cast<QWidget*>(watched)) {
                    // The next box Tab would go to.
                    QWidget* next = w->nextInFocusChain();
                    while (next != w && !((next->focusPolicy() & Qt::TabFocus) && next->isEnabled() &&
                                          next->isVisibleTo(w->window())))
                        next = next->nextInFocusChain();
                    next->setFocus(Qt::TabFocusReason);
                }
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

// A barcode: bars of two widths.
QIcon barcodeIcon() {
    const qreal ratio = qApp->devicePixelRatio();
    QPixmap pm(QSize(16, 16) * ratio);
    pm.setDevicePixelRatio(ratio);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x2c, 0x5f, 0x9e));
    int x = 1;
    for (int w : {1, 2, 1, 1, 2, 1, 2, 1})
        p.drawRect(x, 2, w, 12), x += w + 1;
    return QIcon(pm);
}

Currency price(const QDoubleSpinBox* box) {
    return Currency::parse(box->text());
}

void setPrice(QDoubleSpinBox* box, Currency amount) {
    box->setValue(amount.toDouble());
}

} // namespace

ProductDialog::ProductDialog(const QString& name, const QString& caption, bool editing, QWidget* parent)
    : QDialog(parent) {
    setupUi(this);
    setObjectName(name);
    setWindowTitle(caption);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);

    // The stock: a box to type it in when the product is new, a read-only label when it is
    // edited (stock changes only by stock-in and orders).
    if (editing) {
        grid->replaceWidget(bsSkinEdit2, bsSkinStdLabel15);
        delete bsSkinEdit2;
        bsSkinEdit2 = nullptr;
    } else {
        delete bsSkinStdLabel15;
        delete bsSkinStdLabel16;
        bsSkinStdLabel15 = nullptr;
        bsSkinStdLabel16 = nullptr;
        KeyFilter::digitsOnly(bsSkinEdit2);
    }

    for (QToolButton* b : {bsSkinSpeedButton1, bsSkinSpeedButton2, bsSkinSpeedButton3})
        b->setIcon(listIcon());
    bsSkinSpeedButton4->setIcon(barcodeIcon());
    bsSkinSpeedButton4->setAccessibleName(QStringLiteral("生成店内条码"));
    bsSkinEdit7->installEventFilter(new EnterMovesOn(bsSkinEdit7));
    KeyFilter::decimal(bsSkinEdit8);
    KeyFilter::digitsOnly(scaleCodeEdit);
    // Ten characters at most: 9999999.99.
    for (QDoubleSpinBox* box : {bsSkinEdit4, bsSkinEdit5, bsSkinEdit6})
        if (auto* edit = box->findChild<QLineEdit*>())
            edit->setMaxLength(10);
    limitLength(bsSkinRichEdit1, RemarkLimit);

    connectGuarded(bsSkinSpeedButton1, &QToolButton::clicked, this, &ProductDialog::bsSkinSpeedButton1Click);
    connectGuarded(bsSkinSpeedButton2, &QToolButton::clicked, this, &ProductDialog::bsSkinSpeedButton2Click);
    connectGuarded(bsSkinSpeedButton3, &QToolButton::clicked, this, &ProductDialog::bsSkinSpeedButton3Click);
    connectGuarded(bsSkinSpeedButton4, &QToolButton::clicked, this, &ProductDialog::bsSkinSpeedButton4Click);
    connectGuarded(bsSkinButton1, &QPushButton::clicked, this, [this] { save(); });
    connectGuarded(bsSkinButton2, &QPushButton::clicked, this, &ProductDialog::bsSkinButton2Click);

    bindData();
    setFixedSize(sizeHint().expandedTo(QSize(480, 0)));
}

void ProductDialog::showEvent(QShowEvent* event) {
    const bool costs = Costs::shown();
    bsSkinStdLabel7->setVisible(costs);
    bsSkinEdit4->setVisible(costs);
    if (!costs)
        bsSkinEdit4->setValue(0.0);
    QDialog::showEvent(event);
}

void ProductDialog::bindData() {
    if (!Data_in)
        return;
    bsSkinDBLookupComboBox2->bind(Data_in->Query_a1);
    bsSkinDBLookupComboBox1->bind(Data_in->Query_a2);
    bsSkinDBLookupComboBox4->bind(Data_in->Query_a3);
}

Products::Fields ProductDialog::fields() const {
    const QString level = bsSkinEdit8->text().trimmed();
    return {bsSkinDBLookupComboBox2->currentText(),
            bsSkinDBLookupComboBox1->currentText(),
            bsSkinEdit1->text(),
            bsSkinDBLookupComboBox4->currentText(),
            price(bsSkinEdit4),
            price(bsSkinEdit5),
            price(bsSkinEdit6),
            bsSkinRichEdit1->toPlainText(),
            bsSkinEdit3->text(),
            bsSkinEdit7->text().trimmed(),
            level.isEmpty() ? std::nullopt : std::optional<Currency>(Currency::parse(level)),
            scaleCodeEdit->text().trimmed()};
}

void ProductDialog::showFields(const Products::Fields& f) {
    bsSkinDBLookupComboBox2->selectStored(f.major);
    bsSkinDBLookupComboBox1->selectStored(f.minor);
    bsSkinEdit1->setText(f.name);
    bsSkinDBLookupComboBox4->selectStored(f.unit);
    setPrice(bsSkinEdit4, f.cost);
    setPrice(bsSkinEdit5, f.wholesale);
    setPrice(bsSkinEdit6, f.sale);
    bsSkinRichEdit1->setPlainText(f.remark);
    bsSkinEdit3->setText(f.manufacturer);
    bsSkinEdit7->setText(f.barcode);
    bsSkinEdit8->setText(f.warnLevel ? f.warnLevel->toString() : QString());
    scaleCodeEdit->setText(f.scaleCode);
}

void ProductDialog::bsSkinSpeedButton1Click() {
    ::list->showPanel(QStringLiteral("caidan_dalei"));
    ::list->exec();
}

void ProductDialog::bsSkinSpeedButton2Click() {
    ::list->showPanel(QStringLiteral("caidan_xilei"));
    ::list->exec();
}

void ProductDialog::bsSkinSpeedButton3Click() {
    ::list->showPanel(QStringLiteral("caidan_danwei"));
    ::list->exec();
}

void ProductDialog::bsSkinSpeedButton4Click() {
    bsSkinEdit7->setText(Products::newStoreCode());
}

void ProductDialog::bsSkinButton2Click() {
    reject();
}

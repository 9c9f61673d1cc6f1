#include "warehouse/productdialog.h"

#include "data/data_in.h"
#include "widgets/buttonrow.h"
#include "widgets/databound.h"
#include "widgets/keyfilter.h"
#include "widgets/list.h"
#include "widgets/messages.h"

#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const int RemarkLimit = 80;

QLabel* label(QWidget* parent, const QString& name, const QString& text) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return l;
}

QLabel* star(QWidget* parent, const QString& name) {
    auto* l = new QLabel(QStringLiteral("*"), parent);
    l->setObjectName(name);
    l->setProperty("role", QStringLiteral("required"));
    l->setFixedWidth(8);
    return l;
}

// The small button beside a pick list: a list with a pen.
QIcon listIcon() {
    QPixmap pm(16, 16);
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

QToolButton* pickButton(QWidget* parent, const QString& name) {
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    b->setIcon(listIcon());
    b->setFocusPolicy(Qt::NoFocus);
    b->setToolTip(QStringLiteral("编辑列表"));
    b->setFixedSize(24, 24);
    return b;
}

QDoubleSpinBox* priceBox(QWidget* parent, const QString& name) {
    auto* box = new QDoubleSpinBox(parent);
    box->setObjectName(name);
    box->setLocale(QLocale::c());
    box->setDecimals(2);
    box->setSingleStep(1.0);
    // Ten characters at most: 9999999.99.
    box->setRange(0, 9999999.99);
    box->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    if (auto* edit = box->findChild<QLineEdit*>())
        edit->setMaxLength(10);
    return box;
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

} // namespace

ProductDialog::ProductDialog(const QString& name, const QString& caption, bool editing, QWidget* parent)
    : QDialog(parent) {
    setObjectName(name);
    setWindowTitle(caption);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(14, 14, 14, 10);
    outer->setSpacing(10);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(8);
    outer->addLayout(grid);
    // Columns: star, label, field, button | gap | star, label, field, button.
    grid->setColumnMinimumWidth(4, 16);
    grid->setColumnStretch(2, 1);
    grid->setColumnStretch(7, 1);

    bsSkinDBLookupComboBox2 = new PickList(QStringLiteral("bsSkinDBLookupComboBox2"), this);
    bsSkinDBLookupComboBox1 = new PickList(QStringLiteral("bsSkinDBLookupComboBox1"), this);
    bsSkinDBLookupComboBox4 = new PickList(QStringLiteral("bsSkinDBLookupComboBox4"), this);
    bsSkinSpeedButton1 = pickButton(this, QStringLiteral("bsSkinSpeedButton1"));
    bsSkinSpeedButton2 = pickButton(this, QStringLiteral("bsSkinSpeedButton2"));
    bsSkinSpeedButton3 = pickButton(this, QStringLiteral("bsSkinSpeedButton3"));
    bsSkinEdit1 = new QLineEdit(this);
    bsSkinEdit1->setObjectName(QStringLiteral("bsSkinEdit1"));
    bsSkinEdit1->setMaxLength(60);
    bsSkinEdit3 = new QLineEdit(this);
    bsSkinEdit3->setObjectName(QStringLiteral("bsSkinEdit3"));
    bsSkinEdit3->setMaxLength(40);
    bsSkinEdit4 = priceBox(this, QStringLiteral("bsSkinEdit4"));
    bsSkinEdit5 = priceBox(this, QStringLiteral("bsSkinEdit5"));
    bsSkinEdit6 = priceBox(this, QStringLiteral("bsSkinEdit6"));

    QWidget* stock = nullptr;
    if (editing) {
        bsSkinStdLabel15 = new QLabel(this);
        bsSkinStdLabel15->setObjectName(QStringLiteral("bsSkinStdLabel15"));
        bsSkinStdLabel15->setFrameShape(QFrame::StyledPanel);
        bsSkinStdLabel15->setMinimumHeight(24);
        bsSkinStdLabel16 = new QLabel(this);
        bsSkinStdLabel16->setObjectName(QStringLiteral("bsSkinStdLabel16"));
        bsSkinStdLabel16->hide();
        stock = bsSkinStdLabel15;
    } else {
        bsSkinEdit2 = new QLineEdit(this);
        bsSkinEdit2->setObjectName(QStringLiteral("bsSkinEdit2"));
        bsSkinEdit2->setMaxLength(9);
        KeyFilter::digitsOnly(bsSkinEdit2);
        stock = bsSkinEdit2;
    }

    grid->addWidget(star(this, QStringLiteral("bsSkinStdLabel10")), 0, 0);
    grid->addWidget(label(this, QStringLiteral("bsSkinStdLabel1"), QStringLiteral("大    类:")), 0, 1);
    grid->addWidget(bsSkinDBLookupComboBox2, 0, 2);
    grid->addWidget(bsSkinSpeedButton1, 0, 3);
    grid->addWidget(label(this, QStringLiteral("bsSkinStdLabel2"), QStringLiteral("细    类:")), 0, 6);
    grid->addWidget(bsSkinDBLookupComboBox1, 0, 7);
    grid->addWidget(bsSkinSpeedButton2, 0, 8);

    grid->addWidget(star(this, QStringLiteral("bsSkinStdLabel11")), 1, 0);
    grid->addWidget(label(this, QStringLiteral("bsSkinStdLabel3"), QStringLiteral("产品名称:")), 1, 1);
    grid->addWidget(bsSkinEdit1, 1, 2, 1, 6);

    grid->addWidget(star(this, QStringLiteral("bsSkinStdLabel12")), 2, 0);
    grid->addWidget(label(this, QStringLiteral("bsSkinStdLabel4"), QStringLiteral("库 存 量:")), 2, 1);
    grid->addWidget(stock, 2, 2);
    grid->addWidget(star(this, QStringLiteral("bsSkinStdLabel13")), 2, 5);
    grid->addWidget(label(this, QStringLiteral("bsSkinStdLabel5"), QStringLiteral("单    位:")), 2, 6);
    grid->addWidget(bsSkinDBLookupComboBox4, 2, 7);
    grid->addWidget(bsSkinSpeedButton3, 2, 8);

    grid->addWidget(label(this, QStringLiteral("bsSkinStdLabel6"), QStringLiteral("生产厂家:")), 3, 1);
    grid->addWidget(bsSkinEdit3, 3, 2, 1, 6);

    grid->addWidget(label(this, QStringLiteral("bsSkinStdLabel7"), QStringLiteral("成本价:")), 4, 1);
    grid->addWidget(bsSkinEdit4, 4, 2);
    grid->addWidget(label(this, QStringLiteral("bsSkinStdLabel8"), QStringLiteral("批发价:")), 4, 6);
    grid->addWidget(bsSkinEdit5, 4, 7);

    grid->addWidget(star(this, QStringLiteral("bsSkinStdLabel14")), 5, 0);
    grid->addWidget(label(this, QStringLiteral("bsSkinStdLabel9"), QStringLiteral("销售价:")), 5, 1);
    grid->addWidget(bsSkinEdit6, 5, 2);

    bsSkinGroupBox1 = new QGroupBox(QStringLiteral("备注/描述"), this);
    bsSkinGroupBox1->setObjectName(QStringLiteral("bsSkinGroupBox1"));
    auto* remarkLayout = new QVBoxLayout(bsSkinGroupBox1);
    remarkLayout->setContentsMargins(8, 14, 8, 8);
    bsSkinRichEdit1 = new QTextEdit(bsSkinGroupBox1);
    bsSkinRichEdit1->setObjectName(QStringLiteral("bsSkinRichEdit1"));
    bsSkinRichEdit1->setAcceptRichText(false);
    bsSkinRichEdit1->setTabChangesFocus(true);
    bsSkinRichEdit1->setFixedHeight(64);
    limitLength(bsSkinRichEdit1, RemarkLimit);
    remarkLayout->addWidget(bsSkinRichEdit1);
    outer->addWidget(bsSkinGroupBox1);

    outer->addLayout(
        centredFormRow(this, bsSkinButton1, QStringLiteral("保 存"), bsSkinButton2, QStringLiteral("取 消")));

    // The tab order of the form.
    QList<QWidget*> order = {bsSkinDBLookupComboBox2, bsSkinDBLookupComboBox1, bsSkinEdit1};
    if (bsSkinEdit2)
        order << bsSkinEdit2;
    order << bsSkinDBLookupComboBox4 << bsSkinEdit3 << bsSkinEdit4 << bsSkinEdit5 << bsSkinEdit6
          << bsSkinRichEdit1 << bsSkinButton1 << bsSkinButton2;
    for (int i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order[i], order[i + 1]);

    connect(bsSkinSpeedButton1, &QToolButton::clicked, this,
            [this] { guarded([this] { bsSkinSpeedButton1Click(); }); });
    connect(bsSkinSpeedButton2, &QToolButton::clicked, this,
            [this] { guarded([this] { bsSkinSpeedButton2Click(); }); });
    connect(bsSkinSpeedButton3, &QToolButton::clicked, this,
            [this] { guarded([this] { bsSkinSpeedButton3Click(); }); });
    connect(bsSkinButton1, &QPushButton::clicked, this, [this] { guarded([this] { save(); }); });
    connect(bsSkinButton2, &QPushButton::clicked, this,
            [this] { guarded([this] { bsSkinButton2Click(); }); });

    bindData();
    setFixedSize(sizeHint().expandedTo(QSize(480, 0)));
}

void ProductDialog::bindData() {
    if (!Data_in)
        return;
    bsSkinDBLookupComboBox2->bind(Data_in->Query_a1);
    bsSkinDBLookupComboBox1->bind(Data_in->Query_a2);
    bsSkinDBLookupComboBox4->bind(Data_in->Query_a3);
}

void ProductDialog::setPrice(QDoubleSpinBox* box, const QString& text) {
    bool ok = false;
    const double value = QLocale::c().toDouble(text.trimmed(), &ok);
    box->setValue(ok ? value : 0.0);
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

void ProductDialog::bsSkinButton2Click() {
    reject();
}

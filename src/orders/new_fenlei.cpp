#include "orders/new_fenlei.h"

#include "ledger/orders.h"

#include "data/data_in.h"
#include "widgets/databound.h"
#include "widgets/list.h"
#include "widgets/messages.h"
#include "widgets/pictures.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

Tnew_fenlei* new_fenlei = nullptr;

Tnew_fenlei::Tnew_fenlei(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("new_fenlei"));
    setWindowTitle(QStringLiteral("订单分类"));
    setModal(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("订单分类:"), this));
    bsSkinDBLookupComboBox2 = new PickList(QStringLiteral("bsSkinDBLookupComboBox2"), this);
    bsSkinDBLookupComboBox2->setMinimumWidth(160);
    row->addWidget(bsSkinDBLookupComboBox2, 1);
    bsSkinSpeedButton1 = new QToolButton(this);
    bsSkinSpeedButton1->setObjectName(QStringLiteral("bsSkinSpeedButton1"));
    bsSkinSpeedButton1->setIcon(Pictures::icon(13));
    bsSkinSpeedButton1->setToolTip(QStringLiteral("编辑订单分类"));
    bsSkinSpeedButton1->setAccessibleName(QStringLiteral("编辑订单分类"));
    bsSkinSpeedButton1->setAutoRaise(true);
    row->addWidget(bsSkinSpeedButton1);
    layout->addLayout(row);

    bsSkinStdLabel1 = new QLabel(this);
    bsSkinStdLabel1->setObjectName(QStringLiteral("bsSkinStdLabel1"));
    bsSkinStdLabel1->hide();

    auto* foot = new QHBoxLayout;
    foot->addStretch(1);
    bsSkinButton1 = new QPushButton(QStringLiteral("保 存"), this);
    bsSkinButton1->setObjectName(QStringLiteral("bsSkinButton1"));
    bsSkinButton1->setDefault(true);
    bsSkinButton1->setMinimumWidth(80);
    foot->addWidget(bsSkinButton1);
    layout->addSpacing(8);
    layout->addLayout(foot);

    bsSkinDBLookupComboBox2->bind(Data_in->Query_a4, QStringLiteral("z1"));
    connect(bsSkinDBLookupComboBox2, &QComboBox::currentTextChanged, this, [this](const QString& text) {
        if (!m_holding && bsSkinDBLookupComboBox2->currentIndex() >= 0)
            m_choice = text;
    });
    // Re-reading the category list (the pick-list editor does) must not lose the choice.
    auto hold = [this] {
        m_holding = true;
    };
    connect(Data_in->Query_a4, &QAbstractItemModel::modelAboutToBeReset, this, hold);
    connect(Data_in->Query_a4, &QAbstractItemModel::rowsAboutToBeRemoved, this, hold);
    connect(Data_in->Query_a4, &SharedQuery::reopened, this, [this] {
        m_holding = false;
        keepChoice();
    });
    connect(Data_in->Query_a4, &QAbstractItemModel::rowsRemoved, this, [this] {
        m_holding = false;
        keepChoice();
    });

    connectGuarded(bsSkinSpeedButton1, &QToolButton::clicked, this, &Tnew_fenlei::bsSkinSpeedButton1Click);
    connectGuarded(bsSkinButton1, &QPushButton::clicked, this, &Tnew_fenlei::bsSkinButton1Click);

    resize(340, 110);
    setFixedSize(size());
}

void Tnew_fenlei::keepChoice() {
    if (!m_choice.isEmpty())
        bsSkinDBLookupComboBox2->selectText(m_choice);
}

void Tnew_fenlei::prepare(qint64 order) {
    m_order = order;
    const QString number = QString::number(order);
    bsSkinStdLabel1->setText(number);
    setWindowTitle(QStringLiteral("修改") + number + QStringLiteral("号订单的分类"));
    keepChoice();
}

void Tnew_fenlei::bsSkinSpeedButton1Click() {
    list->showPanel(QStringLiteral("caidan_dingdanlei"));
    list->exec();
    keepChoice();
}

void Tnew_fenlei::bsSkinButton1Click() {
    Orders::setCategory(m_order, bsSkinDBLookupComboBox2->currentText());
    accept();
}

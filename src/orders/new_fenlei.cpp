#include "orders/new_fenlei.h"

#include "ledger/orders.h"

#include "data/data_in.h"
#include "widgets/databound.h"
#include "widgets/list.h"
#include "widgets/messages.h"
#include "widgets/pictures.h"

Tnew_fenlei* new_fenlei = nullptr;

Tnew_fenlei::Tnew_fenlei(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    setupUi(this);
    bsSkinSpeedButton1->setIcon(Pictures::icon(13));

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

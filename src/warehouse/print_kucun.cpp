#include "warehouse/print_kucun.h"

#include "data/data_in.h"
#include "reports/reports.h"
#include "widgets/messages.h"

Tprint_kucun* print_kucun = nullptr;

Tprint_kucun::Tprint_kucun(QWidget* parent) : QDialog(parent) {
    setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    connectGuarded(bsSkinButton1, &QPushButton::clicked, this, &Tprint_kucun::bsSkinButton1Click);
    connectGuarded(bsSkinButton2, &QPushButton::clicked, this, &Tprint_kucun::bsSkinButton2Click);
}

void Tprint_kucun::bsSkinButton1Click() {
    struct Choice {
        QRadioButton* button;
        SharedQuery* query;
        QString definition;
        QString emptyMessage;
    };
    const Choice choices[] = {
        {bsSkinCheckRadioBox1, Data_in->Query_ab, QStringLiteral("ab.rav"),
         QStringLiteral("没有库存记录,请先新建")},
        {bsSkinCheckRadioBox2, Data_in->Query_ac, QStringLiteral("ac.rav"), QStringLiteral("没有入库记录")},
        {bsSkinCheckRadioBox3, Data_in->Query_ae, QStringLiteral("ae.rav"), QStringLiteral("没有出库记录")},
    };
    for (const Choice& c : choices) {
        if (!c.button->isChecked())
            continue;
        if (c.query->recordCount() == 0) {
            Messages::information(c.emptyMessage);
            return;
        }
        Reports::preview(c.definition);
        return;
    }
}

void Tprint_kucun::bsSkinButton2Click() {
    reject();
}

#include "warehouse/print_kucun.h"

#include "data/data_in.h"
#include "reports/reports.h"
#include "widgets/messages.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

Tprint_kucun* print_kucun = nullptr;

Tprint_kucun::Tprint_kucun(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("print_kucun"));
    setWindowTitle(QStringLiteral("打印报表"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);

    auto* group = new QGroupBox(QStringLiteral("请选择您需要输出的"), this);
    group->setObjectName(QStringLiteral("bsSkinGroupBox1"));
    auto radio = [group](const QString& name, const QString& text) {
        auto* button = new QRadioButton(text, group);
        button->setObjectName(name);
        return button;
    };
    bsSkinCheckRadioBox1 = radio(QStringLiteral("bsSkinCheckRadioBox1"), QStringLiteral("库存清单"));
    bsSkinCheckRadioBox2 = radio(QStringLiteral("bsSkinCheckRadioBox2"), QStringLiteral("入库记录"));
    bsSkinCheckRadioBox3 = radio(QStringLiteral("bsSkinCheckRadioBox3"), QStringLiteral("出库记录"));
    bsSkinCheckRadioBox1->setChecked(true);
    auto* choices = new QButtonGroup(this);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->setContentsMargins(18, 12, 18, 12);
    groupLayout->setSpacing(10);
    for (QRadioButton* b : {bsSkinCheckRadioBox1, bsSkinCheckRadioBox2, bsSkinCheckRadioBox3}) {
        choices->addButton(b);
        groupLayout->addWidget(b);
    }

    auto* run = new QPushButton(QStringLiteral("确  定"), this);
    run->setObjectName(QStringLiteral("bsSkinButton1"));
    run->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("取 消"), this);
    cancel->setObjectName(QStringLiteral("bsSkinButton2"));
    connectGuarded(run, &QPushButton::clicked, this, &Tprint_kucun::bsSkinButton1Click);
    connectGuarded(cancel, &QPushButton::clicked, this, &Tprint_kucun::bsSkinButton2Click);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(run);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 14, 14, 12);
    layout->addWidget(group);
    layout->addLayout(buttons);
    setFixedSize(300, 200);
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

#include "orders/xiaopiao.h"

#include "data/data_in.h"
#include "reports/receiptprint.h"
#include "widgets/messages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QVBoxLayout>

Txiaopiao* xiaopiao = nullptr;

Txiaopiao::Txiaopiao(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("xiaopiao"));
    setWindowTitle(QStringLiteral("小票设置"));
    auto named = [](QWidget* w, const char* name) {
        w->setObjectName(QLatin1String(name));
        return w;
    };
    bsSkinRadioButton1 = new QRadioButton(QStringLiteral("系统打印机 (CUPS)"), this);
    bsSkinRadioButton2 = new QRadioButton(QStringLiteral("设备文件 (ESC/POS)"), this);
    named(bsSkinRadioButton1, "bsSkinRadioButton1");
    named(bsSkinRadioButton2, "bsSkinRadioButton2");
    bsSkinComboBox1 = new QComboBox(this);
    named(bsSkinComboBox1, "bsSkinComboBox1");
    bsSkinComboBox1->addItem(QStringLiteral("58 mm"), 58);
    bsSkinComboBox1->addItem(QStringLiteral("80 mm"), 80);
    // The printers installed on this computer to choose from; a name can still be typed (a
    // printer set up later, or one that is off now).
    printerChoice = new QComboBox(this);
    named(printerChoice, "printerChoice");
    printerChoice->setEditable(true);
    printerChoice->setInsertPolicy(QComboBox::NoInsert);
    bsSkinEdit1 = printerChoice->lineEdit();
    bsSkinEdit1->setPlaceholderText(QStringLiteral("空着用默认打印机"));
    bsSkinEdit2 = new QLineEdit(this);
    bsSkinEdit3 = new QLineEdit(this);
    bsSkinEdit4 = new QLineEdit(this);
    named(bsSkinEdit1, "bsSkinEdit1");
    named(bsSkinEdit2, "bsSkinEdit2");
    named(bsSkinEdit3, "bsSkinEdit3");
    named(bsSkinEdit4, "bsSkinEdit4");
    bsSkinEdit3->setMaxLength(30);
    bsSkinEdit4->setMaxLength(60);
    bsSkinCheckRadioBox1 = new QCheckBox(QStringLiteral("自动打印小票"), this);
    named(bsSkinCheckRadioBox1, "bsSkinCheckRadioBox1");
    bsSkinCheckRadioBox1->setToolTip(QStringLiteral("每次现金或会员卡结算后打印小票"));

    auto* form = new QFormLayout;
    auto* ways = new QHBoxLayout;
    ways->addWidget(bsSkinRadioButton1);
    ways->addWidget(bsSkinRadioButton2);
    form->addRow(QStringLiteral("打印方式:"), ways);
    form->addRow(QStringLiteral("纸    宽:"), bsSkinComboBox1);
    form->addRow(QStringLiteral("打 印 机:"), printerChoice);
    form->addRow(QStringLiteral("设备文件:"), bsSkinEdit2);
    form->addRow(QStringLiteral("店    名:"), bsSkinEdit3);
    form->addRow(QStringLiteral("页脚文字:"), bsSkinEdit4);
    form->addRow(QString(), bsSkinCheckRadioBox1);

    bsSkinButton3 = new QPushButton(QStringLiteral("预 览"), this);
    bsSkinButton1 = new QPushButton(QStringLiteral("保 存"), this);
    bsSkinButton2 = new QPushButton(QStringLiteral("取 消"), this);
    named(bsSkinButton3, "bsSkinButton3");
    named(bsSkinButton1, "bsSkinButton1");
    named(bsSkinButton2, "bsSkinButton2");
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(bsSkinButton3);
    buttons->addStretch(1);
    buttons->addWidget(bsSkinButton1);
    buttons->addWidget(bsSkinButton2);
    for (QPushButton* b : {bsSkinButton1, bsSkinButton2, bsSkinButton3})
        b->setAutoDefault(false);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(form);
    outer->addLayout(buttons);

    // The printer's name for the system printer, the device file for the raw one.
    auto follow = [this] {
        printerChoice->setEnabled(bsSkinRadioButton1->isChecked());
        bsSkinEdit2->setEnabled(bsSkinRadioButton2->isChecked());
    };
    connect(bsSkinRadioButton1, &QRadioButton::toggled, this, follow);
    connectGuarded(bsSkinButton1, &QPushButton::clicked, this, &Txiaopiao::bsSkinButton1Click);
    connectGuarded(bsSkinButton3, &QPushButton::clicked, this, &Txiaopiao::bsSkinButton3Click);
    connect(bsSkinButton2, &QPushButton::clicked, this, &QDialog::reject);
    setMinimumWidth(420);
}

void Txiaopiao::prepare(qint64 order) {
    m_order = order;
}

void Txiaopiao::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        guarded([this] { FormShow(); });
}

void Txiaopiao::FormShow() {
    const Receipts::Setup s = Receipts::loadSetup(Data_in->folder());
    (s.way == Receipts::Setup::Way::Device ? bsSkinRadioButton2 : bsSkinRadioButton1)->setChecked(true);
    printerChoice->setEnabled(s.way == Receipts::Setup::Way::Printer);
    printerChoice->clear();
    printerChoice->addItem(QString()); // the default printer
    printerChoice->addItems(QPrinterInfo::availablePrinterNames());
    bsSkinEdit2->setEnabled(s.way == Receipts::Setup::Way::Device);
    bsSkinComboBox1->setCurrentIndex(s.width == 80 ? 1 : 0);
    bsSkinEdit1->setText(s.printer);
    bsSkinEdit2->setText(s.device);
    bsSkinEdit3->setText(s.shop);
    bsSkinEdit4->setText(s.footer);
    bsSkinCheckRadioBox1->setChecked(s.autoPrint);
}

Receipts::Setup Txiaopiao::setup() const {
    Receipts::Setup s;
    s.way = bsSkinRadioButton2->isChecked() ? Receipts::Setup::Way::Device : Receipts::Setup::Way::Printer;
    s.width = bsSkinComboBox1->currentData().toInt();
    s.printer = bsSkinEdit1->text().trimmed();
    s.device = bsSkinEdit2->text().trimmed();
    s.shop = bsSkinEdit3->text().trimmed();
    s.footer = bsSkinEdit4->text().trimmed();
    s.autoPrint = bsSkinCheckRadioBox1->isChecked();
    return s;
}

void Txiaopiao::bsSkinButton1Click() {
    const Receipts::Setup s = setup();
    if (s.way == Receipts::Setup::Way::Device && s.device.isEmpty()) {
        Messages::information(QStringLiteral("请填写小票打印机的设备文件，例如 /dev/usb/lp0"));
        return;
    }
    Receipts::saveSetup(Data_in->folder(), s);
    accept();
}

void Txiaopiao::bsSkinButton3Click() {
    if (m_order == 0) {
        Messages::information(QStringLiteral("请先在订单列表中选中一张已结算的订单"));
        return;
    }
    ReceiptPrint::preview(Receipts::forOrder(m_order), setup());
}

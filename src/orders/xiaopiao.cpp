#include "orders/xiaopiao.h"

#include "data/data_in.h"
#include "reports/receiptprint.h"
#include "widgets/messages.h"

#include <QPrinterInfo>
#include <QShowEvent>

Txiaopiao* xiaopiao = nullptr;

Txiaopiao::Txiaopiao(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setupUi(this);
    bsSkinComboBox1->setItemData(0, 58);
    bsSkinComboBox1->setItemData(1, 80);
    bsSkinEdit1 = printerChoice->lineEdit();
    bsSkinEdit1->setObjectName(QStringLiteral("bsSkinEdit1"));
    bsSkinEdit1->setPlaceholderText(QStringLiteral("空着用默认打印机"));

    // The printer's name for the system printer, the device file for the raw one.
    auto follow = [this] {
        printerChoice->setEnabled(bsSkinRadioButton1->isChecked());
        bsSkinEdit2->setEnabled(bsSkinRadioButton2->isChecked());
        drawerBox->setEnabled(bsSkinRadioButton2->isChecked());
    };
    connect(bsSkinRadioButton1, &QRadioButton::toggled, this, follow);
    connectGuarded(bsSkinButton1, &QPushButton::clicked, this, &Txiaopiao::bsSkinButton1Click);
    connectGuarded(bsSkinButton3, &QPushButton::clicked, this, &Txiaopiao::bsSkinButton3Click);
    connect(bsSkinButton2, &QPushButton::clicked, this, &QDialog::reject);
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
    drawerBox->setChecked(s.drawer);
    drawerBox->setEnabled(s.way == Receipts::Setup::Way::Device);
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
    s.drawer = drawerBox->isChecked();
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

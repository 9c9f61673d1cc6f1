#include "members/memberdialog.h"

#include "members/memberwidgets.h"
#include "widgets/keyfilter.h"
#include "widgets/messages.h"

MemberDialog::MemberDialog(const QString& name, const QString& caption, bool editing, QWidget* parent)
    : QDialog(parent) {
    setupUi(this);
    setObjectName(name);
    setWindowTitle(caption);

    if (editing) {
        delete amountBox;
        amountBox = nullptr;
        amountRow = nullptr;
        amountMark = nullptr;
        amountCaption = nullptr;
        bsSkinEdit7 = nullptr;
        yuanCaption = nullptr;
        amountEnd = nullptr;
    } else {
        delete bsSkinStdLabel7;
        bsSkinStdLabel7 = nullptr;
    }
    KeyFilter::digitsOnly(bsSkinEdit1);
    KeyFilter::digitsOnly(bsSkinEdit2);
    KeyFilter::digitsOnly(bsSkinEdit6);
    MemberForms::limitMemo(bsSkinRichEdit1, 60);

    connectGuarded(bsSkinButton1, &QPushButton::clicked, this, [this] { save(); });
    connectGuarded(bsSkinButton2, &QPushButton::clicked, this, &MemberDialog::bsSkinButton2Click);
    resize(380, sizeHint().height());
}

void MemberDialog::bsSkinButton2Click() {
    reject();
}

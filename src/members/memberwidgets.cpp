#include "members/memberwidgets.h"
#include "widgets/keyfilter.h"
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "core/money.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTextEdit>

DecimalSpinBox::DecimalSpinBox(const QString& name, QWidget* parent) : QAbstractSpinBox(parent) {
    setObjectName(name);
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
    setKeyboardTracking(true);
    lineEdit()->setMaxLength(MaxLength);
    setText(QStringLiteral("0.00"));
}

void DecimalSpinBox::setText(const QString& text) {
    lineEdit()->setText(text);
}

QValidator::State DecimalSpinBox::validate(QString& input, int&) const {
    static const QRegularExpression shape(QStringLiteral("^-?[0-9]*\\.?[0-9]*$"));
    if (input.size() > MaxLength || !shape.match(input).hasMatch())
        return QValidator::Invalid;
    return QValidator::Acceptable;
}

void DecimalSpinBox::fixup(QString&) const {}

QString DecimalSpinBox::amountText(const QString& number) {
    QString text = number;
    const qsizetype point = text.indexOf(QLatin1Char('.'));
    if (point < 0)
        return text + QStringLiteral(".00");
    while (text.size() - point - 1 < 2)
        text += QLatin1Char('0');
    return text;
}

void DecimalSpinBox::stepBy(int steps) {
    Currency value;
    try {
        value = Currency::parse(text());
    } catch (...) {
        // An empty or unfinished text counts as 0.
    }
    try {
        const QString stepped = amountText((value + Currency::fromInt(steps)).toString());
        if (stepped.size() <= MaxLength)
            setText(stepped);
    } catch (...) {
        // Out of range: the value stays.
    }
}

QAbstractSpinBox::StepEnabled DecimalSpinBox::stepEnabled() const {
    return StepUpEnabled | StepDownEnabled;
}

void DecimalSpinBox::keyPressEvent(QKeyEvent* event) {
    const QString typed = event->text();
    const bool printable =
        !typed.isEmpty() && typed.at(0).isPrint() && !(event->modifiers() & Qt::ControlModifier);
    const QString before = text();
    QAbstractSpinBox::keyPressEvent(event);
    if (printable && text() == before)
        QApplication::beep();
}

QLineEdit* MemberForms::edit(QWidget* parent, const QString& name, int maxLength) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setMaxLength(maxLength);
    return box;
}

void MemberForms::limitMemo(QTextEdit* memo, int maxLength) {
    memo->setAcceptRichText(false);
    memo->setTabChangesFocus(true);
    QObject::connect(memo, &QTextEdit::textChanged, memo, [memo, maxLength] {
        const QString text = memo->toPlainText();
        if (text.size() <= maxLength)
            return;
        memo->setPlainText(text.left(maxLength));
        QTextCursor cursor = memo->textCursor();
        cursor.movePosition(QTextCursor::End);
        memo->setTextCursor(cursor);
    });
}

QLabel* MemberForms::requiredMark(QWidget* parent) {
    auto* mark = new QLabel(QStringLiteral("*"), parent);
    mark->setProperty("role", QStringLiteral("required"));
    mark->setStyleSheet(QStringLiteral("color: red; font-weight: bold;"));
    return mark;
}

QLabel* MemberForms::caption(QWidget* parent, const QString& text) {
    return new QLabel(text, parent);
}

MemberForms::NameRow MemberForms::addNameRow(QWidget* dialog, QGridLayout* grid) {
    grid->addWidget(requiredMark(dialog), 0, 0);
    grid->addWidget(caption(dialog, QStringLiteral("会 员 名:")), 0, 1);
    const NameRow row{edit(dialog, QStringLiteral("bsSkinEdit4"), 15), new QComboBox(dialog)};
    row.salutation->setObjectName(QStringLiteral("bsSkinComboBox1"));
    row.salutation->addItems({QStringLiteral("先生"), QStringLiteral("女士")});
    auto* line = new QHBoxLayout;
    line->addWidget(row.name, 1);
    line->addWidget(row.salutation);
    grid->addLayout(line, 0, 2);
    return row;
}

MemberForms::Contact MemberForms::addContactRows(QWidget* dialog, QGridLayout* grid, int first) {
    const Contact c{
        edit(dialog, QStringLiteral("bsSkinEdit1"), 15), edit(dialog, QStringLiteral("bsSkinEdit2"), 15),
        edit(dialog, QStringLiteral("bsSkinEdit3"), 60), edit(dialog, QStringLiteral("bsSkinEdit5"), 80),
        edit(dialog, QStringLiteral("bsSkinEdit6"), 10)};
    KeyFilter::digitsOnly(c.mobile);
    KeyFilter::digitsOnly(c.phone);
    KeyFilter::digitsOnly(c.postcode);
    const QList<std::pair<QString, QLineEdit*>> rows = {{QStringLiteral("手    机:"), c.mobile},
                                                        {QStringLiteral("电    话:"), c.phone},
                                                        {QStringLiteral("电子邮件:"), c.email},
                                                        {QStringLiteral("通讯地址:"), c.address},
                                                        {QStringLiteral("邮    编:"), c.postcode}};
    for (int i = 0; i < rows.size(); ++i) {
        grid->addWidget(caption(dialog, rows[i].first), first + i, 1);
        grid->addWidget(rows[i].second, first + i, 2);
    }
    return c;
}

QTextEdit* MemberForms::addRemark(QWidget* dialog, QBoxLayout* layout) {
    auto* remarkBox = new QGroupBox(QStringLiteral("备注"), dialog);
    auto* remark = new QTextEdit(remarkBox);
    remark->setObjectName(QStringLiteral("bsSkinRichEdit1"));
    remark->setFixedHeight(56);
    limitMemo(remark, 60);
    (new QVBoxLayout(remarkBox))->addWidget(remark);
    layout->addWidget(remarkBox);
    return remark;
}

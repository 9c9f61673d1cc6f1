#include "members/memberwidgets.h"

#include "core/money.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTextEdit>

#include <memory>

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

namespace {
// The limit a box was made with, before a stored text raised it.
const char* const TypedLimit = "typedLimit";
// The limit a memo enforces now.
const char* const MemoLimit = "memoLimit";
} // namespace

void MemberForms::limitMemo(QTextEdit* memo, int maxLength) {
    memo->setAcceptRichText(false);
    memo->setTabChangesFocus(true);
    memo->setProperty(TypedLimit, maxLength);
    memo->setProperty(MemoLimit, maxLength);
    // What a change brought in is what gets cut when the memo runs over, never the text around it
    // (typing in the middle of a full memo must not push its last characters out).
    auto before = std::make_shared<QString>();
    QObject::connect(memo, &QTextEdit::textChanged, memo, [memo, before] {
        const qsizetype limit = memo->property(MemoLimit).toInt();
        const QString text = memo->toPlainText();
        qsizetype head = 0;
        while (head < before->size() && head < text.size() && before->at(head) == text.at(head))
            ++head;
        qsizetype tail = 0;
        while (tail < before->size() - head && tail < text.size() - head &&
               before->at(before->size() - 1 - tail) == text.at(text.size() - 1 - tail))
            ++tail;
        const qsizetype inserted = text.size() - head - tail;
        const qsizetype room = qMax<qsizetype>(0, limit - (text.size() - inserted));
        if (text.size() <= limit || inserted <= room) {
            *before = text;
            return;
        }
        QTextCursor cut(memo->document());
        cut.setPosition(int(head + room));
        cut.setPosition(int(head + inserted), QTextCursor::KeepAnchor);
        cut.removeSelectedText();
        memo->setTextCursor(cut);
    });
}

void MemberForms::showStored(QLineEdit* box, const QString& text) {
    if (!box->property(TypedLimit).isValid())
        box->setProperty(TypedLimit, box->maxLength());
    box->setMaxLength(qMax(box->property(TypedLimit).toInt(), int(text.size())));
    box->setText(text);
}

void MemberForms::showStored(QTextEdit* memo, const QString& text) {
    memo->setProperty(MemoLimit, qMax(memo->property(TypedLimit).toInt(), int(text.size())));
    memo->setPlainText(text);
}

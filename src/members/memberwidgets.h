#pragma once

#include <QAbstractSpinBox>
#include <QString>

class QLineEdit;
class QTextEdit;

// The amount box of the member dialogs: a spin box whose text is what counts. Only digits, one
// leading minus sign and one decimal point get in (a refused key beeps), at most 10 characters;
// the spin buttons step the value by 1 and show it with at least two decimals. The text may be
// empty or unfinished ("-", "."): the dialogs check it when they save.
class DecimalSpinBox : public QAbstractSpinBox {
    Q_OBJECT
public:
    static constexpr int MaxLength = 10;

    explicit DecimalSpinBox(const QString& name, QWidget* parent = nullptr);
    explicit DecimalSpinBox(QWidget* parent) : DecimalSpinBox(QString(), parent) {}
    // text() gives the box's text as shown.
    void setText(const QString& text);
    // A number shown with at least two decimals ("1.00", "2.005").
    static QString amountText(const QString& number);

    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;
    void stepBy(int steps) override;

protected:
    StepEnabled stepEnabled() const override;
    void keyPressEvent(QKeyEvent* event) override;
};

namespace MemberForms {
// A memo into which at most maxLength characters can be typed or pasted; Tab leaves it.
void limitMemo(QTextEdit* memo, int maxLength);
// Shows a stored text whole in a box or a memo set by limitMemo(), although it may be longer than
// the box takes or hold characters its key filter refuses: the limit rises to the text's length
// until the next stored text (then falls back to the limit the form gave the box), and the filter
// looks only at what the user types.
void showStored(QLineEdit* box, const QString& text);
void showStored(QTextEdit* memo, const QString& text);
} // namespace MemberForms

#pragma once

#include <QAbstractSpinBox>
#include <QString>

class QBoxLayout;
class QComboBox;
class QGridLayout;
class QLabel;
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
// A text box with a maximum length, named after its control.
QLineEdit* edit(QWidget* parent, const QString& name, int maxLength);
// A memo into which at most maxLength characters can be typed or pasted; Tab leaves it.
void limitMemo(QTextEdit* memo, int maxLength);
// Shows a stored text whole in a box made by edit() or limitMemo(), although it may be longer
// than the box takes or hold characters its key filter refuses: the limit rises to the text's
// length until the next stored text, and the filter looks only at what the user types.
void showStored(QLineEdit* box, const QString& text);
void showStored(QTextEdit* memo, const QString& text);
// The red "*" in front of a required field.
QLabel* requiredMark(QWidget* parent);
// A caption label.
QLabel* caption(QWidget* parent, const QString& text);

// Row 0 of the new and edit member dialogs: the required name (bsSkinEdit4, 15 characters) and
// the salutation list (bsSkinComboBox1: "先生", "女士", the first chosen).
struct NameRow {
    QLineEdit* name;
    QComboBox* salutation;
};
NameRow addNameRow(QWidget* dialog, QGridLayout* grid);

// The contact rows of the new and edit member dialogs, from grid row `first` on: mobile and
// telephone (digits, 15), e-mail (60), address (80), postal code (digits, 10).
struct Contact {
    QLineEdit* mobile;   // bsSkinEdit1
    QLineEdit* phone;    // bsSkinEdit2
    QLineEdit* email;    // bsSkinEdit3
    QLineEdit* address;  // bsSkinEdit5
    QLineEdit* postcode; // bsSkinEdit6
};
Contact addContactRows(QWidget* dialog, QGridLayout* grid, int first);
// The remark box (at most 60 characters) of the member dialogs, bsSkinRichEdit1.
QTextEdit* addRemark(QWidget* dialog, QBoxLayout* layout);
} // namespace MemberForms

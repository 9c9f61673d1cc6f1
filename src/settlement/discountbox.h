#pragma once

#include <QLineEdit>
#include <QSpinBox>

// The checkout's custom discount box. Its digits are the discount ("85" is 0.85, "8" is 0.8, "08"
// is 0.08), so the leading zero of "08" is part of the discount: the box keeps it when it tidies
// its text (on leaving the box, on Enter), where a plain spin box would show the number 8, which
// reads as 80 %.
class DiscountBox : public QSpinBox {
public:
    explicit DiscountBox(QWidget* parent = nullptr) : QSpinBox(parent) {}
    QLineEdit* edit() const { return lineEdit(); }

protected:
    QString textFromValue(int value) const override {
        const QString shown = lineEdit()->displayText();
        if (value > 0 && shown.size() == 2 && shown.at(0) == QLatin1Char('0') &&
            valueFromText(shown) == value)
            return shown;
        return QSpinBox::textFromValue(value);
    }
};

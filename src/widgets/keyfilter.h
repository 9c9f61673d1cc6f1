#pragma once

#include <QObject>
#include <QString>

class QLineEdit;

// Drops typed characters that are not allowed (the edit boxes' key filters): only the listed
// characters get through, control keys (backspace, arrows, tab) always do. Pasted or dropped
// text that holds a character not allowed is refused whole: the box keeps its previous text. A text set by the program is left as it is, also when the user then
// types into it.
class KeyFilter : public QObject {
    Q_OBJECT
public:
    KeyFilter(const QString& allowed, QLineEdit* edit);
    static KeyFilter* digitsOnly(QLineEdit* edit);
    // Digits and the decimal point.
    static KeyFilter* decimal(QLineEdit* edit);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString m_allowed;
    QLineEdit* m_edit;
    QString m_before; // the text before the edit under way
};

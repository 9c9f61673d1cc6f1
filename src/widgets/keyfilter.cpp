#include "widgets/keyfilter.h"

#include <QKeyEvent>
#include <QLineEdit>

KeyFilter::KeyFilter(const QString& allowed, QLineEdit* edit)
    : QObject(edit), m_allowed(allowed), m_edit(edit), m_before(edit->text()) {
    edit->installEventFilter(this);
    // textEdited comes before textChanged: m_before still holds the text before the edit.
    connect(edit, &QLineEdit::textChanged, this, [this] { m_before = m_edit->text(); });
    connect(edit, &QLineEdit::textEdited, this, [this](const QString& text) {
        // Only what the edit brought in is filtered; characters the box held already (a stored
        // "010-8888") stay where they are.
        qsizetype head = 0;
        while (head < m_before.size() && head < text.size() && m_before.at(head) == text.at(head))
            ++head;
        qsizetype tail = 0;
        while (tail < m_before.size() - head && tail < text.size() - head &&
               m_before.at(m_before.size() - 1 - tail) == text.at(text.size() - 1 - tail))
            ++tail;
        // Text that holds a refused character is refused whole: leaving out its refused
        // characters would turn a pasted "1.5" into 15.
        const QString inserted = text.mid(head, text.size() - head - tail);
        for (QChar c : inserted)
            if (!m_allowed.contains(c)) {
                const QString before = m_before;
                m_edit->setText(before);
                m_edit->setCursorPosition(int(head));
                return;
            }
    });
}

KeyFilter* KeyFilter::digitsOnly(QLineEdit* edit) {
    return new KeyFilter(QStringLiteral("0123456789"), edit);
}

KeyFilter* KeyFilter::decimal(QLineEdit* edit) {
    return new KeyFilter(QStringLiteral("0123456789."), edit);
}

bool KeyFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        if (!text.isEmpty() && !(key->modifiers() & Qt::ControlModifier)) {
            for (QChar c : text)
                if (c.isPrint() && !m_allowed.contains(c))
                    return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

#include "widgets/keyfilter.h"

#include <QKeyEvent>
#include <QLineEdit>

KeyFilter::KeyFilter(const QString& allowed, QLineEdit* edit)
    : QObject(edit), m_allowed(allowed), m_edit(edit) {
    edit->installEventFilter(this);
    connect(edit, &QLineEdit::textEdited, this, [this](const QString& text) {
        QString kept;
        for (QChar c : text)
            if (m_allowed.contains(c))
                kept += c;
        if (kept != text) {
            int pos = m_edit->cursorPosition();
            m_edit->setText(kept);
            m_edit->setCursorPosition(qMin<int>(pos, int(kept.size())));
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

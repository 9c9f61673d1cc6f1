#include "widgets/messages.h"

#include "core/errors.h"
#include "ledger/staff.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace {

class BoxMessages : public MessageService {
public:
    void information(const QString& text) override {
        QMessageBox box(QMessageBox::Information, QStringLiteral("Information"), text, QMessageBox::Ok,
                        QApplication::activeWindow());
        box.setTextFormat(Qt::PlainText);
        box.exec();
    }
    bool confirm(const QString& text, const QString& title) override {
        QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Ok | QMessageBox::Cancel,
                        QApplication::activeWindow());
        box.setTextFormat(Qt::PlainText);
        box.setDefaultButton(QMessageBox::Ok);
        return box.exec() == QMessageBox::Ok;
    }
    void error(const QString& text, const QString& title) override {
        QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok, QApplication::activeWindow());
        box.setTextFormat(Qt::PlainText);
        box.exec();
    }
    bool offerOwnersWord(const QString& text) override {
        QMessageBox box(QMessageBox::Information, QStringLiteral("Information"), text, QMessageBox::Ok,
                        QApplication::activeWindow());
        box.setObjectName(QStringLiteral("noRight"));
        box.setTextFormat(Qt::PlainText);
        QPushButton* word = box.addButton(QStringLiteral("店主授权"), QMessageBox::ActionRole);
        word->setObjectName(QStringLiteral("btnOwnersWord"));
        box.setDefaultButton(QMessageBox::Ok);
        box.exec();
        return box.clickedButton() == word;
    }
};

BoxMessages boxes;
MessageService* installed = nullptr;
std::function<bool(const QString&, OwnersWordAnswer&)> ownersWordAsker;

// The handlers of every error but the lack of a right.
bool caught(const std::function<void()>& action) {
    try {
        action();
        return true;
    } catch (const Refused& e) {
        Messages::information(e.text());
    } catch (const LedgerError& e) {
        Messages::error(e.text());
    } catch (const std::exception& e) {
        Messages::error(QString::fromUtf8(e.what()));
    }
    return false;
}

} // namespace

MessageService& MessageService::current() {
    return installed ? *installed : boxes;
}

void MessageService::install(MessageService* service) {
    installed = service;
}

void Messages::information(const QString& text) {
    MessageService::current().information(text);
}

bool Messages::confirmDelete(const QString& text) {
    return MessageService::current().confirm(text, QStringLiteral("删除确认"));
}

QString Messages::errorText(const QString& text) {
    if (!text.isEmpty() && text.back() > QLatin1Char('.'))
        return text + QLatin1Char('.');
    return text;
}

void Messages::error(const QString& text) {
    MessageService::current().error(errorText(text), ApplicationTitle);
}

void setOwnersWordAsker(std::function<bool(const QString&, OwnersWordAnswer&)> asker) {
    ownersWordAsker = std::move(asker);
}

bool guarded(const std::function<void()>& action) {
    QString refused;
    const bool done = caught([&] {
        try {
            action();
        } catch (const Staff::NoRight& e) {
            refused = e.text();
        }
    });
    if (refused.isEmpty())
        return done;
    if (!ownersWordAsker) {
        Messages::information(refused);
        return false;
    }
    if (!MessageService::current().offerOwnersWord(refused))
        return false;
    OwnersWordAnswer answer;
    if (!ownersWordAsker(refused, answer))
        return false;
    // The word holds for this one action: a wrong PIN is told and nothing runs.
    return caught([&] {
        const Staff::OwnersWord word(answer.owner, answer.pin);
        action();
    });
}

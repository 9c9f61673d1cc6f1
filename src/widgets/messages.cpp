#include "widgets/messages.h"

#include "core/errors.h"

#include <QApplication>
#include <QMessageBox>

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
};

BoxMessages boxes;
MessageService* installed = nullptr;

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

bool guarded(const std::function<void()>& action) {
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

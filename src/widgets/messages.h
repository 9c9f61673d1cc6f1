#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <type_traits>

// Every message box of the program goes through the installed message service, so tests can put
// a recorder in its place and nothing blocks.
class MessageService {
public:
    virtual ~MessageService() = default;
    // The information box: title "Information", information icon, one OK button.
    virtual void information(const QString& text) = 0;
    // A question with OK and Cancel and a question icon; true only for OK.
    virtual bool confirm(const QString& text, const QString& title) = 0;
    // An error box with a stop icon and one OK button.
    virtual void error(const QString& text, const QString& title) = 0;
    // A refusal for lack of a right: the information box with a second button "店主授权"; true
    // when the owner's word is asked for. Without a box of its own, the refusal is told and
    // nothing more.
    virtual bool offerOwnersWord(const QString& text) {
        information(text);
        return false;
    }

    static MessageService& current();
    // Installs a service (not owned); nullptr puts the standard message boxes back.
    static void install(MessageService* service);
};

// The message boxes of the program.
namespace Messages {
// The application's title. Only the default error box carries it: it is not the application's
// display name, which the X11 platform would append to every window's caption.
inline const QString ApplicationTitle = QStringLiteral("Vandrel通用进销存");

void information(const QString& text);
// The delete confirmation: title "删除确认", OK and Cancel.
bool confirmDelete(const QString& text);
// The default error box: titled with the application title, the text with a full stop appended
// when its last character sorts after ".".
void error(const QString& text);
QString errorText(const QString& text);
} // namespace Messages

// The catch point of every handler: runs the action, and an error that escapes it goes to the
// default error box; the operation stops there and the program goes on. Returns false on error.
// A refusal for lack of a right offers the owner's word: when an owner gives it (their PIN), the
// action runs once more with it.
bool guarded(const std::function<void()>& action);

// Asks which owner gives their word and their PIN (the small window of the owner's word); false
// when no owner gave it. Installed by the program; none installed: no owner's word.
struct OwnersWordAnswer {
    qint64 owner = 0;
    QString pin;
};
void setOwnersWordAsker(std::function<bool(const QString& refused, OwnersWordAnswer& answer)> asker);

// Connects a signal to a handler through the catch point: a member function of the receiver
// (&Tnew_dingdan::bsSkinButton1Click) or any callable. The signal's arguments are not passed.
template <typename Sender, typename Signal, typename Receiver, typename Handler>
QMetaObject::Connection connectGuarded(Sender* sender, Signal signal, Receiver* receiver, Handler handler) {
    return QObject::connect(sender, signal, receiver, [receiver, handler] {
        guarded([&] {
            if constexpr (std::is_member_function_pointer_v<Handler>)
                std::invoke(handler, receiver);
            else
                handler();
        });
    });
}

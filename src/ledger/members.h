#pragma once

#include "core/money.h"

#include <QList>
#include <QString>
#include <functional>

// Members and their prepaid cards. The card number is the member row's key, given by the
// database; the balance changes only by recharges (here) and card payments (settlement).
namespace Members {

inline const QString RequiredMissing = QStringLiteral("红色*号为必填项，请填写。");
inline const QString NotFound = QStringLiteral("找不到该会员");
inline const QString NegativeOpening = QStringLiteral("初始金额不能小于零，请重新填写。");
inline const QString BelowZero = QStringLiteral("余额不足，充值后余额不能小于零。");

// A member's personal data, as the member dialogs enter it.
struct Person {
    QString name;       // j1, required
    QString mobile;     // j2
    QString phone;      // j3
    QString address;    // j4
    QString postcode;   // j5
    QString salutation; // j6, required
    QString email;      // j7
    QString remark;     // j8
};

// Registers a member with the card's opening balance and the moment of saving as card date;
// returns the new card number. No recharge record is written for the opening balance. Refused
// without a name or a salutation, and with a negative opening balance.
qint64 create(const Person& person, Currency opening);

// Registers many members as create() does, all in one transaction announced once: all are
// written or none. Returns how many.
struct New {
    Person person;
    Currency opening;
};
int createMany(const QList<New>& members);
// The same for `count` rows made one at a time by `at` (an import of a million rows keeps one
// in memory); `at` may be asked again from the first row when the transaction is tried again.
int createMany(qsizetype count, const std::function<New(qsizetype)>& at);

// Rewrites the member's personal data; card number, balance and card date stay.
void update(qint64 card, const Person& person);

struct Recharged {
    qint64 record = 0; // the recharge voucher number
    Currency before;
    Currency after;
};

// Raises the card's stored balance by `amount` (a negative amount lowers it) and writes the
// recharge record with the member's name and salutation, together. A stored balance that is no
// number stops the recharge with a conversion error before anything is written; a correction that
// would take the balance below zero is refused (BelowZero).
Recharged recharge(qint64 card, Currency amount);

// Deletes the member with all recharge and consumption records of the card.
void remove(qint64 card);

} // namespace Members

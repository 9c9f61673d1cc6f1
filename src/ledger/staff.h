#pragma once

#include <QDateTime>
#include <QList>
#include <QSet>
#include <QString>
#include <QVariant>
#include <optional>

#include "core/errors.h"

// The people who work the tills: what each role may do, the PINs they sign in with, and how long
// an operator waits after wrong PINs. A shop without operators has one implicit owner who may do
// everything.
namespace Staff {

// What an operator may do; each operation asks for the right it needs.
enum class Right {
    Sell,            // new order, add lines, settle in cash or by card
    RemoveLine,      // take a line off an order
    Discount,        // sell below the sale price or give a discount below the limit
    DeleteUnsettled, // delete an order not yet settled
    DeleteSettled,   // delete a settled order
    StockIn,         // receive goods
    Products,        // new, edit and delete products
    PickLists,       // edit the pick lists
    Members,         // new, edit and delete members
    Recharge,        // put money on a member card
    SeeCosts,        // see cost prices and profit
    ExportImport,    // export lists, import products and members
    PrintLists,      // print the lists
    BackupRestore,   // backups, restore and the ledger check
    Settings,        // receipt settings, the backup folder, limits of discounts and returns
    Operators,       // operators and roles
    ReadLog,         // read the operation log
    Returns,         // take goods back within the limits
    ReturnsBeyond,   // take goods back beyond the limits
    CardRefundCash,  // give the money of a card sale back in cash
    SeeExpected,     // see the cash a drawer should hold before it is counted, past shifts
    OpenDrawer,      // open the cash drawer without a sale
};

// Every right, in the order the rights are listed.
const QList<Right>& allRights();
// Its name as the roles' list shows it ("删除已结算订单").
QString name(Right right);
// Its key as stored with a role ("deleteSettled"); stable across versions.
QString key(Right right);
std::optional<Right> rightOfKey(const QString& key);

using Rights = QSet<Right>;
// The stored form of a set of rights: their keys in the list's order, comma-separated; keys of no
// right (a later version's) are left out when read.
QString storedRights(const Rights& rights);
Rights rightsOfStored(const QString& text);

// The two built-in roles. The owner may do everything; a cashier sells, takes lines off and
// deletes unsettled orders, takes new members and recharges, prints lists and opens the drawer.
inline const QString OwnerRole = QStringLiteral("店主");
inline const QString CashierRole = QStringLiteral("收银员");
Rights ownerRights();
Rights cashierRights();
// Rights no cashier is ever given, whatever the owner ticks: deleting a settled order.
bool neverForCashier(Right right);

// A PIN is 4 to 8 digits. Returns why one is not, empty when it is.
QString pinProblem(const QString& pin);
// The PIN as stored: a salted Argon2id hash with its parameters (never the PIN itself). Checking
// a PIN takes about a tenth of a second on an ordinary till. Throws LedgerError when the PIN is no
// PIN (pinProblem) or the hash cannot be made.
QString hashPin(const QString& pin);
// Whether the PIN is the one the stored hash was made of.
bool pinMatches(const QString& pin, const QString& stored);

// After wrong PINs in a row: five make the operator wait 30 seconds, each further one twice as
// long as the one before (at most a day). Returns the wait after `failures` wrong PINs in a row.
qint64 waitSeconds(int failures);
// Until when an operator waits after the latest wrong PIN at `last`; none under five.
std::optional<QDateTime> waitsUntil(int failures, const QDateTime& last);

// The operators and roles of the shop, in the business file (or on the server), so every till
// knows them.
struct Operator {
    qint64 key = 0;
    QString name;
    QString role;
};
// Whether the shop has operators at all; without, the program works as it always did.
bool hasOperators();
// Every operator, by name.
QList<Operator> operators();
// The roles an operator may be given: the two built in, then the owner's own, by name.
QStringList roleNames();
// What the role may do; nothing for a role that is not there.
Rights rightsOf(const QString& role);
// Makes (or changes the rights of) a role of the owner's own. Refused for a built-in role's name,
// an empty name, or one of more than 20 characters.
void saveRole(const QString& name, const Rights& rights);

// Adds an operator and returns the key. The shop's first operator is its owner (店主), whatever
// role was asked. Refused for an empty name, one of more than 20 characters, a name another
// operator has, a role that is not there, or a PIN that is no PIN.
qint64 addOperator(const QString& name, const QString& role, const QString& pin);

// Changes an operator's role, or PIN (an empty PIN: kept). Refused as addOperator is, and when the
// shop would be left without an owner.
void updateOperator(qint64 key, const QString& role, const QString& pin = {});
// Removes an operator; refused for the shop's last owner.
void removeOperator(qint64 key);
// Removes a role of the owner's own; refused for a built-in role and for one an operator has.
void removeRole(const QString& name);

// Signing in with a PIN. A right PIN admits and clears the count of wrong ones; a wrong one counts,
// and from the fifth in a row the operator waits (waitSeconds). While an operator waits, a PIN is
// not even checked: the answer says until when. Refused for an operator that is not there.
struct SignIn {
    bool admitted = false;
    int failures = 0;                   // wrong PINs in a row now
    std::optional<QDateTime> waitUntil; // set while the operator must wait
};
SignIn signIn(qint64 operatorKey, const QString& pin);

// --- The operator at this till ---

// Whether the staff rules are in force here: the shop has operators. Read when the shop opens
// (start) and set once the first operator is added; in a shop without operators nobody signs in,
// every operation is allowed and nothing is logged.
bool inForce();
// Reads whether the shop has operators and forgets who was signed in; run when a shop opens.
void start();
// The till's name in the log: set per till, the host name by default.
QString tillName();
void setTillName(const QString& name);

// The operator signed in at this till; none before the first login and while the till is locked.
std::optional<Operator> current();
// Signs the operator in (signIn) and, when admitted, makes them the one working here; logged as a
// login, or as a change of hands when another operator was signed in or the till was locked.
SignIn logIn(qint64 operatorKey, const QString& pin);
// Locks the till (idle, or the operator walks away): nobody is signed in until the next login.
// Logged. An owner's word that holds ends here, as it does at a login.
void lock();
// Reads again the role of the operator at this till and what it may do, after operators or roles
// changed (here or at another till), so a changed right holds from the next operation on.
enum class Refreshed {
    Same,    // nothing changed for the operator here
    Changed, // another role, or the role's rights changed
    Gone,    // the operator was removed: nobody is signed in now
};
Refreshed refresh();

// The operator's name as the records keep it (who made, settled, received, sold, recharged):
// NULL in a shop without operators.
QVariant signature();

// Whether the operator at this till may: always in a shop without operators, never while nobody
// is signed in; anybody while an owner's word holds.
bool may(Right right);
// The refusal for lack of a right: its text "没有权限：" and the right's name. The window
// offers the owner's word for it.
class NoRight : public Refused {
public:
    explicit NoRight(Right right);
    const char* kind() const override { return "NoRight"; }
    Right right() const { return m_right; }

private:
    Right m_right;
};
// Checks the right before an operation reads or writes: when the operator may not, logs the
// refusal (what was tried, in `touched`) and throws NoRight.
void require(Right right, const QString& touched = {});

// The owner's word (店主授权): an owner types their PIN and the one action that follows goes
// through with all rights; the log names both. Holds while the object lives. Throws Refused when
// the operator is no owner or the PIN is wrong (counted as wrong PINs are at the login).
class OwnersWord {
public:
    OwnersWord(qint64 ownerKey, const QString& pin);
    ~OwnersWord();
    OwnersWord(const OwnersWord&) = delete;
    OwnersWord& operator=(const OwnersWord&) = delete;
};
// The owner whose word holds now, if any.
std::optional<Operator> authorizer();
// The owners of the shop (who may give their word), by name.
QList<Operator> owners();

// Test hook: makes the operator the one at this till without a PIN (and the rules in force).
void actAs(const std::optional<Operator>& who);

} // namespace Staff

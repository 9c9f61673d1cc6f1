#include "ledger/receipts.h"

#include "core/errors.h"
#include "data/database.h"
#include "ledger/oplog.h"
#include "ledger/orders.h"
#include "ledger/returns.h"
#include "ledger/staff.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QSqlQuery>
#include <QStringEncoder>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Receipts {

namespace {
// How a card's movement of money given back for a return is marked.
const QString Refund = QStringLiteral("退款");
} // namespace

Receipt forOrder(qint64 order) {
    const QSqlDatabase db = Db::business();
    QSqlQuery head = Db::exec(db, QStringLiteral("select a1, a2, a5, a6 from aa where aid = :a"),
                              {{QStringLiteral(":a"), order}});
    if (!head.next())
        throw Refused(QStringLiteral("找不到%1号订单").arg(order));
    if (head.value(1).toString() != Orders::Settled)
        throw Refused(QStringLiteral("%1号订单还没有结算，没有小票").arg(order));
    Receipt r;
    r.order = order;
    r.when = head.value(0).toString();
    r.received = Currency::fromVariant(head.value(3));
    QSqlQuery lines = Db::exec(db, QStringLiteral("select k3, k4, k6, k9 from ak where k8 = :a order by kid"),
                               {{QStringLiteral(":a"), QString::number(order)}});
    Currency sum;
    while (lines.next()) {
        Line line{lines.value(0).toString(), Currency::fromVariant(lines.value(1)),
                  Currency::fromVariant(lines.value(2)), Currency()};
        // A weighed line keeps the amount on its scale's label.
        const QVariant own = lines.value(3);
        line.amount = own.isNull() || own.toString().isEmpty() ? line.quantity * line.price
                                                               : Currency::fromVariant(own);
        sum += line.amount;
        r.lines << line;
    }
    r.due = head.value(2).isNull() || head.value(2).toString().isEmpty()
                ? sum
                : Currency::fromVariant(head.value(2));
    r.discount = r.due - r.received;
    // The card's movement of the payment, not of a refund made since.
    QSqlQuery card = Db::exec(
        db,
        QStringLiteral(
            "select g6, g4 from ag where g5 = :a and (g9 is null or g9 <> :r) order by gid desc limit 1"),
        {{QStringLiteral(":a"), QString::number(order)}, {QStringLiteral(":r"), Refund}});
    if (card.next()) {
        r.card = card.value(0).toLongLong();
        r.balanceAfter = Currency::fromVariant(card.value(1));
    }
    return r;
}

ReturnReceipt forReturn(qint64 key) {
    const QSqlDatabase db = Db::business();
    QSqlQuery head = Db::exec(db,
                              QStringLiteral("select order_id, returned_at, operator_name, reason, refund, "
                                             "way, card from returns where id = :k"),
                              {{QStringLiteral(":k"), key}});
    if (!head.next())
        throw Refused(QStringLiteral("找不到%1号退货单").arg(key));
    ReturnReceipt r;
    r.key = key;
    r.order = head.value(0).toLongLong();
    r.when = head.value(1).toString();
    r.operatorName = head.value(2).toString();
    r.reason = head.value(3).toString();
    r.refund = Currency::fromScaled(head.value(4).toLongLong());
    r.toCard = head.value(5).toString() == Returns::CardWay;
    r.card = head.value(6).toLongLong();
    QSqlQuery lines = Db::exec(db,
                               QStringLiteral("select k.k3, l.product, l.quantity, l.amount, l.damaged from "
                                              "return_lines l left join ak k on k.kid = l.line_id where "
                                              "l.return_id = :k order by l.id"),
                               {{QStringLiteral(":k"), key}});
    while (lines.next()) {
        QString name = lines.value(0).toString();
        if (name.isEmpty()) // the order was deleted since: its product's number stands in
            name = QStringLiteral("产品 %1").arg(lines.value(1).toString());
        r.lines << ReturnLine{name, Currency::parse(lines.value(2).toString()),
                              Currency::fromScaled(lines.value(3).toLongLong()), lines.value(4).toInt() != 0};
    }
    if (r.toCard) {
        // The card's movements of the order's refunds follow its card returns one for one, in the
        // same order: this return's is the one at its place among them.
        const int place =
            Db::scalar(db,
                       QStringLiteral("select count(*) from returns where order_id = :o and way = :w and "
                                      "id <= :k"),
                       {{QStringLiteral(":o"), r.order},
                        {QStringLiteral(":w"), head.value(5)},
                        {QStringLiteral(":k"), key}})
                .toInt();
        QSqlQuery moves =
            Db::exec(db, QStringLiteral("select g4 from ag where g5 = :o and g9 = :r order by gid"),
                     {{QStringLiteral(":o"), QString::number(r.order)}, {QStringLiteral(":r"), Refund}});
        for (int i = 0; moves.next(); ++i)
            if (i == place - 1)
                r.balanceAfter = Currency::fromVariant(moves.value(0));
    }
    return r;
}

QString barcodeOf(qint64 order) {
    return QString::number(order);
}

namespace {

QString iniPath(const QString& folder) {
    return QDir(folder).absoluteFilePath(QStringLiteral("receipt.ini"));
}

QString money(Currency amount) {
    // Two decimals, as a till shows them.
    const double value = amount.toDouble();
    return QString::number(value, 'f', 2);
}

QString quantityText(Currency q) {
    return q.toString();
}

// Text on the left, text on the right, filled between with blanks.
QString spread(const QString& left, const QString& right, int width) {
    const int gap = std::max(1, width - textWidth(left) - textWidth(right));
    return left + QString(gap, QLatin1Char(' ')) + right;
}

QString centred(const QString& text, int width) {
    const int pad = std::max(0, (width - textWidth(text)) / 2);
    return QString(pad, QLatin1Char(' ')) + text;
}

// Breaks a text into pieces of at most `width` columns.
QStringList wrapped(const QString& text, int width) {
    QStringList out;
    QString piece;
    for (const QChar c : text) {
        if (textWidth(piece + c) > width) {
            out << piece;
            piece.clear();
        }
        piece += c;
    }
    if (!piece.isEmpty() || out.isEmpty())
        out << piece;
    return out;
}

bool isControl(QChar c) {
    return c.category() == QChar::Other_Control;
}

QString withoutControls(QString text) {
    text.removeIf(isControl);
    return text;
}

// The longest text the settings hold (a till roll's line is 48 columns at most).
constexpr int MaxText = 200;

} // namespace

QString settingsProblem(const QString& iniPath) {
    const QSettings ini(iniPath, QSettings::IniFormat);
    if (ini.status() != QSettings::NoError)
        return QStringLiteral("文件无法读取");
    if (!ini.childGroups().isEmpty())
        return QStringLiteral("有小票设置中没有的一组“%1”").arg(ini.childGroups().first().left(40));
    static const QStringList keys = {QStringLiteral("way"),       QStringLiteral("width"),
                                     QStringLiteral("printer"),   QStringLiteral("device"),
                                     QStringLiteral("shop"),      QStringLiteral("footer"),
                                     QStringLiteral("autoPrint"), QStringLiteral("drawer")};
    for (const QString& key : ini.allKeys()) {
        if (!keys.contains(key))
            return QStringLiteral("有小票设置中没有的一项“%1”").arg(withoutControls(key).left(40));
        if (ini.value(key).typeId() != QMetaType::QString)
            return QStringLiteral("“%1”一项不是文字").arg(key);
        const QString value = ini.value(key).toString();
        if (value.size() > MaxText)
            return QStringLiteral("“%1”一项太长").arg(key);
        if (std::any_of(value.cbegin(), value.cend(), isControl))
            return QStringLiteral("“%1”一项含有控制字符").arg(key);
    }
    const QString way = ini.value(QStringLiteral("way"), QStringLiteral("printer")).toString();
    if (way != QLatin1String("printer") && way != QLatin1String("device"))
        return QStringLiteral("打印方式“%1”不是系统打印机或设备文件").arg(way.left(40));
    const QString width = ini.value(QStringLiteral("width"), QStringLiteral("58")).toString();
    if (width != QLatin1String("58") && width != QLatin1String("80"))
        return QStringLiteral("纸宽“%1”不是 58 或 80 毫米").arg(width.left(40));
    const QString autoPrint = ini.value(QStringLiteral("autoPrint"), QStringLiteral("false")).toString();
    if (autoPrint != QLatin1String("true") && autoPrint != QLatin1String("false"))
        return QStringLiteral("自动打印“%1”不是 true 或 false").arg(autoPrint.left(40));
    const QString drawer = ini.value(QStringLiteral("drawer"), QStringLiteral("true")).toString();
    if (drawer != QLatin1String("true") && drawer != QLatin1String("false"))
        return QStringLiteral("打开钱箱“%1”不是 true 或 false").arg(drawer.left(40));
    const QString device = ini.value(QStringLiteral("device")).toString().trimmed();
    if (way == QLatin1String("device") && device.isEmpty())
        return QStringLiteral("打印方式是设备文件，却没有填写设备文件");
    if (!device.isEmpty() && !QDir::isAbsolutePath(device))
        return QStringLiteral("设备文件“%1”不是完整的路径").arg(device.left(80));
    return {};
}

Setup loadSetup(const QString& folder) {
    QSettings ini(iniPath(folder), QSettings::IniFormat);
    Setup s;
    s.way = ini.value(QStringLiteral("way")).toString() == QLatin1String("device") ? Setup::Way::Device
                                                                                   : Setup::Way::Printer;
    s.width = ini.value(QStringLiteral("width"), 58).toInt() == 80 ? 80 : 58;
    s.printer = ini.value(QStringLiteral("printer")).toString();
    s.device = ini.value(QStringLiteral("device"), s.device).toString();
    s.shop = withoutControls(ini.value(QStringLiteral("shop")).toString());
    s.footer = withoutControls(ini.value(QStringLiteral("footer")).toString());
    s.autoPrint = ini.value(QStringLiteral("autoPrint"), false).toBool();
    s.drawer = ini.value(QStringLiteral("drawer"), true).toBool();
    return s;
}

void saveSetup(const QString& folder, const Setup& s) {
    Staff::require(Staff::Right::Settings, QStringLiteral("小票设置"));
    QSettings ini(iniPath(folder), QSettings::IniFormat);
    ini.setValue(QStringLiteral("way"),
                 s.way == Setup::Way::Device ? QStringLiteral("device") : QStringLiteral("printer"));
    ini.setValue(QStringLiteral("width"), s.width);
    ini.setValue(QStringLiteral("printer"), s.printer);
    ini.setValue(QStringLiteral("device"), s.device);
    ini.setValue(QStringLiteral("shop"), s.shop);
    ini.setValue(QStringLiteral("footer"), s.footer);
    ini.setValue(QStringLiteral("autoPrint"), s.autoPrint);
    ini.setValue(QStringLiteral("drawer"), s.drawer);
    ini.sync();
    if (ini.status() != QSettings::NoError)
        throw LedgerError(QStringLiteral("无法保存小票设置: %1").arg(iniPath(folder)));
    OpLog::write({OpLog::Settings, QStringLiteral("小票设置"), {}, s.shop});
}

int columns(int width) {
    return width == 80 ? 48 : 32;
}

int textWidth(const QString& text) {
    int w = 0;
    for (const QChar c : text)
        w += c.unicode() < 0x80 ? 1 : 2;
    return w;
}

QStringList text(const Receipt& r, const Setup& s) {
    const int w = columns(s.width);
    const QString rule(w, QLatin1Char('-'));
    QStringList out;
    out << centred(s.shop.isEmpty() ? QStringLiteral("销售小票") : s.shop, w);
    out << QStringLiteral("单号: %1").arg(r.order);
    out << QStringLiteral("时间: %1").arg(r.when);
    out << rule;
    for (const Line& line : r.lines) {
        out << wrapped(line.name, w);
        out << spread(QStringLiteral("  %1 x %2").arg(quantityText(line.quantity), money(line.price)),
                      money(line.amount), w);
    }
    out << rule;
    out << spread(QStringLiteral("应收金额:"), money(r.due), w);
    if (r.discount != Currency())
        out << spread(QStringLiteral("优惠:"), money(r.discount), w);
    out << spread(QStringLiteral("实收金额:"), money(r.received), w);
    if (r.card) {
        out << spread(QStringLiteral("会员卡号:"), QString::number(*r.card), w);
        out << spread(QStringLiteral("卡内余额:"), money(r.balanceAfter), w);
    }
    if (!s.footer.isEmpty()) {
        out << rule;
        for (const QString& piece : wrapped(s.footer, w))
            out << centred(piece, w);
    }
    return out;
}

QStringList text(const ReturnReceipt& r, const Setup& s) {
    const int w = columns(s.width);
    const QString rule(w, QLatin1Char('-'));
    const QString title = QStringLiteral("退货小票");
    QStringList out;
    if (s.shop.isEmpty()) {
        out << centred(title, w);
    } else {
        out << centred(s.shop, w);
        out << centred(title, w);
    }
    out << QStringLiteral("退货单号: %1").arg(r.key);
    out << QStringLiteral("原订单号: %1").arg(r.order);
    out << QStringLiteral("时间: %1").arg(r.when);
    if (!r.operatorName.isEmpty())
        out << wrapped(QStringLiteral("操作员: %1").arg(r.operatorName), w);
    out << rule;
    for (const ReturnLine& line : r.lines) {
        out << wrapped(line.damaged ? line.name + QStringLiteral("（报损）") : line.name, w);
        out << spread(QStringLiteral("  数量 %1").arg(quantityText(line.quantity)), money(line.amount), w);
    }
    out << rule;
    out << spread(QStringLiteral("退款金额:"), money(r.refund), w);
    if (r.toCard) {
        out << spread(QStringLiteral("退款方式:"), QStringLiteral("会员卡"), w);
        out << spread(QStringLiteral("会员卡号:"), QString::number(r.card), w);
        out << spread(QStringLiteral("卡内余额:"), money(r.balanceAfter), w);
    } else {
        out << spread(QStringLiteral("退款方式:"), QStringLiteral("现金"), w);
    }
    if (!r.reason.isEmpty())
        out << wrapped(QStringLiteral("退货原因: %1").arg(withoutControls(r.reason)), w);
    if (!s.footer.isEmpty()) {
        out << rule;
        for (const QString& piece : wrapped(s.footer, w))
            out << centred(piece, w);
    }
    return out;
}

QByteArray escPos(const Receipt& r, const Setup& s) {
    return escPosLines(text(r, s), barcodeOf(r.order), s.width);
}

QByteArray escPos(const ReturnReceipt& r, const Setup& s) {
    return escPosLines(text(r, s), barcodeOf(r.order), s.width);
}

QByteArray escPosBarcode(const QString& code, int width) {
    if (code.isEmpty() || code.size() > 64 ||
        !std::all_of(code.cbegin(), code.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return {};
    // Set C takes two digits a symbol; an odd first digit goes in set B before it.
    QByteArray data;
    int symbols = 1; // the start
    qsizetype at = 0;
    if (code.size() % 2 != 0) {
        data += "{B";
        data += char(code.at(0).unicode());
        symbols += 1;
        at = 1;
    }
    if (at < code.size()) {
        data += "{C";
        symbols += at == 0 ? 0 : 1; // after set B, the switch to set C is a symbol of its own
        for (; at < code.size(); at += 2) {
            data += char(code.mid(at, 2).toInt());
            ++symbols;
        }
    }
    // Eleven modules a symbol and the check symbol, thirteen for the stop, and a quiet zone of
    // ten modules each side, across the dots of the roll's print head (8 dots a millimetre).
    const int modules = 11 * (symbols + 1) + 13 + 20;
    const int dots = width == 80 ? 576 : 384;
    const int module = std::min(3, dots / modules);
    if (module < 2)
        return {};
    QByteArray out;
    out += QByteArray("\x1b\x61\x01", 3);                     // ESC a 1: centred
    out += QByteArray("\x1d\x68\x50", 3);                     // GS h 80: bars 10 mm high
    out += QByteArray("\x1d\x77", 2) + char(module);          // GS w: the width of a module in dots
    out += QByteArray("\x1d\x48\x02", 3);                     // GS H 2: the number printed under the bars
    out += QByteArray("\x1d\x66\x00", 3);                     // GS f 0: in font A
    out += QByteArray("\x1d\x6b\x49", 3) + char(data.size()); // GS k 73 n: CODE128 of n bytes
    out += data;
    out += QByteArray("\x1b\x61\x00", 3); // ESC a 0: left
    return out;
}

QByteArray drawerKick() {
    return QByteArray("\x1b\x70\x00\x19\xfa", 5);
}

QByteArray escPosLines(const QStringList& lines, const QString& barcode, int width) {
    if (lines.isEmpty())
        return {};
    QStringEncoder gb18030("GB18030");
    QByteArray out;
    out += QByteArray("\x1b\x40", 2);     // ESC @: reset
    out += QByteArray("\x1c\x26", 2);     // FS &: Chinese characters
    out += QByteArray("\x1b\x61\x01", 3); // ESC a 1: centred
    out += QByteArray("\x1d\x21\x11", 3); // GS ! 0x11: double width and height
    // A control character in a name (a product's, an operator's, a reason) would reach the
    // printer as a command of its own: cut the paper, kick the drawer.
    out += QByteArray(gb18030.encode(withoutControls(lines.first()).trimmed()));
    out += '\n';
    out += QByteArray("\x1d\x21\x00", 3); // normal size
    out += QByteArray("\x1b\x61\x00", 3); // left
    for (const QString& line : lines.mid(1)) {
        out += QByteArray(gb18030.encode(withoutControls(line)));
        out += '\n';
    }
    if (const QByteArray code = escPosBarcode(barcode, width); !code.isEmpty()) {
        out += '\n';
        out += code;
    }
    out += QByteArray("\x1c\x2e", 2);         // FS .: Chinese mode off
    out += QByteArray("\x1d\x56\x42\x03", 4); // GS V 66 3: feed three lines and cut
    return out;
}

void writeDevice(const QString& device, const QByteArray& bytes) {
    auto refused = [&device](const QString& why) {
        return LedgerError(
            QStringLiteral("小票设置中的设备文件“%1”%2，小票没有打印。请在“小票设置”中改正“设备文件”。")
                .arg(device, why));
    };
    if (device.isEmpty())
        throw refused(QStringLiteral("是空的"));
    // Never created or truncated; not blocking on a pipe while it is looked at.
    const int fd =
        ::open(QFile::encodeName(device).constData(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throw refused(QStringLiteral("无法打开（%1）").arg(QString::fromLocal8Bit(std::strerror(errno))));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) {
        ::close(fd);
        throw refused(QStringLiteral("不是打印机的设备文件（字符设备）"));
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int error = errno;
            ::close(fd);
            throw LedgerError(QStringLiteral("无法向小票打印机 %1 输出: %2")
                                  .arg(device, QString::fromLocal8Bit(std::strerror(error))));
        }
        done += n;
    }
    if (::close(fd) != 0)
        throw LedgerError(QStringLiteral("无法向小票打印机 %1 输出: %2")
                              .arg(device, QString::fromLocal8Bit(std::strerror(errno))));
}

} // namespace Receipts

#include "data/demodata.h"

#include "core/errors.h"
#include "core/money.h"
#include "data/database.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariantList>
#include <algorithm>
#include <cmath>
#include <random>

namespace {

const QStringList brandChars = {"金", "银", "福", "喜", "乐", "康", "鑫", "旺", "顺", "源",
                                "丰", "盛", "美", "佳", "鲜", "香", "甜", "好", "华", "泰",
                                "安", "宏", "兴", "隆", "吉", "祥", "和", "瑞"};
const QStringList goods = {"牛奶",   "面包",   "饼干", "矿泉水", "酱油",   "香醋",   "大米", "面粉",
                           "洗发水", "牙膏",   "毛巾", "电池",   "铅笔",   "笔记本", "啤酒", "白酒",
                           "果汁",   "汽水",   "茶叶", "咖啡",   "方便面", "火腿肠", "瓜子", "花生",
                           "食用油", "洗衣粉", "香皂", "纸巾",   "雨伞",   "拖鞋"};
const QStringList sizes = {"小包",   "大包",   "500ml",  "1L",    "250g", "1kg",  "5kg", "礼盒",
                           "家庭装", "经济装", "12支装", "6瓶装", "袋装", "罐装", "散装"};
const QStringList majors = {"食品", "饮料", "日用品", "烟酒", "文具", "五金", "其他"};
const QStringList minors = {"零食", "饼干", "方便食品", "矿泉水", "果汁", "洗化用品", "纸品", "其他"};
const QStringList units = {"个", "件", "瓶", "包", "袋", "盒", "箱", "公斤"};
const QStringList surnames = {"王", "李", "张", "刘", "陈", "杨", "黄", "赵", "吴", "周",
                              "徐", "孙", "马", "朱", "胡", "郭", "何", "高", "林", "罗"};
const QStringList givenChars = {"伟", "芳", "娜", "敏", "静", "丽", "强", "磊", "军", "洋",
                                "勇", "艳", "杰", "娟", "涛", "明", "超", "秀", "霞", "平",
                                "刚", "桂", "英", "华", "玉", "兰", "文", "辉"};

struct Product {
    qint64 id;
    QString name, major, minor, unit;
    Currency price;
    Currency cost;
};

class Writer {
public:
    Writer(const QString& sql) : m_query(Db::business()) {
        m_query.setForwardOnly(true);
        if (!m_query.prepare(sql))
            throw DatabaseError(Db::errorText(m_query.lastError()));
    }
    qint64 run(const QVariantList& values) {
        for (int i = 0; i < values.size(); ++i)
            m_query.bindValue(i, values[i]);
        if (!m_query.exec())
            throw DatabaseError(Db::errorText(m_query.lastError()));
        return m_query.lastInsertId().toLongLong();
    }

private:
    QSqlQuery m_query;
};

} // namespace

DemoData::Counts DemoData::countsFor(double scale) {
    auto n = [scale](int full, int least) {
        return std::max(least, int(std::lround(full * scale)));
    };
    Counts c;
    c.products = n(100000, 12);
    c.stockIns = n(300000, 30);
    c.orders = n(200000, 20);
    c.members = n(20000, 8);
    c.recharges = n(100000, 15);
    c.consumptions = n(100000, 10);
    return c;
}

void DemoData::fill(const Counts& counts, unsigned seed, void (*progress)(const char*)) {
    std::mt19937 rng(seed);
    auto pick = [&rng](const QStringList& list) {
        return list[int(rng() % list.size())];
    };
    auto between = [&rng](int lo, int hi) {
        return lo + int(rng() % unsigned(hi - lo + 1));
    };
    const QDateTime start(QDate(2016, 12, 1), QTime(8, 0));
    const qint64 span = start.secsTo(QDateTime(QDate(2026, 12, 1), QTime(20, 0)));
    // Moments in ascending order for ascending keys: the i-th of n rows.
    auto moment = [&](qint64 i, qint64 n) {
        return start.addSecs(span * i / std::max<qint64>(n, 1) + rng() % 600);
    };
    auto text = [](const QDateTime& t) {
        return t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    };
    QSqlDatabase db = Db::business();

    std::vector<Product> products;
    products.reserve(size_t(counts.products));
    {
        if (progress)
            progress("products");
        Transaction tx(db);
        Writer w(QStringLiteral("insert into ab (b1, b2, b3, b4, b5, b6, b7, b8, b9, b10, b11, b12) "
                                "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        for (int i = 0; i < counts.products; ++i) {
            Product p;
            p.name =
                pick(brandChars) + pick(brandChars) + pick(goods) + pick(sizes) + QString::number(i % 97);
            p.major = pick(majors);
            p.minor = pick(minors);
            p.unit = pick(units);
            const Currency cost = Currency::fromScaled(between(5, 2000) * 500);
            p.price = cost + Currency::fromScaled(between(1, 400) * 500);
            p.cost = cost;
            const Currency stock = Currency::fromInt(between(0, 500));
            p.id = w.run({p.major, p.minor, p.name, stock.toSql(), p.unit, cost.toSql(),
                          (cost + Currency::fromScaled(between(1, 200) * 500)).toSql(), p.price.toSql(),
                          (stock * p.price).toSql(), text(moment(i, counts.products)),
                          QStringLiteral("%1的说明").arg(p.name),
                          pick(brandChars) + pick(brandChars) + "食品厂"});
            products.push_back(p);
        }
        tx.commit();
    }
    {
        if (progress)
            progress("stock-in records");
        Transaction tx(db);
        Writer w(QStringLiteral("insert into ac (c1, c2, c3, c4, c5, c6, c7, c8, c9, c10, c11, c12) "
                                "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        for (int i = 0; i < counts.stockIns; ++i) {
            const Product& p = products[rng() % products.size()];
            const int quantity = between(1, 200);
            w.run({QString::number(p.id), p.name, QString::number(quantity), p.price.toString(),
                   p.price.toString(), p.price.toString(),
                   moment(i, counts.stockIns).toString(QStringLiteral("yyyy-MM-dd")), p.major, p.minor,
                   QStringLiteral("厂家"), p.unit, (Currency::fromInt(quantity) * p.price).toSql()});
        }
        tx.commit();
    }
    {
        if (progress)
            progress("orders, lines and stock-out records");
        Transaction tx(db);
        Writer order(QStringLiteral("insert into aa (a1, a2, a4, a5, a6) values (?, ?, ?, ?, ?)"));
        Writer line(QStringLiteral(
            "insert into ak (k1, k2, k3, k4, k5, k6, k7, k8) values (?, ?, ?, ?, ?, ?, ?, ?)"));
        Writer out(QStringLiteral("insert into ae (e1, e2, e3, e6, e7, e8, e9, e11, e12, e13) "
                                  "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        const QStringList categories = {"普通订单", "普通订单", "普通订单", "批发订单", "会员订单"};
        for (int i = 0; i < counts.orders; ++i) {
            const QDateTime when = moment(i, counts.orders);
            const bool settled = i < counts.orders - 30 && rng() % 10 != 0;
            const qint64 number =
                order.run({text(when), settled ? QStringLiteral("已结算") : QStringLiteral("未结算"),
                           pick(categories), QVariant(), QVariant()});
            Currency total;
            for (int k = 0; k < counts.linesPerOrder; ++k) {
                const Product& p = products[rng() % products.size()];
                const int quantity = between(1, 5);
                total += Currency::fromInt(quantity) * p.price;
                line.run({p.major, p.minor, p.name, QString::number(quantity), p.unit, p.price.toString(),
                          QString::number(p.id), QString::number(number)});
                out.run({QString::number(p.id), p.name, QString::number(quantity), p.price.toString(),
                         text(when), p.major, p.minor, QString::number(number), p.unit, p.cost.toSql()});
            }
            Db::exec(db, QStringLiteral("update aa set a5 = :a, a6 = :b where aid = :c"),
                     {{":a", total.toString()},
                      {":b", settled ? QVariant(total.toString()) : QVariant()},
                      {":c", number}});
        }
        tx.commit();
    }
    {
        if (progress)
            progress("members, recharges and consumption records");
        Transaction tx(db);
        Writer member(QStringLiteral("insert into aj (j1, j2, j3, j4, j5, j6, j7, j8, j9, j10) "
                                     "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        struct Member {
            qint64 id;
            QString name, salutation;
            Currency balance;
        };
        std::vector<Member> members;
        for (int i = 0; i < counts.members; ++i) {
            Member m;
            m.name = pick(surnames) + pick(givenChars) + (rng() % 2 ? pick(givenChars) : QString());
            m.salutation = rng() % 2 ? QStringLiteral("先生") : QStringLiteral("女士");
            m.balance = Currency::fromInt(between(0, 2000));
            m.id = member.run({m.name, QStringLiteral("13%1").arg(between(100000000, 999999999)), QString(),
                               QStringLiteral("幸福路%1号").arg(between(1, 999)),
                               QStringLiteral("100%1").arg(between(100, 999)), m.salutation, QString(),
                               QString(), m.balance.toSql(), text(moment(i, counts.members))});
            members.push_back(m);
        }
        // Recharges and card payments are drawn in two runs, then booked in the order of their
        // moments, so that every card's records form one unbroken chain of balances.
        struct Movement {
            size_t member;
            Currency amount;
            QDateTime when;
            qint64 order = 0;
            bool payment = false;
            Currency before, after;
        };
        std::vector<Movement> recharges, payments;
        recharges.reserve(size_t(counts.recharges));
        payments.reserve(size_t(counts.consumptions));
        for (int i = 0; i < counts.recharges; ++i) {
            Movement r;
            r.member = rng() % members.size();
            r.amount = Currency::fromInt(between(1, 20) * 50);
            r.when = moment(i, counts.recharges);
            recharges.push_back(r);
        }
        for (int i = 0; i < counts.consumptions; ++i) {
            Movement p;
            p.member = rng() % members.size();
            p.amount = Currency::fromInt(between(1, 300)); // at most the balance, once it is known
            p.when = moment(i, counts.consumptions);
            p.order = between(1, std::max(1, counts.orders));
            p.payment = true;
            payments.push_back(p);
        }
        std::vector<Movement*> booked;
        booked.reserve(recharges.size() + payments.size());
        for (Movement& r : recharges)
            booked.push_back(&r);
        for (Movement& p : payments)
            booked.push_back(&p);
        std::stable_sort(booked.begin(), booked.end(),
                         [](const Movement* a, const Movement* b) { return a->when < b->when; });
        for (Movement* move : booked) {
            Member& m = members[move->member];
            move->before = m.balance;
            if (move->payment)
                move->amount = std::min(m.balance, move->amount);
            m.balance = move->payment ? m.balance - move->amount : m.balance + move->amount;
            move->after = m.balance;
        }
        Writer recharge(
            QStringLiteral("insert into ah (h1, h2, h3, h4, h5, h6, h7) values (?, ?, ?, ?, ?, ?, ?)"));
        for (const Movement& r : recharges) {
            const Member& m = members[r.member];
            recharge.run({m.name, r.amount.toSql(), text(r.when), r.before.toSql(), r.after.toSql(),
                          QString::number(m.id), m.salutation});
        }
        Writer spend(
            QStringLiteral("insert into ag (g1, g2, g3, g4, g5, g6, g7) values (?, ?, ?, ?, ?, ?, ?)"));
        for (const Movement& p : payments) {
            const Member& m = members[p.member];
            spend.run({m.name, p.amount.toSql(), text(p.when), p.after.toSql(), QString::number(p.order),
                       QString::number(m.id), m.salutation});
        }
        for (const Member& m : members)
            Db::exec(db, QStringLiteral("update aj set j9 = :a where jid = :b"),
                     {{":a", m.balance.toSql()}, {":b", m.id}});
        tx.commit();
    }
}

#include "ledger/demoshop.h"

#include "core/clock.h"
#include "core/errors.h"
#include "core/money.h"
#include "data/database.h"
#include "ledger/members.h"
#include "ledger/orders.h"
#include "ledger/products.h"
#include "ledger/settlement.h"
#include "ledger/stockin.h"

#include <QStringList>
#include <algorithm>
#include <random>
#include <vector>

namespace {

// One kind of goods: its categories and unit as the starter pick lists have them, and its sizes
// with their sale prices in yuan ("550ml:2" is a 550ml one at 2 yuan; "" a single size).
struct Kind {
    const char* major;
    const char* minor;
    const char* name;
    const char* unit;
    const char* sizes;
};

const Kind kinds[] = {
    {"食品", "零食", "五香瓜子", "袋", "200g:6.5|500g:14"},
    {"食品", "零食", "盐焗花生", "袋", "250g:7|500g:12.8"},
    {"食品", "零食", "原味薯片", "袋", "70g:6|135g:10.5"},
    {"食品", "零食", "牛肉干", "袋", "100g:22|250g:49"},
    {"食品", "零食", "话梅", "袋", "80g:5.5"},
    {"食品", "零食", "牛奶巧克力", "盒", "100g:15|200g:28"},
    {"食品", "零食", "水果糖", "袋", "250g:8.8"},
    {"食品", "饼干", "苏打饼干", "包", "100g:4.5|400g:13.5"},
    {"食品", "饼干", "巧克力夹心饼干", "包", "100g:5|300g:12"},
    {"食品", "饼干", "黄油曲奇", "盒", "454g:39|908g:72"},
    {"食品", "饼干", "鸡蛋卷", "盒", "300g:18.8"},
    {"食品", "方便食品", "红烧牛肉面", "袋", "5连包:13.5|单包:3"},
    {"食品", "方便食品", "桶装泡面", "个", "红烧味:4.5|酸菜味:4.5"},
    {"食品", "方便食品", "火腿肠", "包", "10支:12|5支:6.5"},
    {"食品", "方便食品", "八宝粥", "个", "360g:4"},
    {"食品", "方便食品", "速冻水饺", "袋", "猪肉白菜500g:16|三鲜500g:19"},
    {"食品", "其他", "东北大米", "袋", "5kg:42|10kg:79"},
    {"食品", "其他", "高筋面粉", "袋", "2.5kg:18|5kg:33"},
    {"食品", "其他", "花生油", "瓶", "1.8L:36|5L:89"},
    {"食品", "其他", "生抽酱油", "瓶", "500ml:8.5|1.9L:25"},
    {"食品", "其他", "陈醋", "瓶", "420ml:7.5"},
    {"食品", "其他", "精制食盐", "包", "400g:2.5"},
    {"食品", "其他", "白砂糖", "公斤", ":9.6"},
    {"食品", "其他", "土鸡蛋", "公斤", ":16"},
    {"食品", "其他", "挂面", "包", "1kg:8.9"},
    {"饮料", "矿泉水", "天然矿泉水", "瓶", "550ml:2|1.5L:4"},
    {"饮料", "矿泉水", "天然矿泉水整箱", "箱", "550ml×24瓶:36"},
    {"饮料", "矿泉水", "纯净水", "瓶", "555ml:1.5|4.5L:6.5"},
    {"饮料", "矿泉水", "苏打水", "瓶", "410ml:4"},
    {"饮料", "果汁", "鲜榨橙汁", "瓶", "450ml:5.5|1L:11"},
    {"饮料", "果汁", "苹果汁", "瓶", "1L:10.5"},
    {"饮料", "果汁", "葡萄汁", "盒", "250ml:3.5"},
    {"饮料", "果汁", "椰汁", "瓶", "245ml:4.5|1.25L:16"},
    {"饮料", "果汁", "芒果汁", "瓶", "450ml:5"},
    {"饮料", "其他", "可乐", "瓶", "500ml:3|2L:7"},
    {"饮料", "其他", "柠檬汽水", "瓶", "500ml:3"},
    {"饮料", "其他", "冰红茶", "瓶", "500ml:3.5"},
    {"饮料", "其他", "纯牛奶", "盒", "250ml:3.5|250ml×12盒:45"},
    {"饮料", "其他", "原味酸奶", "盒", "200g:5"},
    {"饮料", "其他", "绿茶", "盒", "250g:58|100g:26"},
    {"日用品", "洗化用品", "去屑洗发水", "瓶", "400ml:32|750ml:52"},
    {"日用品", "洗化用品", "沐浴露", "瓶", "500ml:29|1L:49"},
    {"日用品", "洗化用品", "薄荷牙膏", "个", "120g:9.9|180g:13.5"},
    {"日用品", "洗化用品", "软毛牙刷", "个", "单支:6.5|三支装:16"},
    {"日用品", "洗化用品", "洗衣液", "瓶", "2kg:29.9|3kg:42"},
    {"日用品", "洗化用品", "洗洁精", "瓶", "1.1kg:11.5"},
    {"日用品", "洗化用品", "香皂", "个", "125g:5.5"},
    {"日用品", "洗化用品", "洗衣粉", "袋", "1.5kg:16.8"},
    {"日用品", "纸品", "抽纸", "包", "3包装:12.9|单包:4.5"},
    {"日用品", "纸品", "卷纸", "包", "10卷:22|20卷:39"},
    {"日用品", "纸品", "湿巾", "包", "80片:9.9"},
    {"日用品", "纸品", "手帕纸", "包", "10小包:6"},
    {"日用品", "纸品", "厨房用纸", "包", "2卷:11.5"},
    {"日用品", "其他", "纯棉毛巾", "件", "34×76cm:15|70×140cm:45"},
    {"日用品", "其他", "长柄雨伞", "个", ":35"},
    {"日用品", "其他", "垃圾袋", "包", "50只:6.5"},
    {"日用品", "其他", "保鲜膜", "盒", "30m:12"},
    {"日用品", "其他", "塑料衣架", "套", "10个:15"},
    {"烟酒", "其他", "啤酒", "瓶", "500ml:4|330ml:3"},
    {"烟酒", "其他", "啤酒整箱", "箱", "500ml×12瓶:45"},
    {"烟酒", "其他", "白酒", "瓶", "42度500ml:68|52度500ml:128"},
    {"烟酒", "其他", "黄酒", "瓶", "500ml:15"},
    {"烟酒", "其他", "干红葡萄酒", "瓶", "750ml:88"},
    {"烟酒", "其他", "香烟", "盒", "软包:15|硬包:22"},
    {"文具", "其他", "中性笔", "个", "0.5mm黑:2.5|0.5mm红:2.5"},
    {"文具", "其他", "铅笔", "盒", "HB 12支:8"},
    {"文具", "其他", "笔记本", "个", "A5:6|B5:8.5"},
    {"文具", "其他", "橡皮", "个", ":1.5"},
    {"文具", "其他", "文件夹", "个", "A4:5"},
    {"文具", "其他", "透明胶带", "个", "48mm:4"},
    {"文具", "其他", "作业本", "包", "10本:7"},
    {"五金", "其他", "碱性电池", "包", "5号4节:12|7号4节:12"},
    {"五金", "其他", "节能灯泡", "个", "9W:12|15W:16"},
    {"五金", "其他", "插线板", "个", "3位1.8m:39|5位3m:59"},
    {"五金", "其他", "万能胶", "瓶", "30ml:6"},
    {"五金", "其他", "螺丝刀", "套", "6件:28"},
    {"五金", "其他", "电线", "米", "2.5平方:3.5"},
    {"五金", "其他", "卷尺", "个", "5m:12"},
    {"其他", "其他", "购物袋", "个", "大号:0.5|小号:0.3"},
    {"其他", "其他", "一次性杯子", "包", "50只:6"},
};

// Makers: each kind comes from two of them, so the shelf has a few of each.
const QStringList makers = {"金丰", "福源", "康乐", "鑫旺", "美佳", "华泰", "瑞祥", "宏兴"};

const QStringList surnames = {"王", "李", "张", "刘", "陈", "杨", "黄", "赵", "吴", "周",
                              "徐", "孙", "马", "朱", "胡", "郭", "何", "高", "林", "罗"};
const QStringList givenChars = {"伟", "芳", "娜", "敏", "静", "丽", "强", "磊", "军", "洋",
                                "勇", "艳", "杰", "娟", "涛", "明", "超", "秀", "霞", "平"};
const QStringList streets = {"幸福路", "人民路", "建设街", "解放路", "和平街", "新华路"};

struct Shelf {
    qint64 key;
    Currency price;
    bool byWeight; // sold by the kilogram or metre: larger quantities
};

struct Card {
    qint64 key;
    Currency balance;
};

// Restores what the filling changes for speed and for its moments, also when it stops on an error.
class Session {
public:
    Session() {
        // Generated data can be generated again: no waiting for the disk at every operation.
        Db::exec(Db::business(), QStringLiteral("PRAGMA synchronous=OFF"));
    }
    ~Session() {
        Clock::useSystem();
        try {
            Db::exec(Db::business(), QStringLiteral("PRAGMA synchronous=FULL"));
        } catch (...) {
        }
    }
};

} // namespace

DemoShop::Written DemoShop::fill(const Plan& plan, const Progress& progress) {
    Session session;
    std::mt19937 rng(plan.seed);
    auto between = [&rng](int lo, int hi) {
        return lo + int(rng() % unsigned(hi - lo + 1));
    };
    auto chance = [&rng](int percent) {
        return int(rng() % 100) < percent;
    };
    auto pick = [&rng](const QStringList& list) {
        return list[int(rng() % list.size())];
    };
    const int days = std::max(1, plan.days);
    const QDate first = plan.last.addDays(-(days - 1));
    auto at = [](const QDate& day, int minutes) {
        Clock::setFixed(QDateTime(day, QTime(0, 0).addSecs(minutes * 60)));
    };
    Written written;

    // The catalogue, entered on the first morning.
    std::vector<Shelf> shelf;
    at(first, 8 * 60);
    for (const Kind& kind : kinds) {
        const QString name = QString::fromUtf8(kind.name);
        const QString unit = QString::fromUtf8(kind.unit);
        const int firstMaker = between(0, int(makers.size()) - 1);
        for (int m = 0; m < 2; ++m) {
            const QString maker = makers[(firstMaker + m * 3) % makers.size()];
            for (const QString& size : QString::fromUtf8(kind.sizes).split(QLatin1Char('|'))) {
                const QString sizeName = size.section(QLatin1Char(':'), 0, 0);
                // The second maker's goods cost a little more or less.
                const Currency sale =
                    Currency::parse(size.section(QLatin1Char(':'), 1)) *
                    Currency::fromScaled(m == 0 ? Currency::Scale : Currency::Scale * between(90, 115) / 100);
                const Currency rounded = Currency::fromScaled(sale.scaled() / 1000 * 1000); // to 0.1 yuan
                Products::Fields f;
                f.major = QString::fromUtf8(kind.major);
                f.minor = QString::fromUtf8(kind.minor);
                f.name = maker + name + (sizeName.isEmpty() ? QString() : QLatin1Char(' ') + sizeName);
                f.unit = unit;
                f.sale = rounded;
                f.wholesale = Currency::fromScaled(rounded.scaled() * 9 / 10 / 100 * 100);
                f.cost = Currency::fromScaled(rounded.scaled() * 7 / 10 / 100 * 100);
                f.manufacturer = maker + QStringLiteral("食品有限公司");
                if (f.major != QStringLiteral("食品") && f.major != QStringLiteral("饮料"))
                    f.manufacturer = maker + QStringLiteral("实业有限公司");
                f.remark = sizeName.isEmpty() ? QStringLiteral("按%1计价").arg(unit) : QString();
                const qint64 key = Products::create(f, Currency());
                shelf.push_back(
                    {key, rounded, unit == QStringLiteral("公斤") || unit == QStringLiteral("米")});
                ++written.products;
            }
        }
    }

    std::vector<Card> cards;
    auto newMember = [&](const QDate& day) {
        at(day, between(9 * 60, 19 * 60));
        Members::Person p;
        p.name = pick(surnames) + pick(givenChars) + (chance(60) ? pick(givenChars) : QString());
        p.salutation = chance(50) ? QStringLiteral("先生") : QStringLiteral("女士");
        p.mobile = QStringLiteral("13%1").arg(between(100000000, 999999999));
        p.address = QStringLiteral("%1%2号").arg(pick(streets)).arg(between(1, 300));
        p.postcode = QStringLiteral("100%1").arg(between(10, 99), 3, 10, QLatin1Char('0'));
        const qint64 key = Members::create(p, Currency());
        ++written.members;
        // A new member puts money on the card at once.
        const Members::Recharged r = Members::recharge(key, Currency::fromInt(between(2, 10) * 100));
        ++written.recharges;
        cards.push_back({key, r.after});
    };

    std::vector<Currency> stock(shelf.size());
    auto deliver = [&](const QDate& day, size_t i, int quantity) {
        const StockIn::Received r = StockIn::receive(shelf[i].key, Currency::fromInt(quantity), day);
        stock[i] = r.stock;
        ++written.stockIns;
    };

    for (int d = 0; d < days; ++d) {
        const QDate day = first.addDays(d);
        // Deliveries early on Mondays and Thursdays (and on the first day, the whole shelf).
        if (d == 0 || day.dayOfWeek() == 1 || day.dayOfWeek() == 4) {
            at(day, 8 * 60 + between(0, 40));
            for (size_t i = 0; i < shelf.size(); ++i)
                if (d == 0 || stock[i] < Currency::fromInt(8))
                    deliver(day, i, shelf[i].byWeight ? between(30, 80) : between(15, 50));
        }
        // New members now and then, most in the first weeks.
        const int newcomers = d < 30 ? between(0, 2) : (chance(12) ? 1 : 0);
        for (int n = 0; n < newcomers; ++n)
            newMember(day);

        const bool weekend = day.dayOfWeek() >= 6;
        const int orders = between(weekend ? 5 : 3, weekend ? 10 : 7);
        std::vector<int> minutes(static_cast<size_t>(orders));
        for (int& m : minutes)
            m = between(9 * 60, 20 * 60 + 30);
        std::sort(minutes.begin(), minutes.end());
        for (int o = 0; o < orders; ++o) {
            at(day, minutes[size_t(o)]);
            const bool memberOrder = !cards.empty() && chance(30);
            const bool wholesale = !memberOrder && chance(5);
            const QString category = memberOrder
                                         ? QStringLiteral("会员订单")
                                         : (wholesale ? QStringLiteral("批发订单") : Orders::DefaultCategory);
            qint64 order = 0;
            Currency due;
            const int lines = between(1, wholesale ? 6 : 4);
            for (int l = 0; l < lines; ++l) {
                const size_t i = rng() % shelf.size();
                const int wanted =
                    wholesale ? between(5, 12) : (shelf[i].byWeight ? between(1, 3) : between(1, 2));
                const Currency quantity = std::min(stock[i], Currency::fromInt(wanted));
                if (quantity <= Currency())
                    continue; // sold out until the next delivery
                const Orders::LineAdded added = Orders::addLine(order, shelf[i].key, quantity, category);
                order = added.order;
                due = added.amountDue;
                stock[i] = stock[i] - quantity;
            }
            if (order == 0)
                continue;
            ++written.orders;
            // The last days' orders wait partly for their settlement; a few older ones too.
            const bool open = (d >= days - 2 && chance(40)) || chance(2);
            if (open)
                continue;
            at(day, minutes[size_t(o)] + 1);
            if (memberOrder) {
                Card& card = cards[rng() % cards.size()];
                if (card.balance < due) { // topped up at the counter before paying
                    const Currency topUp =
                        Currency::fromInt((due.scaled() / Currency::Scale / 100 + 2) * 100);
                    card.balance = Members::recharge(card.key, topUp).after;
                    ++written.recharges;
                }
                card.balance = Settlement::payByCard(order, card.key, due).balanceLeft;
                ++written.cardPayments;
            } else {
                Settlement::payCash(order, due);
            }
            ++written.settled;
        }
        // Some members top up their cards on an ordinary day.
        if (!cards.empty() && chance(15)) {
            Card& card = cards[rng() % cards.size()];
            at(day, between(10 * 60, 19 * 60));
            card.balance = Members::recharge(card.key, Currency::fromInt(between(1, 5) * 100)).after;
            ++written.recharges;
        }
        if (progress && !progress(d + 1, days)) {
            written.stopped = d + 1 < days;
            break;
        }
    }
    return written;
}

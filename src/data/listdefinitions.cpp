#include "data/listdefinitions.h"

namespace {

QList<ListDefinition> make() {
    auto S = [](const char* text) {
        return QString::fromUtf8(text);
    };
    QList<ListDefinition> lists;
    lists.append({S("products"),
                  S("产品与库存"),
                  S("Query_ab"),
                  S("ab"),
                  S("bid"),
                  S("b3"),
                  {{S("bid"), S("编号"), 60},
                   {S("b1"), S("大类"), 80},
                   {S("b2"), S("细类"), 80},
                   {S("b3"), S("产品名称"), 200},
                   {S("b4"), S("库存量"), 70},
                   {S("b5"), S("单位"), 70},
                   {S("b6"), S("成本价"), 80},
                   {S("b7"), S("批发价"), 80},
                   {S("b8"), S("销售价"), 80},
                   {S("b9"), S("合计"), 80},
                   {S("b14"), S("库存下限"), 70},
                   {S("b13"), S("条码"), 110},
                   {S("b15"), S("称重码"), 70}},
                  {}});
    lists.append({S("stock-in"),
                  S("入库记录"),
                  S("Query_ac"),
                  S("ac"),
                  S("cid"),
                  S("c2"),
                  {{S("cid"), S("入库单号"), 64},
                   {S("c1"), S("产品编号"), 60},
                   {S("c8"), S("大类"), 70},
                   {S("c9"), S("细类"), 70},
                   {S("c2"), S("产品名称"), 160},
                   {S("c3"), S("入库数量"), 60},
                   {S("c11"), S("单位"), 60},
                   {S("c4"), S("成本价"), 60},
                   {S("c5"), S("批发价"), 60},
                   {S("c6"), S("销售价"), 60},
                   {S("c12"), S("合计"), 60},
                   {S("c7"), S("入库时间"), 80}},
                  {}});
    lists.append({S("stock-out"),
                  S("出库记录"),
                  S("Query_ae"),
                  S("ae"),
                  S("eid"),
                  S("e2"),
                  {{S("e11"), S("相关订单号"), 80},
                   {S("e1"), S("产品编号"), 70},
                   {S("e8"), S("大类"), 70},
                   {S("e9"), S("细类"), 70},
                   {S("e2"), S("产品名称"), 200},
                   {S("e3"), S("出库数量"), 70},
                   {S("e12"), S("单位"), 50},
                   {S("e6"), S("销售价"), 60},
                   {S("e7"), S("出库时间"), 125}},
                  {}});
    lists.append({S("orders"),
                  S("订单"),
                  S("Query_aa"),
                  S("aa"),
                  S("aid"),
                  S("aid"),
                  {{S("a2"), S("状态"), 60},
                   {S("a4"), S("分类"), 80},
                   {S("aid"), S("订单编号"), 70},
                   {S("a5"), S("应收金额"), 80},
                   {S("a6"), S("实收金额"), 80},
                   {S("a1"), S("创建日期"), 140},
                   {S("a12"), S("退货"), 70}},
                  {}});
    lists.append({S("unsettled"),
                  S("未结算的订单（含备注）"),
                  S("Query_aa"),
                  S("aa"),
                  S("aid"),
                  S("aid"),
                  {{S("a2"), S("状态"), 60},
                   {S("a4"), S("分类"), 90},
                   {S("aid"), S("订单编号"), 70},
                   {S("a5"), S("应收金额"), 80},
                   {S("a6"), S("实收金额"), 80},
                   {S("a1"), S("创建日期"), 140},
                   {S("a3"), S("备注"), 260}},
                  S("a2='未结算'")});
    lists.append({S("members"),
                  S("会员"),
                  S("Query_aj"),
                  S("aj"),
                  S("jid"),
                  S("jid"),
                  {{S("jid"), S("会员卡号"), 80},
                   {S("j1"), S("会员名"), 110},
                   {S("j6"), S("称呼"), 60},
                   {S("j2"), S("手机"), 120},
                   {S("j9"), S("卡中余额"), 100},
                   {S("j10"), S("办卡时间"), 150}},
                  {}});
    lists.append({S("recharges"),
                  S("会员充值记录"),
                  S("Query_ah"),
                  S("ah"),
                  S("hid"),
                  S("h6"),
                  {{S("hid"), S("充值凭证号"), 90},
                   {S("h6"), S("会员卡号"), 80},
                   {S("h1"), S("会员名"), 110},
                   {S("h7"), S("称呼"), 60},
                   {S("h2"), S("充值金额"), 90},
                   {S("h5"), S("充值后余额"), 100},
                   {S("h4"), S("充值前余额"), 100},
                   {S("h3"), S("充值日期"), 150}},
                  {}});
    lists.append({S("payments"),
                  S("会员消费记录"),
                  S("Query_ag"),
                  S("ag"),
                  S("gid"),
                  S("g6"),
                  {{S("g5"), S("相关订单号"), 90},
                   {S("g6"), S("会员卡号"), 80},
                   {S("g1"), S("会员名"), 110},
                   {S("g7"), S("称呼"), 60},
                   {S("g2"), S("消费金额"), 90},
                   {S("g4"), S("卡中余额"), 100},
                   {S("g3"), S("消费日期"), 150}},
                  {}});
    return lists;
}

} // namespace

namespace ListDefinitions {

const QList<ListDefinition>& all() {
    static const QList<ListDefinition> lists = make();
    return lists;
}

const ListDefinition* find(const QString& name) {
    for (const ListDefinition& list : all())
        if (list.name == name)
            return &list;
    return nullptr;
}

const ListDefinition& get(const QString& name) {
    return *find(name);
}

} // namespace ListDefinitions

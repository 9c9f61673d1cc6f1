#include "settlement/settle.h"

#include "settlement/jiesuan.h"
#include "widgets/messages.h"

bool Settle::markSettled(const QString& sql, const Db::Params& params, const QString& number) {
    QSqlQuery update = Db::exec(Db::business(), sql, params);
    if (update.numRowsAffected() > 0)
        return true;
    const bool exists = Db::scalar(Db::business(), QStringLiteral("select count(*) from aa where aid=:a"),
                                   {{QStringLiteral(":a"), number}})
                            .toInt() > 0;
    Messages::information(exists ? Tjiesuan::AlreadySettled : QStringLiteral("找不到该订单，无法结算！"));
    return false;
}

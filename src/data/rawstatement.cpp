#include "data/rawstatement.h"

#include "core/errors.h"

#include <QSqlDriver>
#include <sqlite3.h>

namespace Db {

sqlite3* sqliteHandle(const QSqlDatabase& db) {
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0)
        return *static_cast<sqlite3* const*>(handle.constData());
    return nullptr;
}

sqlite3* requireSqlite(const QSqlDatabase& db) {
    if (sqlite3* handle = sqliteHandle(db))
        return handle;
    throw DatabaseError(QStringLiteral("Not a SQLite connection: %1").arg(db.connectionName()));
}

} // namespace Db

RawStatement::RawStatement(sqlite3* db, QByteArrayView sql) : m_db(db) {
    if (!m_db)
        throw DatabaseError(QStringLiteral("Not a SQLite connection"));
    if (sqlite3_prepare_v2(m_db, sql.constData(), int(sql.size()), &m_statement, nullptr) != SQLITE_OK)
        fail();
}

RawStatement::~RawStatement() {
    sqlite3_finalize(m_statement);
}

void RawStatement::bind(const Db::Params& params) {
    for (const auto& [name, value] : params) {
        const int at = sqlite3_bind_parameter_index(m_statement, name.toUtf8().constData());
        if (at == 0)
            continue;
        int rc = SQLITE_OK;
        if (value.isNull()) {
            rc = sqlite3_bind_null(m_statement, at);
        } else if (value.typeId() == QMetaType::LongLong || value.typeId() == QMetaType::Int) {
            rc = sqlite3_bind_int64(m_statement, at, value.toLongLong());
        } else if (value.typeId() == QMetaType::Double) {
            rc = sqlite3_bind_double(m_statement, at, value.toDouble());
        } else {
            const QByteArray text = value.toString().toUtf8();
            rc = sqlite3_bind_text(m_statement, at, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        }
        if (rc != SQLITE_OK)
            fail();
    }
}

bool RawStatement::next() {
    const int step = sqlite3_step(m_statement);
    if (step == SQLITE_ROW)
        return true;
    if (step != SQLITE_DONE)
        fail();
    return false;
}

void RawStatement::reset() {
    sqlite3_reset(m_statement);
}

int RawStatement::column(const QString& name) const {
    for (int i = 0; i < sqlite3_column_count(m_statement); ++i)
        if (name == QLatin1String(sqlite3_column_name(m_statement, i)))
            return i;
    return -1;
}

bool RawStatement::isNull(int column) const {
    return sqlite3_column_type(m_statement, column) == SQLITE_NULL;
}

QVariant RawStatement::value(int column) const {
    switch (sqlite3_column_type(m_statement, column)) {
    case SQLITE_INTEGER:
        return integer(column);
    case SQLITE_FLOAT:
        return number(column);
    case SQLITE_NULL:
        return {};
    default:
        return QString::fromUtf8(view(column));
    }
}

double RawStatement::number(int column) const {
    return sqlite3_column_double(m_statement, column);
}

qint64 RawStatement::integer(int column) const {
    return sqlite3_column_int64(m_statement, column);
}

QByteArray RawStatement::text(int column) const {
    return view(column).toByteArray();
}

QByteArrayView RawStatement::view(int column) const {
    const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
    return t ? QByteArrayView(t, sqlite3_column_bytes(m_statement, column)) : QByteArrayView();
}

void RawStatement::fail() const {
    throw DatabaseError(QString::fromUtf8(sqlite3_errmsg(m_db)),
                        QString::number(sqlite3_errcode(m_db) & 0xff));
}

// SQL sources: a parsed connection, and a reader per database that turns a query's rows into
// table records batch by batch. The complete Open and the incremental one share the readers.
#pragma once

#include "storage.h"

#include <QSqlDatabase>
#include <QString>

#include <memory>

namespace tessera::detail {

struct SqlTarget {
    QString driver; // QSQLITE or QPSQL
    QString database;
    QString host; // a name, an address or a socket folder
    int port = -1;
    QString user;
    QString password;
    QString options; // driver connect options, "key='value';..."
};

// Parses "sqlite://...", a plain SQLite path or "postgresql://...?..."; raises 3001 for a bad
// URL or an unknown parameter, 3002 for a missing SQLite file.
SqlTarget parseConnection(const QString &connection);

// A table name (optionally schema-qualified or double-quoted) becomes a query for its records.
QString queryFor(const QString &source);

// A connection of its own, closed and removed with the reader.
class SqlConnection {
public:
    explicit SqlConnection(const SqlTarget &target);
    ~SqlConnection();
    SqlConnection(const SqlConnection &) = delete;
    SqlConnection &operator=(const SqlConnection &) = delete;
    QSqlDatabase &db() { return m_db; }

private:
    QString m_name;
    QSqlDatabase m_db;
};

class SqlReader {
public:
    virtual ~SqlReader() = default;
    // Appends up to maxRows records to the table; false once the rows are exhausted.
    // Raises on failure (the records read so far stay).
    virtual bool fetch(Table &table, int maxRows) = 0;
};

// Runs the query and sets the table's fields. incremental: rows are read a batch at a time from
// a server-side cursor (PostgreSQL) or the stepping statement (SQLite) instead of all at once.
std::unique_ptr<SqlReader> openPostgres(
    std::unique_ptr<SqlConnection> connection, const QString &query, bool incremental, Table &t);
std::unique_ptr<SqlReader> openSqlite(
    std::unique_ptr<SqlConnection> connection, const QString &query, Table &t);

std::unique_ptr<SqlReader> openSql(
    const QString &source, const QString &connection, bool incremental, Table &t);

// Hands the rest of the reading to the event loop: a batch per turn, FetchProgress after each,
// FetchComplete at the end.
void startIncremental(Table &t, std::unique_ptr<SqlReader> reader);

// A field name not yet in the table: a repeated one gets its ordinal appended.
QString uniqueFieldName(const Table &t, const QString &name, int ordinal);

} // namespace tessera::detail

// Query results over Qt SQL: connections from URLs (PostgreSQL parameters checked and handed to
// the driver), table names as queries, the complete load, and the incremental one that reads a
// batch per event-loop turn and signals each.
#include "sql_source.h"

#include "recordset_p.h"

#include <QAtomicInteger>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>

namespace tessera::detail {

namespace {

QAtomicInteger<quint64> connectionCounter;

// Quoted for a libpq connection string, as the driver quotes its own values.
QString quoted(QString v)
{
    v.replace(u'\\', QLatin1String("\\\\"));
    v.replace(u'\'', QLatin1String("\\'"));
    return u'\'' + v + u'\'';
}

} // namespace

SqlTarget parseConnection(const QString &connection)
{
    SqlTarget t;
    const QString c = connection.trimmed();
    if (c.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive)
        || c.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive)) {
        const QUrl url(c);
        if (!url.isValid())
            raise(adErrInvalidArgument,
                QStringLiteral("The connection URL is not valid: %1").arg(url.errorString()));
        t.driver = QStringLiteral("QPSQL");
        t.host = url.host(QUrl::FullyDecoded);
        t.port = url.port(5432);
        t.user = url.userName(QUrl::FullyDecoded);
        t.password = url.password(QUrl::FullyDecoded);
        t.database = url.path(QUrl::FullyDecoded).mid(1);
        // Without a time limit a server that accepts and never answers would hang the load.
        QString timeout = QStringLiteral("10");
        QStringList options;
        static const QStringList passed = { QStringLiteral("sslmode"),
            QStringLiteral("sslrootcert"), QStringLiteral("sslcert"), QStringLiteral("sslkey"),
            QStringLiteral("application_name"), QStringLiteral("options") };
        for (const auto &[key, value] : QUrlQuery(url).queryItems(QUrl::FullyDecoded)) {
            const QString k = key.toLower();
            if (k == QLatin1String("host")) {
                t.host = value;
            } else if (k == QLatin1String("port")) {
                bool ok = false;
                t.port = value.toInt(&ok);
                if (!ok || t.port <= 0 || t.port > 65535)
                    raise(adErrInvalidArgument,
                        QStringLiteral("The port '%1' of the connection is not a port.")
                            .arg(value));
            } else if (k == QLatin1String("user")) {
                t.user = value;
            } else if (k == QLatin1String("password")) {
                t.password = value;
            } else if (k == QLatin1String("dbname")) {
                t.database = value;
            } else if (k == QLatin1String("connect_timeout")) {
                bool ok = false;
                const int seconds = value.toInt(&ok);
                if (!ok || seconds < 0)
                    raise(adErrInvalidArgument,
                        QStringLiteral("connect_timeout '%1' is not a number of seconds.")
                            .arg(value));
                timeout = QString::number(seconds);
            } else if (passed.contains(k)) {
                // The driver turns ';' between options into blanks, quoted or not.
                if (value.contains(u';'))
                    raise(adErrInvalidArgument,
                        QStringLiteral("The connection parameter '%1' may not hold ';'.").arg(key));
                options << k + u'=' + quoted(value);
            } else {
                raise(adErrInvalidArgument,
                    QStringLiteral("The connection parameter '%1' is not known.").arg(key));
            }
        }
        options.prepend(QStringLiteral("connect_timeout=") + timeout);
        t.options = options.join(u';');
        return t;
    }
    t.driver = QStringLiteral("QSQLITE");
    if (c.startsWith(QLatin1String("sqlite://"), Qt::CaseInsensitive))
        t.database = QUrl::fromPercentEncoding(c.mid(9).toUtf8());
    else
        t.database = c;
    if (t.database.isEmpty())
        raise(adErrInvalidArgument, QStringLiteral("The connection names no database file."));
    // A missing file would silently become a new, empty database.
    if (t.database != QLatin1String(":memory:") && !QFileInfo(t.database).isFile())
        raise(adErrOpeningFile, QStringLiteral("(%1)").arg(t.database));
    t.options = QStringLiteral("QSQLITE_OPEN_READONLY");
    return t;
}

QString queryFor(const QString &source)
{
    static const QRegularExpression name(QStringLiteral(
        R"(^\s*((?:[A-Za-z_][A-Za-z0-9_$]*|"(?:[^"]|"")+")(?:\.(?:[A-Za-z_][A-Za-z0-9_$]*|"(?:[^"]|"")+"))?)\s*$)"));
    const QRegularExpressionMatch m = name.match(source);
    if (!m.hasMatch())
        return source;
    // Words that start statements of their own are no table names.
    static const QStringList statements = { QStringLiteral("select"), QStringLiteral("values"),
        QStringLiteral("table"), QStringLiteral("with"), QStringLiteral("show"),
        QStringLiteral("explain"), QStringLiteral("pragma") };
    if (statements.contains(m.captured(1).toLower()))
        return source;
    return QStringLiteral("SELECT * FROM ") + m.captured(1);
}

QString uniqueFieldName(const Table &t, const QString &name, int ordinal)
{
    if (t.findColumn(name) < 0)
        return name;
    return name + u'_' + QString::number(ordinal);
}

SqlConnection::SqlConnection(const SqlTarget &target)
    : m_name(QStringLiteral("tessera_recordset_%1").arg(connectionCounter.fetchAndAddRelaxed(1)))
{
    m_db = QSqlDatabase::addDatabase(target.driver, m_name);
    if (!m_db.isValid()) {
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
        raise(adErrInvalidSource,
            QStringLiteral("The SQL driver %1 is not available.").arg(target.driver));
    }
    m_db.setDatabaseName(target.database);
    m_db.setConnectOptions(target.options);
    if (target.driver == QLatin1String("QPSQL")) {
        m_db.setHostName(target.host);
        m_db.setPort(target.port);
        m_db.setUserName(target.user);
        m_db.setPassword(target.password);
    }
    if (!m_db.open()) {
        const QString why = m_db.lastError().text().trimmed();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
        raise(adErrInvalidSource, QStringLiteral("Connection failed: %1").arg(why));
    }
}

SqlConnection::~SqlConnection()
{
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_name);
}

std::unique_ptr<SqlReader> openSql(
    const QString &source, const QString &connection, bool incremental, Table &t)
{
    if (source.trimmed().isEmpty())
        raise(adErrInvalidArgument, QStringLiteral("The query is empty."));
    const SqlTarget target = parseConnection(connection);
    const QString query = queryFor(source);
    auto conn = std::make_unique<SqlConnection>(target);
    if (target.driver == QLatin1String("QPSQL"))
        return openPostgres(std::move(conn), query, incremental, t);
    return openSqlite(std::move(conn), query, t);
}

std::shared_ptr<Table> loadSql(const QString &query, const QString &connection)
{
    auto table = std::make_shared<Table>();
    std::unique_ptr<SqlReader> reader = openSql(query, connection, false, *table);
    while (reader->fetch(*table, std::numeric_limits<int>::max())) { }
    return table;
}

// ---- incremental loading --------------------------------------------------------------------

namespace {

class IncrementalFetch final : public TableFetch,
                               public std::enable_shared_from_this<IncrementalFetch> {
public:
    IncrementalFetch(Table *t, std::unique_ptr<SqlReader> r)
        : table(t)
        , reader(std::move(r))
    {
    }

    void detach() override
    {
        table = nullptr;
        reader.reset();
    }
    bool running() const override { return reader != nullptr; }
    void cancel() override
    {
        if (reader)
            finish(adErrOperationCancelled, standardText(adErrOperationCancelled));
    }

    // Each turn of the event loop reads one batch, sized to take a few milliseconds, so that
    // painting and input keep their pace.
    void schedule()
    {
        std::weak_ptr<IncrementalFetch> weak = shared_from_this();
        QTimer::singleShot(0, table->eventsObject(), [weak] {
            if (const auto self = weak.lock())
                self->turn();
        });
    }

private:
    Table *table;
    std::unique_ptr<SqlReader> reader;
    int batch = 1000;

    void turn()
    {
        if (!table || !reader)
            return;
        const auto keep = shared_from_this(); // a slot may drop the records while we run
        bool more = false;
        QElapsedTimer clock;
        clock.start();
        try {
            more = reader->fetch(*table, batch);
        } catch (const Error &e) {
            finish(e.number(), e.description());
            return;
        }
        const qint64 ms = clock.elapsed();
        if (ms < 4)
            batch = std::min(batch * 2, 50000);
        else if (ms > 16)
            batch = std::max(batch / 2, 200);
        Q_EMIT table->eventsObject()->FetchProgress(table->rows);
        if (!table || !reader)
            return;
        if (more)
            schedule();
        else
            finish(0, QString());
    }

    void finish(int error, const QString &description)
    {
        reader.reset(); // the connection closes here
        if (table)
            Q_EMIT table->eventsObject()->FetchComplete(error, description);
    }
};

} // namespace

void startIncremental(Table &t, std::unique_ptr<SqlReader> reader)
{
    auto fetch = std::make_shared<IncrementalFetch>(&t, std::move(reader));
    t.fetch = fetch;
    fetch->schedule();
}

} // namespace tessera::detail

// Loading a query result over Qt SQL into a disconnected table: SQLite by file path or
// sqlite:// URL, PostgreSQL by postgresql:// URL. Each open uses its own connection name and
// removes the connection afterwards.
#include "recordset_p.h"

#include <QAtomicInteger>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlField>
#include <QSqlIndex>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUrl>

namespace tessera::detail {

namespace {

QAtomicInteger<quint64> connectionCounter;

struct Target {
    QString driver;
    QString database;
    QString host;
    int port = -1;
    QString user;
    QString password;
};

Target parseConnection(const QString &connection)
{
    Target t;
    const QString c = connection.trimmed();
    if (c.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive)
        || c.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive)) {
        const QUrl url(c);
        if (!url.isValid())
            raise(adErrInvalidArgument, QStringLiteral("The connection URL is not valid."));
        t.driver = QStringLiteral("QPSQL");
        t.host = url.host();
        t.port = url.port(5432);
        t.user = url.userName(QUrl::FullyDecoded);
        t.password = url.password(QUrl::FullyDecoded);
        t.database = url.path(QUrl::FullyDecoded).mid(1);
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
    return t;
}

FieldDef fieldFor(const QSqlField &f)
{
    FieldDef d;
    d.name = f.name();
    const int len = f.length() > 0 ? f.length() : 0;
    switch (f.metaType().id()) {
    case QMetaType::Bool:
        d.type = adBoolean;
        break;
    case QMetaType::Short:
    case QMetaType::UChar:
    case QMetaType::SChar:
    case QMetaType::Char:
        d.type = adSmallInt;
        break;
    case QMetaType::Int:
    case QMetaType::UShort:
        d.type = adInteger;
        break;
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
        d.type = adBigInt;
        break;
    case QMetaType::Float:
        d.type = adSingle;
        break;
    case QMetaType::Double:
        d.type = adDouble;
        break;
    case QMetaType::QDate:
    case QMetaType::QTime:
        d.type = adDate;
        break;
    case QMetaType::QDateTime:
        d.type = adDBTimeStamp;
        break;
    case QMetaType::QByteArray:
        d.type = adVarBinary;
        d.definedSize = len;
        break;
    case QMetaType::QUuid:
        d.type = adGUID;
        break;
    default:
        d.type = adVarWChar;
        d.definedSize = len;
        break;
    }
    d.attributes = adFldUpdatable;
    if (f.requiredStatus() != QSqlField::Required)
        d.attributes |= adFldIsNullable | adFldMayBeNull;
    if (f.isAutoValue())
        d.attributes |= adFldRowID;
    return d;
}

void store(Column &c, int row, const QVariant &v)
{
    const int id = v.metaType().id();
    switch (c.kind) {
    case Kind::Int:
        if (id == QMetaType::LongLong || id == QMetaType::Int) {
            const qint64 x = v.toLongLong();
            // SQLite integers may exceed what the declared type suggests: widen, keep the value.
            if (!inRange(c.def.type, x) && c.def.type != adBoolean) {
                c.def.type = adBigInt;
                c.def.definedSize = 8;
                c.def.precision = 19;
            }
            if (c.def.type == adBoolean)
                c.setInt(row, x != 0);
            else
                c.setInt(row, x);
            return;
        }
        break;
    case Kind::Real:
        if (id == QMetaType::Double) {
            c.setReal(row, v.toDouble());
            return;
        }
        break;
    case Kind::Text:
        if (id == QMetaType::QString) {
            QString s = v.toString();
            if (c.def.type != adGUID) {
                if (s.size() > c.def.definedSize && c.def.definedSize >= 0
                    && c.def.type == adVarWChar)
                    c.def.definedSize = qint32(s.size()); // sizes of untyped text are learnt
                c.setText(row, s);
                return;
            }
        }
        break;
    case Kind::Bytes:
        if (id == QMetaType::QByteArray) {
            const QByteArray b = v.toByteArray();
            if (b.size() > c.def.definedSize)
                c.def.definedSize = qint32(b.size());
            c.setBytes(row, b);
            return;
        }
        break;
    default:
        break;
    }
    c.setValue(row, v);
}

} // namespace

std::shared_ptr<Table> loadSql(const QString &query, const QString &connection)
{
    if (query.trimmed().isEmpty())
        raise(adErrInvalidArgument, QStringLiteral("The query is empty."));
    const Target target = parseConnection(connection);
    const QString name
        = QStringLiteral("tessera_recordset_%1").arg(connectionCounter.fetchAndAddRelaxed(1));
    auto table = std::make_shared<Table>();
    QString failure;
    int failNumber = 0;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(target.driver, name);
        if (!db.isValid()) {
            failNumber = adErrInvalidSource;
            failure = QStringLiteral("The SQL driver %1 is not available.").arg(target.driver);
        } else {
            db.setDatabaseName(target.database);
            if (target.driver == QLatin1String("QSQLITE")) {
                db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
            } else {
                db.setHostName(target.host);
                db.setPort(target.port);
                db.setUserName(target.user);
                db.setPassword(target.password);
            }
            if (!db.open()) {
                failNumber = adErrInvalidSource;
                failure = QStringLiteral("Connection failed: %1").arg(db.lastError().text());
            } else {
                try {
                    QSqlQuery q(db);
                    q.setForwardOnly(true);
                    if (!q.exec(query)) {
                        failNumber = adErrInvalidSource;
                        failure = QStringLiteral("Query failed: %1").arg(q.lastError().text());
                    } else if (!q.isSelect()) {
                        failNumber = adErrInvalidSource;
                        failure = QStringLiteral("The query returns no records.");
                    } else {
                        const QSqlRecord rec = q.record();
                        for (int f = 0; f < rec.count(); ++f) {
                            QSqlField field = rec.field(f);
                            FieldDef d = fieldFor(field);
                            // A query's record rarely knows NOT NULL and keys; its table does.
                            if (!field.tableName().isEmpty()) {
                                const QSqlRecord tableRec = db.record(field.tableName());
                                const int at = tableRec.indexOf(field.name());
                                if (at >= 0
                                    && tableRec.field(at).requiredStatus() == QSqlField::Required)
                                    d.attributes &= ~(adFldIsNullable | adFldMayBeNull);
                                if (db.primaryIndex(field.tableName()).contains(field.name()))
                                    d.attributes |= adFldKeyColumn;
                            }
                            if (table->findColumn(d.name) >= 0)
                                d.name += QLatin1Char('_') + QString::number(f);
                            normalizeDef(d);
                            table->columns.emplace_back(std::move(d));
                        }
                        while (q.next()) {
                            const int row = table->appendRow();
                            for (int f = 0; f < rec.count(); ++f) {
                                const QVariant v = q.value(f);
                                if (!v.isNull())
                                    store(table->columns[size_t(f)], row, v);
                            }
                        }
                        if (q.lastError().isValid()) {
                            failNumber = adErrInvalidSource;
                            failure
                                = QStringLiteral("Reading failed: %1").arg(q.lastError().text());
                        }
                    }
                } catch (const Error &e) {
                    failNumber = e.number();
                    failure = e.description();
                }
            }
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    if (failNumber == adErrInvalidSource)
        raise(adErrInvalidSource, failure);
    if (failNumber)
        throw Error(failNumber, failure, QStringLiteral("Recordset"));
    for (Column &c : table->columns)
        if (c.def.definedSize <= 0 && c.kind == Kind::Text)
            c.def.definedSize = 255;
    return table;
}

} // namespace tessera::detail

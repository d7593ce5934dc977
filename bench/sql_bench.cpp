// Recordset loading from SQL against Qt SQL's own reading, same data, same run:
//   sql_open_100k_pg / _sqlite: Open of a 100,000-row, 12-column articles table against a raw
//     forward-only QSqlQuery loop that reads every value (both connect, query and read);
//   sql_first_rows_1m: with incremental loading of a 1,000,000-row PostgreSQL table, the time
//     until a bound FlexGrid has painted its first screen, against a complete Open and the same
//     paint.
// PostgreSQL comes from TESSERA_PG_URL; without it the program runs itself again under
// tests/postgres/with-postgres.sh, which starts a throwaway server.
#include "bench_common.h"

#include <tessera/FlexGrid.h>
#include <tessera/Recordset.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QUrl>

#include <cstdio>
#include <functional>
#include <unistd.h>

using namespace tessera;

using tessera::bench::compare;

namespace {

double ms(const std::function<void()> &f)
{
    QElapsedTimer t;
    t.start();
    f();
    return double(t.nsecsElapsed()) / 1e6;
}

// Best of `runs`: the machine is shared, the minimum is the least disturbed figure.
double best(const std::function<void()> &f, int runs = 3)
{
    double m = ms(f);
    for (int k = 1; k < runs; ++k)
        m = std::min(m, ms(f));
    return m;
}

void exec(QSqlDatabase &db, const QString &sql)
{
    QSqlQuery q(db);
    if (!q.exec(sql))
        std::fprintf(
            stderr, "%s: %s\n", qPrintable(sql.left(80)), qPrintable(q.lastError().text()));
}

QSqlDatabase connect(const QString &name, const QString &url)
{
    if (url.startsWith(QLatin1String("postgresql://"))) {
        const QUrl u(url);
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(u.host());
        db.setPort(u.port());
        db.setDatabaseName(u.path().mid(1));
        db.setUserName(u.userName(QUrl::FullyDecoded));
        db.setPassword(u.password(QUrl::FullyDecoded));
        db.open();
        return db;
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(url);
    db.open();
    return db;
}

// The peer: connect, run the query forward only, read every value of every row.
double rawLoop(const QString &url, const QString &query, qint64 &values)
{
    values = 0;
    const double t = ms([&] {
        {
            QSqlDatabase db = connect(QStringLiteral("raw"), url);
            QSqlQuery q(db);
            q.setForwardOnly(true);
            q.exec(query);
            const int n = q.record().count();
            while (q.next())
                for (int f = 0; f < n; ++f)
                    values += q.value(f).isNull() ? 0 : 1;
        }
        QSqlDatabase::removeDatabase(QStringLiteral("raw"));
    });
    return t;
}

const char *articlesPg
    = "CREATE TABLE %1 (id integer PRIMARY KEY, code varchar(20) NOT NULL, name varchar(80), "
      "category text, qty bigint, price double precision, weight real, amount numeric(12,2), "
      "active boolean, created date, updated timestamp, photo bytea)";

const char *fillPg
    = "INSERT INTO %1 SELECT i, 'A' || lpad(i::text, 8, '0'), 'Articolo ' || i || ' città "
      "ünïcode', (ARRAY['Utensili','Ferramenta','Giardino','Elettrico'])[1 + i % 4], "
      "(i::bigint * 7919) % 100000, (i % 1000) / 7.0, (i % 500) / 3.0, ((i * 37) % 100000) / "
      "100.0, i % 3 = 0, DATE '2020-01-01' + i % 1500, TIMESTAMP '2020-01-01' + i * INTERVAL "
      "'17 seconds', CASE WHEN i % 10 = 0 THEN decode('00ff10', 'hex') END "
      "FROM generate_series(1, %2) i";

void firstRows(QSqlDatabase &db, const QString &url)
{
    exec(db, QStringLiteral("DROP TABLE IF EXISTS bench_articles_1m"));
    exec(db, QString::fromLatin1(articlesPg).arg(QLatin1String("bench_articles_1m")));
    const double fill = ms([&] {
        exec(db, QString::fromLatin1(fillPg).arg(QLatin1String("bench_articles_1m")).arg(1000000));
    });
    std::printf("1,000,000-row PostgreSQL table made in %.0f ms\n", fill);
    exec(db, QStringLiteral("VACUUM ANALYZE bench_articles_1m"));

    // Both sides: connect, load (all or the first batch), bind a grid, paint its first screen.
    QPixmap canvas(800, 600);
    auto paintFirstScreen = [&canvas](const RecordsetPtr &rs) {
        FlexGrid grid;
        grid.resize(800, 600);
        grid.setDataSource(rs);
        grid.render(&canvas);
        return grid.Rows();
    };
    int shownIncremental = 0, shownComplete = 0;
    const double incremental = best([&] {
        auto rs = std::make_shared<Recordset>();
        rs->OpenIncremental(QStringLiteral("bench_articles_1m"), url);
        shownIncremental = paintFirstScreen(rs);
        rs->Cancel();
    });
    const double complete = best(
        [&] {
            auto rs = std::make_shared<Recordset>();
            rs->Open(QStringLiteral("bench_articles_1m"), url);
            shownComplete = paintFirstScreen(rs);
        },
        2);
    std::printf("first screen: %d grid rows at once incrementally, %d after a complete Open\n",
        shownIncremental, shownComplete);
    compare("sql_first_rows_1m", "complete_open", incremental, complete, "ms");
    exec(db, QStringLiteral("DROP TABLE bench_articles_1m"));
}

void open100k(const char *metric, const QString &url, const QString &table)
{
    const QString query = QStringLiteral("SELECT * FROM ") + table;
    qint64 values = 0;
    int records = 0;
    const double ours = best([&] {
        Recordset rs;
        rs.Open(query, url);
        records = rs.RecordCount();
    });
    const double raw = best([&] { rawLoop(url, query, values); });
    std::printf("%s: %d records; the raw loop read %lld values\n", metric, records,
        static_cast<long long>(values));
    compare(metric, "qsqlquery", ours, raw, "ms");
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("TESSERA_PG_URL")
        && qEnvironmentVariableIsEmpty("TESSERA_PG_TRIED")) {
        // Run again beside a throwaway server.
        qputenv("TESSERA_PG_TRIED", "1");
        const QByteArray script = TESSERA_SOURCE_DIR "/tests/postgres/with-postgres.sh";
        std::vector<char *> args { const_cast<char *>("bash"), const_cast<char *>(script.data()) };
        for (int k = 0; k < argc; ++k)
            args.push_back(argv[k]);
        args.push_back(nullptr);
        execvp("bash", args.data());
        std::perror("with-postgres.sh");
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString pg = qEnvironmentVariable("TESSERA_PG_URL");
    const int n = 100000;

    QTemporaryDir dir;
    const QString lite = dir.filePath(QStringLiteral("articles.db"));
    {
        QSqlDatabase db = connect(QStringLiteral("setup_lite"), lite);
        exec(db,
            QStringLiteral("CREATE TABLE articles (id INTEGER PRIMARY KEY, code VARCHAR(20) NOT "
                           "NULL, name VARCHAR(80), category TEXT, qty BIGINT, price DOUBLE, "
                           "weight REAL, amount NUMERIC(12,2), active BOOLEAN, created DATE, "
                           "updated TIMESTAMP, photo BLOB)"));
        exec(db,
            QStringLiteral(
                "WITH RECURSIVE g(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM g WHERE i < %1) "
                "INSERT INTO articles SELECT i, 'A' || substr('0000000' || i, -8), 'Articolo ' "
                "|| i || ' città ünïcode', CASE i % 4 WHEN 0 THEN 'Utensili' WHEN 1 THEN "
                "'Ferramenta' WHEN 2 THEN 'Giardino' ELSE 'Elettrico' END, (i * 7919) % 100000, "
                "(i % 1000) / 7.0, (i % 500) / 3.0, ((i * 37) % 100000) / 100.0, i % 3 = 0, "
                "date('2020-01-01', '+' || (i % 1500) || ' days'), datetime('2020-01-01', '+' "
                "|| (i * 17) || ' seconds'), CASE WHEN i % 10 = 0 THEN x'00ff10' END FROM g")
                .arg(n));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("setup_lite"));

    open100k("sql_open_100k_sqlite", lite, QStringLiteral("articles"));
    if (pg.isEmpty()) {
        std::printf("no PostgreSQL server: sql_open_100k_pg and sql_first_rows_1m not measured\n");
        return 0;
    }
    {
        QSqlDatabase db = connect(QStringLiteral("setup_pg"), pg);
        exec(db, QStringLiteral("DROP TABLE IF EXISTS bench_articles"));
        exec(db, QString::fromLatin1(articlesPg).arg(QLatin1String("bench_articles")));
        exec(db, QString::fromLatin1(fillPg).arg(QLatin1String("bench_articles")).arg(n));
        exec(db, QStringLiteral("VACUUM ANALYZE bench_articles"));
        open100k("sql_open_100k_pg", pg, QStringLiteral("bench_articles"));
        exec(db, QStringLiteral("DROP TABLE bench_articles"));
        firstRows(db, pg);
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("setup_pg"));
    return 0;
}

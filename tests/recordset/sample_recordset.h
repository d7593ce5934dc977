// A small record set with every kind of field, and rowset XML documents made up in place, shared
// by the recordset tests.
#pragma once

#include <tessera/Recordset.h>

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QTest>

namespace tessera::test {

// ID  Name       Amount  Price  Born        Active  Note     [Full Name]
//  1  Anna        10.5   1.25   1990-05-01  True    x        Anna Rossi
//  2  bruno        3     2      1985-12-24  False   (null)   Bruno Neri
//  3  Carla       10.5   0.5    2001-09-01  True    y        (null)
//  4  O'Brien     -2     3.75   1999-12-31  False   (null)   Pat O'Brien
//  5  anna         7     1.25   2001-09-01  True    z        Anna Bassi
//  6  Dario      (null)  9.99   (null)      False   x        Dario Fo
//  7  Barbara     10.5   4      1970-01-01  True    (null)   Barbara Re
//  8  Ugo         100    0      2020-02-29  False   w        Ugo Tognazzi
inline RecordsetPtr sampleRecordset()
{
    auto rs = std::make_shared<Recordset>();
    Fields f = rs->Fields();
    f.Append(QStringLiteral("ID"), adInteger);
    f.Append(QStringLiteral("Name"), adVarWChar, 50);
    f.Append(QStringLiteral("Amount"), adDouble);
    f.Append(QStringLiteral("Price"), adCurrency);
    f.Append(QStringLiteral("Born"), adDate);
    f.Append(QStringLiteral("Active"), adBoolean);
    f.Append(QStringLiteral("Note"), adVarWChar, 10);
    f.Append(QStringLiteral("Full Name"), adVarWChar, 60);
    rs->Open();
    struct Row {
        int id;
        const char *name;
        QVariant amount;
        double price;
        QVariant born;
        bool active;
        const char *note;
        const char *full;
    };
    const QVariant null;
    const Row rows[] = {
        { 1, "Anna", 10.5, 1.25, QDate(1990, 5, 1), true, "x", "Anna Rossi" },
        { 2, "bruno", 3, 2, QDate(1985, 12, 24), false, nullptr, "Bruno Neri" },
        { 3, "Carla", 10.5, 0.5, QDate(2001, 9, 1), true, "y", nullptr },
        { 4, "O'Brien", -2, 3.75, QDate(1999, 12, 31), false, nullptr, "Pat O'Brien" },
        { 5, "anna", 7, 1.25, QDate(2001, 9, 1), true, "z", "Anna Bassi" },
        { 6, "Dario", null, 9.99, null, false, "x", "Dario Fo" },
        { 7, "Barbara", 10.5, 4, QDate(1970, 1, 1), true, nullptr, "Barbara Re" },
        { 8, "Ugo", 100, 0, QDate(2020, 2, 29), false, "w", "Ugo Tognazzi" },
    };
    for (const Row &r : rows) {
        rs->AddNew();
        rs->setCollect(QStringLiteral("ID"), r.id);
        rs->setCollect(QStringLiteral("Name"), QString::fromUtf8(r.name));
        rs->setCollect(QStringLiteral("Amount"), r.amount);
        rs->setCollect(QStringLiteral("Price"), r.price);
        rs->setCollect(QStringLiteral("Born"), r.born);
        rs->setCollect(QStringLiteral("Active"), r.active);
        rs->setCollect(QStringLiteral("Note"), r.note ? QVariant(QString::fromUtf8(r.note)) : null);
        rs->setCollect(
            QStringLiteral("Full Name"), r.full ? QVariant(QString::fromUtf8(r.full)) : null);
        rs->Update();
    }
    rs->MoveFirst();
    return rs;
}

// Values of one field over the current view, walking the cursor from the first record.
inline QList<QVariant> column(const RecordsetPtr &rs, const QString &field)
{
    QList<QVariant> out;
    if (rs->RecordCount() == 0)
        return out;
    rs->MoveFirst();
    while (!rs->EOF_()) {
        out << rs->Collect(field);
        rs->MoveNext();
    }
    return out;
}

// The ID field over the current view as ints.
inline QList<int> ids(const RecordsetPtr &rs)
{
    QList<int> out;
    for (const QVariant &v : column(rs, QStringLiteral("ID")))
        out << v.toInt();
    return out;
}

// A rowset XML document with the given field declarations and rows.
inline QByteArray document(const QByteArray &fields, const QByteArray &rows)
{
    return "<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882'"
           " xmlns:dt='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882'"
           " xmlns:rs='urn:schemas-microsoft-com:rowset' xmlns:z='#RowsetSchema'>"
           "<s:Schema id='RowsetSchema'><s:ElementType name='row' content='eltOnly'>"
        + fields + "</s:ElementType></s:Schema><rs:data>" + rows + "</rs:data></xml>";
}

// One field declaration of a rowset document; `extra` goes on its datatype.
inline QByteArray field(const char *name, const char *type, const QByteArray &extra = {})
{
    return QByteArray("<s:AttributeType name='") + name + "'><s:datatype dt:type='" + type + "'"
        + extra + "/></s:AttributeType>";
}

} // namespace tessera::test

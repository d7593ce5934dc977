// Rowset XML persistence.
// Writer: builds the text in a large byte buffer by hand (escaping and UTF-8 in one pass, numbers
// with std::to_chars) and streams it into a QSaveFile. Reader: QXmlStreamReader, schema first,
// then rows converted straight into a new table; pending insert/update/delete sections applied.
// Any fault raises before the caller's record set is touched.
#include "recordset_p.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStringDecoder>
#include <QUuid>
#include <QXmlStreamReader>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <map>
#include <string>

namespace tessera::detail {

namespace {

const QString nsS = QStringLiteral("uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882");
const QString nsDt = QStringLiteral("uuid:C2F41010-65B3-11d1-A29F-00AA00C14882");
const QString nsRs = QStringLiteral("urn:schemas-microsoft-com:rowset");
const QString nsZ = QStringLiteral("#RowsetSchema");

struct TypeInfo {
    const char *dt;
    const char *dbtype; // nullptr: none
};

TypeInfo typeInfo(DataTypeEnum t)
{
    switch (t) {
    case adSmallInt:
        return { "i2", nullptr };
    case adInteger:
        return { "int", nullptr };
    case adSingle:
        return { "r4", nullptr };
    case adDouble:
        return { "float", nullptr };
    case adCurrency:
        return { "number", "currency" };
    case adDate:
        return { "dateTime", "variantdate" };
    case adDBDate:
        return { "date", nullptr };
    case adDBTime:
        return { "time", nullptr };
    case adBoolean:
        return { "boolean", nullptr };
    case adDecimal:
        return { "number", "decimal" };
    case adTinyInt:
        return { "i1", nullptr };
    case adUnsignedTinyInt:
        return { "ui1", nullptr };
    case adBigInt:
        return { "i8", nullptr };
    case adGUID:
        return { "uuid", nullptr };
    case adBinary:
    case adVarBinary:
    case adLongVarBinary:
        return { "bin.hex", nullptr };
    case adChar:
    case adVarChar:
    case adLongVarChar:
        return { "string", "str" };
    case adNumeric:
        return { "number", "numeric" };
    case adDBTimeStamp:
        return { "dateTime", "timestamp" };
    default:
        return { "string", nullptr };
    }
}

bool hasPrecision(DataTypeEnum t)
{
    switch (t) {
    case adSmallInt:
    case adInteger:
    case adSingle:
    case adDouble:
    case adCurrency:
    case adDecimal:
    case adTinyInt:
    case adUnsignedTinyInt:
    case adBigInt:
    case adNumeric:
    case adDBTimeStamp:
    case adDBTime:
        return true;
    default:
        return false;
    }
}

// ---- writer -------------------------------------------------------------------------------

class Out {
public:
    explicit Out(QIODevice *dev)
        : m_dev(dev)
    {
        m_buf.resize(dev ? (1u << 22) : (1u << 16));
        m_p = m_buf.data();
        m_end = m_p + m_buf.size();
    }

    void raw(const char *s, size_t n)
    {
        need(n);
        std::memcpy(m_p, s, n);
        m_p += n;
    }
    void raw(const char *s) { raw(s, std::strlen(s)); }
    void ch(char c)
    {
        need(1);
        *m_p++ = c;
    }
    void integer(qint64 v)
    {
        need(24);
        m_p = std::to_chars(m_p, m_end, v).ptr;
    }
    void real(double v, bool single)
    {
        need(48);
        m_p = single ? std::to_chars(m_p, m_end, float(v)).ptr : std::to_chars(m_p, m_end, v).ptr;
    }
    void twoDigits(int v)
    {
        need(2);
        *m_p++ = char('0' + v / 10);
        *m_p++ = char('0' + v % 10);
    }

    // Attribute text: escaped, UTF-8. Returns false for characters XML 1.0 cannot carry.
    bool text(QStringView s)
    {
        const char16_t *p = reinterpret_cast<const char16_t *>(s.constData());
        const qsizetype n = s.size();
        need(size_t(n) * 6); // the longest escape per UTF-16 unit
        char *o = m_p;
        auto put = [&o](const char *e, int len) {
            std::memcpy(o, e, size_t(len));
            o += len;
        };
        bool ok = true;
        for (qsizetype k = 0; k < n && ok; ++k) {
            const char16_t c = p[k];
            if (c < 0x80) {
                if (c >= 0x20) {
                    switch (c) {
                    case u'&':
                        put("&amp;", 5);
                        break;
                    case u'<':
                        put("&lt;", 4);
                        break;
                    case u'>':
                        put("&gt;", 4);
                        break;
                    case u'\'':
                        put("&apos;", 6);
                        break;
                    case u'"':
                        put("&quot;", 6);
                        break;
                    default:
                        *o++ = char(c);
                    }
                } else if (c == u'\t') {
                    put("&#9;", 4);
                } else if (c == u'\n') {
                    put("&#10;", 5);
                } else if (c == u'\r') {
                    put("&#13;", 5);
                } else {
                    ok = false;
                }
            } else if (c < 0x800) {
                *o++ = char(0xC0 | (c >> 6));
                *o++ = char(0x80 | (c & 0x3F));
            } else if (c >= 0xD800 && c <= 0xDFFF) {
                if (c > 0xDBFF || k + 1 >= n || p[k + 1] < 0xDC00 || p[k + 1] > 0xDFFF) {
                    ok = false;
                    break;
                }
                const char32_t u = 0x10000 + ((char32_t(c) - 0xD800) << 10) + (p[k + 1] - 0xDC00);
                ++k;
                *o++ = char(0xF0 | (u >> 18));
                *o++ = char(0x80 | ((u >> 12) & 0x3F));
                *o++ = char(0x80 | ((u >> 6) & 0x3F));
                *o++ = char(0x80 | (u & 0x3F));
            } else if (c == 0xFFFE || c == 0xFFFF) {
                ok = false;
            } else {
                *o++ = char(0xE0 | (c >> 12));
                *o++ = char(0x80 | ((c >> 6) & 0x3F));
                *o++ = char(0x80 | (c & 0x3F));
            }
        }
        m_p = o;
        return ok;
    }

    void maybeFlush()
    {
        if (m_dev && size_t(m_p - m_buf.data()) >= (m_buf.size() >> 1))
            flush();
    }
    void flush()
    {
        const qint64 used = qint64(m_p - m_buf.data());
        if (!m_dev || used == 0)
            return;
        if (m_dev->write(m_buf.data(), used) != used)
            raise(adErrOpeningFile, QStringLiteral("Writing failed: %1").arg(m_dev->errorString()));
        m_written += used;
        m_p = m_buf.data();
    }
    QByteArray take() const { return QByteArray(m_buf.data(), qsizetype(m_p - m_buf.data())); }
    qint64 written() const { return m_written; }

private:
    QIODevice *m_dev;
    std::vector<char> m_buf;
    char *m_p = nullptr;
    char *m_end = nullptr;
    qint64 m_written = 0;

    void need(size_t n)
    {
        if (size_t(m_end - m_p) >= n)
            return;
        if (m_dev) {
            flush();
            if (size_t(m_end - m_p) >= n)
                return;
        }
        const size_t used = size_t(m_p - m_buf.data());
        m_buf.resize(std::max(m_buf.size() * 2, used + n));
        m_p = m_buf.data() + used;
        m_end = m_buf.data() + m_buf.size();
    }
};

bool plainName(const QString &name)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    static const QRegularExpression aliasLike(QStringLiteral("^[cC][0-9]+$"));
    // A real name that looks like an alias is aliased itself, so aliases never clash.
    return plain.match(name).hasMatch() && !aliasLike.match(name).hasMatch();
}

void writeDocument(Out &o, const Table &t, const std::vector<int> &rows)
{
    const size_t nf = t.columns.size();
    std::vector<std::string> keys(nf);
    o.raw("<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882'\n"
          "\txmlns:dt='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882'\n"
          "\txmlns:rs='urn:schemas-microsoft-com:rowset'\n"
          "\txmlns:z='#RowsetSchema'>\n"
          "<s:Schema id='RowsetSchema'>\n"
          "\t<s:ElementType name='row' content='eltOnly' rs:updatable='true'>\n");
    for (size_t f = 0; f < nf; ++f) {
        const FieldDef &d = t.columns[f].def;
        const qint32 a = d.attributes;
        o.raw("\t\t<s:AttributeType name='");
        if (plainName(d.name)) {
            keys[f] = d.name.toStdString();
            o.text(d.name);
            o.raw("'");
        } else {
            keys[f] = std::to_string(f);
            keys[f].insert(keys[f].begin(), 'c');
            o.raw(keys[f].data(), keys[f].size());
            o.raw("' rs:name='");
            if (!o.text(d.name))
                raise(adErrDataConversion,
                    QStringLiteral("The field name '%1' has characters XML cannot hold.")
                        .arg(d.name));
            o.raw("'");
        }
        o.raw(" rs:number='");
        o.integer(qint64(f) + 1);
        o.raw("'");
        if (a & adFldIsNullable)
            o.raw(" rs:nullable='true'");
        if (a & adFldMayDefer)
            o.raw(" rs:maydefer='true'");
        if (a & adFldUpdatable)
            o.raw(" rs:write='true'");
        if (a & adFldUnknownUpdatable)
            o.raw(" rs:writeunknown='true'");
        if (a & adFldKeyColumn)
            o.raw(" rs:keycolumn='true'");
        if (a & adFldRowID)
            o.raw(" rs:rowid='true'");
        o.raw(">\n\t\t\t<s:datatype dt:type='");
        const TypeInfo ti = typeInfo(d.type);
        o.raw(ti.dt);
        o.raw("'");
        if (ti.dbtype) {
            o.raw(" rs:dbtype='");
            o.raw(ti.dbtype);
            o.raw("'");
        }
        o.raw(" dt:maxLength='");
        o.integer(d.definedSize);
        o.raw("'");
        if (hasPrecision(d.type) || d.precision) {
            o.raw(" rs:precision='");
            o.integer(d.precision);
            o.raw("'");
        }
        if (d.type == adDecimal || d.type == adNumeric || d.scale) {
            o.raw(" rs:scale='");
            o.integer(d.scale);
            o.raw("'");
        }
        if (a & adFldFixed)
            o.raw(" rs:fixedlength='true'");
        if (a & adFldLong)
            o.raw(" rs:long='true'");
        if (!(a & adFldMayBeNull))
            o.raw(" rs:maybenull='false'");
        o.raw("/>\n\t\t</s:AttributeType>\n");
    }
    o.raw("\t\t<s:extends type='rs:rowbase'/>\n\t</s:ElementType>\n</s:Schema>\n");
    if (rows.empty()) {
        o.raw("<rs:data/>\n</xml>\n");
        return;
    }
    o.raw("<rs:data>\n");
    for (const int r : rows) {
        o.raw("\t<z:row");
        for (size_t f = 0; f < nf; ++f) {
            const Column &c = t.columns[f];
            if (c.isNull(r))
                continue;
            o.ch(' ');
            o.raw(keys[f].data(), keys[f].size());
            o.raw("='", 2);
            const size_t x = size_t(r);
            switch (c.kind) {
            case Kind::Int:
                if (c.def.type == adBoolean)
                    o.raw(c.ints[x] ? "True" : "False");
                else
                    o.integer(c.ints[x]);
                break;
            case Kind::Real:
                // XML Schema's forms, which the reader takes back.
                if (std::isnan(c.reals[x]))
                    o.raw("NaN");
                else if (std::isinf(c.reals[x]))
                    o.raw(c.reals[x] > 0 ? "INF" : "-INF");
                else
                    o.real(c.reals[x], c.def.type == adSingle);
                break;
            case Kind::Decimal: {
                const QStringView v = c.text(r);
                char buf[128];
                if (v.size() < qsizetype(sizeof buf)) {
                    for (qsizetype k = 0; k < v.size(); ++k)
                        buf[k] = char(v[k].unicode());
                    o.raw(buf, size_t(v.size()));
                } else {
                    o.text(v);
                }
                break;
            }
            case Kind::Currency: {
                const qint64 u = c.ints[x];
                if (u % 10000 == 0)
                    o.integer(u / 10000);
                else
                    o.raw(currencyText(u).toLatin1().constData());
                break;
            }
            case Kind::Date: {
                const QString v = dateText(c.def.type, c.ints[x]);
                if (v.isEmpty())
                    raise(adErrDataConversion,
                        QStringLiteral("Field '%1': the date cannot be written.").arg(c.def.name));
                o.raw(v.toLatin1().constData(), size_t(v.size()));
                break;
            }
            case Kind::Text:
                if (!o.text(c.text(r)))
                    raise(adErrDataConversion,
                        QStringLiteral("Field '%1' holds characters XML cannot hold.")
                            .arg(c.def.name));
                break;
            case Kind::Bytes: {
                static const char hex[] = "0123456789abcdef";
                for (const char b : c.bytes[x]) {
                    o.ch(hex[(uchar(b) >> 4) & 15]);
                    o.ch(hex[uchar(b) & 15]);
                }
                break;
            }
            }
            o.ch('\'');
        }
        o.raw("/>\n", 3);
        o.maybeFlush();
    }
    o.raw("</rs:data>\n</xml>\n");
}

// ---- reader -------------------------------------------------------------------------------

[[noreturn]] void bad(const QXmlStreamReader &xr, const QString &what)
{
    raise(adErrInvalidSource,
        QStringLiteral("Source XML is incomplete or invalid (line %1): %2")
            .arg(xr.lineNumber())
            .arg(what));
}

bool truthAttr(QStringView v)
{
    return v.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || v == QLatin1String("1")
        || v == QLatin1String("-1");
}

struct SchemaField {
    FieldDef def;
    QString key; // the attribute name used by rows
    qint64 number = 0;
    int order = 0;
};

DataTypeEnum typeFrom(QStringView dt, QStringView dbtype, bool fixed, bool isLong, qint32 maxLength)
{
    const auto is = [](QStringView a, const char *b) {
        return a.compare(QLatin1String(b), Qt::CaseInsensitive) == 0;
    };
    if (dt.isEmpty() || is(dt, "string") || is(dt, "char")) {
        const bool narrow = is(dbtype, "str");
        if (isLong || maxLength >= 1073741823)
            return narrow ? adLongVarChar : adLongVarWChar;
        if (fixed)
            return narrow ? adChar : adWChar;
        return narrow ? adVarChar : adVarWChar;
    }
    if (is(dt, "i1"))
        return adTinyInt;
    if (is(dt, "ui1"))
        return adUnsignedTinyInt;
    if (is(dt, "i2"))
        return adSmallInt;
    if (is(dt, "ui2") || is(dt, "int") || is(dt, "i4"))
        return adInteger;
    if (is(dt, "i8") || is(dt, "ui4") || is(dt, "ui8"))
        return adBigInt;
    if (is(dt, "r4"))
        return adSingle;
    if (is(dt, "float") || is(dt, "r8"))
        return adDouble;
    if (is(dt, "number") || is(dt, "fixed.14.4")) {
        if (is(dbtype, "currency") || is(dt, "fixed.14.4"))
            return adCurrency;
        if (is(dbtype, "decimal"))
            return adDecimal;
        return adNumeric;
    }
    if (is(dt, "date"))
        return adDBDate;
    if (is(dt, "time") || is(dt, "time.tz"))
        return adDBTime;
    if (is(dt, "dateTime") || is(dt, "dateTime.tz"))
        return is(dbtype, "timestamp") ? adDBTimeStamp : adDate;
    if (is(dt, "boolean"))
        return adBoolean;
    if (is(dt, "uuid"))
        return adGUID;
    if (is(dt, "bin.hex") || is(dt, "bin.base64"))
        return fixed ? adBinary : isLong ? adLongVarBinary : adVarBinary;
    return adEmpty;
}

class Reader {
public:
    explicit Reader(const QByteArray &data)
        : raw(data)
        , xr(data)
    {
    }

    std::shared_ptr<Table> run()
    {
        t = std::make_shared<Table>();
        while (!xr.atEnd()) {
            const auto tok = xr.readNext();
            if (tok == QXmlStreamReader::DTD)
                bad(xr, QStringLiteral("document type declarations are not accepted"));
            if (tok == QXmlStreamReader::EntityReference)
                bad(xr, QStringLiteral("entity references are not accepted"));
            if (tok != QXmlStreamReader::StartElement)
                continue;
            if (xr.name() != QLatin1String("xml") || !xr.namespaceUri().isEmpty())
                bad(xr, QStringLiteral("the root element is not <xml>"));
            for (const QXmlStreamNamespaceDeclaration &ns : xr.namespaceDeclarations()) {
                if (ns.namespaceUri() == nsZ)
                    zPrefix = ns.prefix().toUtf8();
                else if (ns.namespaceUri() == nsRs)
                    rsPrefix = ns.prefix().toUtf8();
            }
            readRoot();
            if (fastDone)
                return t;
            // The rest may hold comments and white space only.
            while (!xr.atEnd() && !xr.hasError())
                xr.readNext();
            break;
        }
        if (xr.hasError())
            bad(xr, xr.errorString());
        if (!haveSchema)
            bad(xr, QStringLiteral("the schema is missing"));
        return t;
    }

private:
    const QByteArray &raw;
    QXmlStreamReader xr;
    std::shared_ptr<Table> t;
    QByteArray zPrefix, rsPrefix; // as declared on the root element
    bool fastDone = false;
    QString scratch, scratchDecimal;
    bool haveSchema = false;
    std::vector<quint8> base64;
    std::vector<qint64> keyColumns;
    std::vector<QString> keys;

    // Skips the current element. Rowset files nest a handful of levels, so elements nested far
    // deeper are taken for a hostile file rather than read on.
    void skipElement()
    {
        static constexpr int maxDepth = 256;
        int depth = 1;
        while (depth > 0 && !xr.atEnd()) {
            const auto tok = xr.readNext();
            if (tok == QXmlStreamReader::StartElement) {
                if (++depth > maxDepth)
                    bad(xr, QStringLiteral("elements are nested more than %1 deep").arg(maxDepth));
            } else if (tok == QXmlStreamReader::EndElement) {
                --depth;
            } else if (tok == QXmlStreamReader::EntityReference) {
                bad(xr, QStringLiteral("entity references are not accepted"));
            }
        }
        if (xr.hasError())
            bad(xr, xr.errorString());
    }

    void readRoot()
    {
        while (xr.readNextStartElement()) {
            if (xr.namespaceUri() == nsS && xr.name() == QLatin1String("Schema")) {
                readSchema();
            } else if (xr.namespaceUri() == nsRs && xr.name() == QLatin1String("data")) {
                if (!haveSchema)
                    bad(xr, QStringLiteral("records come before the schema"));
                if (fastData()) {
                    fastDone = true;
                    return;
                }
                readData();
            } else {
                skipElement();
            }
        }
        if (xr.hasError())
            bad(xr, xr.errorString());
    }

    // ---- quick path for plain records ------------------------------------------------------
    // Files as saved (UTF-8, rows with plain attributes, nothing but rows in the data section)
    // are read straight from the bytes. Anything else - comments, pending changes, undeclared
    // attributes, unusual entities, a value that does not convert - drops back to the full
    // reader, which starts the data section again and reports faults precisely.

    static bool space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

    // Decodes an attribute value into `scratch` as the XML reader would.
    bool decodeValue(const char *s, const char *e)
    {
        scratch.resize(e - s);
        char16_t *o = reinterpret_cast<char16_t *>(scratch.data());
        char16_t *const start = o;
        while (s < e) {
            const uchar c = uchar(*s);
            if (c >= 0x20 && c < 0x80 && c != '&' && c != '<') {
                *o++ = c;
                ++s;
            } else if (c == '\t' || c == '\n') {
                *o++ = u' ';
                ++s;
            } else if (c == '\r') {
                *o++ = u' ';
                ++s;
                if (s < e && *s == '\n')
                    ++s;
            } else if (c == '&') {
                const char *semi = static_cast<const char *>(std::memchr(s, ';', size_t(e - s)));
                if (!semi)
                    return false;
                const QByteArrayView ent(s + 1, semi - s - 1);
                char32_t u = 0;
                if (ent == "amp")
                    u = '&';
                else if (ent == "lt")
                    u = '<';
                else if (ent == "gt")
                    u = '>';
                else if (ent == "apos")
                    u = '\'';
                else if (ent == "quot")
                    u = '"';
                else if (ent.size() > 1 && ent[0] == '#') {
                    const bool hex = ent[1] == 'x';
                    const QByteArray digits = QByteArray::fromRawData(
                        ent.data() + (hex ? 2 : 1), ent.size() - (hex ? 2 : 1));
                    bool ok = !digits.isEmpty() && digits.size() <= 8
                        && std::all_of(digits.begin(), digits.end(), [hex](char ch) {
                               return hex ? std::isxdigit(uchar(ch)) != 0
                                          : (ch >= '0' && ch <= '9');
                           });
                    if (ok)
                        u = char32_t(digits.toUInt(&ok, hex ? 16 : 10));
                    if (!ok
                        || !(u == 9 || u == 10 || u == 13 || (u >= 0x20 && u <= 0xD7FF)
                            || (u >= 0xE000 && u <= 0xFFFD) || (u >= 0x10000 && u <= 0x10FFFF)))
                        return false;
                } else {
                    return false;
                }
                if (u >= 0x10000) {
                    *o++ = char16_t(0xD800 + ((u - 0x10000) >> 10));
                    *o++ = char16_t(0xDC00 + ((u - 0x10000) & 0x3FF));
                } else {
                    *o++ = char16_t(u);
                }
                s = semi + 1;
            } else if (c >= 0x80) {
                // A run of non-ASCII bytes: decoded strictly.
                const char *r = s;
                while (r < e && uchar(*r) >= 0x80)
                    ++r;
                QStringDecoder dec(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
                const QString part = dec(QByteArrayView(s, r - s));
                if (dec.hasError())
                    return false;
                for (const QChar ch : part) {
                    if (ch.unicode() == 0xFFFE || ch.unicode() == 0xFFFF)
                        return false;
                    *o++ = ch.unicode();
                }
                s = r;
            } else {
                return false; // '<' or a control character
            }
        }
        scratch.resize(o - start);
        return true;
    }

    bool fastData()
    {
        if (zPrefix.isEmpty() || rsPrefix.isEmpty() || t->rows != 0)
            return false;
        const QStringView enc = xr.documentEncoding();
        if (!(enc.isEmpty() || enc.compare(QLatin1String("UTF-8"), Qt::CaseInsensitive) == 0))
            return false;
        const char *d = raw.constData();
        const qsizetype n = raw.size();
        if (n >= 3 && uchar(d[0]) == 0xEF && uchar(d[1]) == 0xBB && uchar(d[2]) == 0xBF)
            return false;
        // The reader counts UTF-16 units; walk the bytes to the same place.
        const qint64 units = xr.characterOffset();
        qint64 u = 0;
        qsizetype b = 0;
        while (u < units && b < n) {
            const uchar c = uchar(d[b]);
            const int len = c < 0x80 ? 1
                : (c >> 5) == 6      ? 2
                : (c >> 4) == 14     ? 3
                : (c >> 3) == 30     ? 4
                                     : 1;
            u += len == 4 ? 2 : 1;
            b += len;
        }
        const QByteArray open = '<' + rsPrefix + ":data>";
        if (u != units || b < open.size()
            || QByteArrayView(d + b - open.size(), open.size()) != open)
            return false;

        std::vector<QByteArray> names;
        for (const QString &k : keys)
            names.push_back(k.toUtf8());
        const QByteArray rowTag = '<' + zPrefix + ":row";
        const QByteArray rowEnd = "</" + zPrefix + ":row";
        const QByteArray dataEnd = "</" + rsPrefix + ":data";
        std::vector<quint8> seen(names.size());
        const char *p = d + b;
        const char *const e = d + n;
        const char *const first = p;
        auto at = [&](const QByteArray &w) {
            return e - p >= w.size() && std::memcmp(p, w.constData(), size_t(w.size())) == 0;
        };
        auto skip = [&] {
            while (p < e && space(*p))
                ++p;
        };
        auto fail = [&] {
            for (Column &c : t->columns) {
                Column fresh(c.def);
                c = std::move(fresh);
            }
            t->rows = 0;
            t->deleted.clear();
            return false;
        };
        for (;;) {
            skip();
            if (at(dataEnd)) {
                p += dataEnd.size();
                skip();
                if (p == e || *p != '>')
                    return fail();
                ++p;
                skip();
                static const QByteArray rootEnd("</xml");
                if (!at(rootEnd))
                    return fail();
                p += rootEnd.size();
                skip();
                if (p == e || *p != '>')
                    return fail();
                ++p;
                skip();
                return p == e ? true : fail();
            }
            if (!at(rowTag))
                return fail();
            p += rowTag.size();
            if (p == e || !(space(*p) || *p == '/' || *p == '>'))
                return fail();
            const int row = t->appendRow();
            if (row == 1024) {
                // Room for the rest, judged by the bytes the first records took.
                const qint64 perRow = std::max<qint64>(1, (p - first) / 1024);
                t->reserve(size_t((e - p) / perRow + 1024));
            }
            std::fill(seen.begin(), seen.end(), quint8(0));
            int hint = 0;
            for (;;) {
                skip();
                if (p == e)
                    return fail();
                if (*p == '/') {
                    if (e - p < 2 || p[1] != '>')
                        return fail();
                    p += 2;
                    break;
                }
                if (*p == '>') {
                    ++p;
                    skip();
                    if (!at(rowEnd))
                        return fail();
                    p += rowEnd.size();
                    skip();
                    if (p == e || *p != '>')
                        return fail();
                    ++p;
                    break;
                }
                const char *nameStart = p;
                while (p < e && !space(*p) && *p != '=' && *p != '>' && *p != '/' && *p != '<'
                    && *p != ':' && *p != '"' && *p != '\'')
                    ++p;
                const QByteArrayView name(nameStart, p - nameStart);
                skip();
                if (name.isEmpty() || p == e || *p != '=')
                    return fail();
                ++p;
                skip();
                if (p == e || (*p != '\'' && *p != '"'))
                    return fail();
                const char quote = *p++;
                const char *valueEnd
                    = static_cast<const char *>(std::memchr(p, quote, size_t(e - p)));
                if (!valueEnd)
                    return fail();
                int f = -1;
                const int count = int(names.size());
                if (hint < count && names[size_t(hint)] == name)
                    f = hint;
                for (int k = 0; f < 0 && k < count; ++k)
                    if (names[size_t(k)] == name)
                        f = k;
                if (f < 0 || seen[size_t(f)] || !decodeValue(p, valueEnd)
                    || !convert(t->columns[size_t(f)], row, scratch, size_t(f)))
                    return fail();
                seen[size_t(f)] = 1;
                hint = f + 1;
                p = valueEnd + 1;
                if (p < e && !(space(*p) || *p == '/' || *p == '>'))
                    return fail();
            }
        }
    }

    void readSchema()
    {
        if (haveSchema)
            bad(xr, QStringLiteral("a second schema"));
        std::vector<SchemaField> fields;
        while (xr.readNextStartElement()) {
            if (xr.namespaceUri() != nsS || xr.name() != QLatin1String("ElementType")) {
                skipElement();
                continue;
            }
            while (xr.readNextStartElement()) {
                if (xr.namespaceUri() == nsS && xr.name() == QLatin1String("AttributeType"))
                    fields.push_back(readField(int(fields.size())));
                else
                    skipElement();
            }
        }
        if (xr.hasError())
            bad(xr, xr.errorString());
        std::stable_sort(fields.begin(), fields.end(),
            [](const SchemaField &a, const SchemaField &b) { return a.number < b.number; });
        for (const SchemaField &f : fields) {
            for (const QString &k : keys)
                if (k == f.key)
                    bad(xr, QStringLiteral("the field '%1' is declared twice").arg(f.key));
            if (t->findColumn(f.def.name) >= 0)
                bad(xr, QStringLiteral("the field name '%1' is used twice").arg(f.def.name));
            keys.push_back(f.key);
            t->columns.emplace_back(f.def);
        }
        base64.assign(fields.size(), 0);
        for (size_t k = 0; k < fields.size(); ++k) {
            base64[k] = quint8(fields[k].def.precision == 255); // marker set by readField
            if (base64[k])
                t->columns[k].def.precision = 0;
            if (fields[k].def.attributes & adFldKeyColumn)
                keyColumns.push_back(qint64(k));
        }
        haveSchema = true;
    }

    SchemaField readField(int order)
    {
        SchemaField f;
        f.order = order;
        const QXmlStreamAttributes at = xr.attributes();
        std::map<QString, QString> a; // merged attributes of AttributeType and datatype
        auto take = [&a](const QXmlStreamAttributes &list) {
            for (const QXmlStreamAttribute &x : list)
                a[x.namespaceUri().toString() + QLatin1Char('|') + x.name().toString()]
                    = x.value().toString();
        };
        take(at);
        while (xr.readNextStartElement()) {
            if (xr.namespaceUri() == nsS && xr.name() == QLatin1String("datatype"))
                take(xr.attributes());
            skipElement();
        }
        auto get = [&a](const QString &ns, const char *name) {
            const auto it = a.find(ns + QLatin1Char('|') + QLatin1String(name));
            return it == a.end() ? QString() : it->second;
        };
        auto flag = [&](const QString &ns, const char *name) { return truthAttr(get(ns, name)); };
        f.key = get(QString(), "name");
        if (f.key.isEmpty())
            bad(xr, QStringLiteral("a field has no name"));
        const QString real = get(nsRs, "name");
        f.def.name = real.isEmpty() ? f.key : real;
        bool ok = true;
        const QString number = get(nsRs, "number");
        f.number = number.isEmpty() ? qint64(order) + (1ll << 40) : number.toLongLong(&ok);
        if (!ok)
            bad(xr, QStringLiteral("rs:number of '%1' is not a number").arg(f.key));
        const QString maxLen = get(nsDt, "maxLength");
        qint64 size = maxLen.isEmpty() ? 0 : maxLen.toLongLong(&ok);
        if (!ok || size < 0 || size > 2147483647)
            bad(xr, QStringLiteral("dt:maxLength of '%1' is not a size").arg(f.key));
        const bool fixed = flag(nsRs, "fixedlength");
        const bool isLong = flag(nsRs, "long");
        const QString dt = get(nsDt, "type");
        f.def.type = typeFrom(dt, get(nsRs, "dbtype"), fixed, isLong, qint32(size));
        if (f.def.type == adEmpty)
            bad(xr, QStringLiteral("the type '%1' of '%2' is not known").arg(dt, f.key));
        f.def.definedSize = size > 0 ? qint32(size) : defaultSize(f.def.type);
        const int prec = get(nsRs, "precision").toInt();
        const int scale = get(nsRs, "scale").toInt();
        f.def.precision = quint8(std::clamp(prec, 0, 254));
        f.def.scale = quint8(std::clamp(scale, 0, 254));
        if (dt.compare(QLatin1String("bin.base64"), Qt::CaseInsensitive) == 0)
            f.def.precision = 255;
        qint32 attrs = 0;
        if (flag(nsRs, "nullable"))
            attrs |= adFldIsNullable;
        if (flag(nsRs, "maydefer"))
            attrs |= adFldMayDefer;
        if (flag(nsRs, "write"))
            attrs |= adFldUpdatable;
        if (flag(nsRs, "writeunknown"))
            attrs |= adFldUnknownUpdatable;
        if (flag(nsRs, "keycolumn"))
            attrs |= adFldKeyColumn;
        if (flag(nsRs, "rowid"))
            attrs |= adFldRowID;
        if (fixed)
            attrs |= adFldFixed;
        if (isLong)
            attrs |= adFldLong;
        const QString maybeNull = get(nsRs, "maybenull");
        if (maybeNull.isEmpty() || truthAttr(maybeNull))
            attrs |= adFldMayBeNull;
        f.def.attributes = attrs;
        return f;
    }

    int columnOf(QStringView key, int hint) const
    {
        const int n = int(keys.size());
        if (hint < n && keys[size_t(hint)] == key)
            return hint;
        for (int k = 0; k < n; ++k)
            if (keys[size_t(k)] == key)
                return k;
        return -1;
    }

    // Plain decimal forms read without the locale machinery of QString's conversions; anything
    // else goes to those conversions.
    static bool quickInteger(QStringView v, qint64 &out)
    {
        qsizetype i = 0;
        const bool negative = !v.isEmpty() && v[0] == u'-';
        i = negative ? 1 : 0;
        if (i >= v.size() || v.size() - i > 18)
            return false;
        qint64 x = 0;
        for (; i < v.size(); ++i) {
            const char16_t c = v[i].unicode();
            if (c < u'0' || c > u'9')
                return false;
            x = x * 10 + (c - u'0');
        }
        out = negative ? -x : x;
        return true;
    }
    static bool quickReal(QStringView v, double &out)
    {
        char buf[64];
        if (v.isEmpty() || v.size() >= qsizetype(sizeof buf))
            return false;
        for (qsizetype i = 0; i < v.size(); ++i) {
            const char16_t c = v[i].unicode();
            if (c >= 0x80)
                return false;
            buf[i] = char(c);
        }
        const auto res = std::from_chars(buf, buf + v.size(), out);
        return res.ec == std::errc() && res.ptr == buf + v.size();
    }

    // A text beyond the declared length, which the field would refuse if it were put there.
    static bool tooLong(const Column &c, QStringView v)
    {
        return c.def.definedSize > 0 && v.size() > c.def.definedSize && c.def.type != adLongVarChar
            && c.def.type != adLongVarWChar && c.def.type != adGUID
            && characterCount(v) > c.def.definedSize;
    }

    // Stores the text of a value into the record; false when it is not a value of the field.
    bool convert(Column &c, int row, QStringView v, size_t field)
    {
        const size_t r = size_t(row);
        bool ok = true;
        switch (c.kind) {
        case Kind::Int:
            if (c.def.type == adBoolean) {
                if (v.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0 || v == u"1"
                    || v == u"-1")
                    c.ints[r] = 1;
                else if (v.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0 || v == u"0")
                    c.ints[r] = 0;
                else
                    ok = false;
            } else {
                ok = quickInteger(v, c.ints[r]);
                if (!ok)
                    c.ints[r] = v.toLongLong(&ok);
                ok = ok && inRange(c.def.type, c.ints[r]);
            }
            break;
        case Kind::Real:
            ok = quickReal(v, c.reals[r]);
            if (!ok)
                c.reals[r] = v.toDouble(&ok);
            if (ok && !std::isfinite(c.reals[r])) {
                // Only the written forms of NaN and the infinities; 1e999 is no number.
                ok = v == u"NaN" || v == u"INF" || v == u"-INF" || v == u"+INF"
                    || v.compare(QLatin1String("nan"), Qt::CaseInsensitive) == 0
                    || v.compare(QLatin1String("inf"), Qt::CaseInsensitive) == 0
                    || v.compare(QLatin1String("-inf"), Qt::CaseInsensitive) == 0
                    || v.compare(QLatin1String("infinity"), Qt::CaseInsensitive) == 0
                    || v.compare(QLatin1String("-infinity"), Qt::CaseInsensitive) == 0;
                if (ok && v.startsWith(u'-') && std::isnan(c.reals[r]))
                    ok = false;
            } else if (ok && c.def.type == adSingle) {
                c.reals[r] = double(float(c.reals[r]));
                ok = std::isfinite(c.reals[r]); // after narrowing: 1e300 is no single
            }
            break;
        case Kind::Decimal: {
            ok = parseDecimal(v, scratchDecimal);
            if (ok)
                c.setText(row, scratchDecimal);
            break;
        }
        case Kind::Currency:
            ok = parseCurrency(v, c.ints[r]);
            break;
        case Kind::Date:
            // A date this file could not be saved with again is refused on reading.
            ok = parseDateText(v, c.ints[r], false) && hasDateText(c.def.type, c.ints[r]);
            if (ok && c.def.type == adDBTime && c.ints[r] != usPerDay && c.ints[r] != dateInfinity
                && c.ints[r] != dateMinusInfinity) {
                qint64 day = 0;
                splitUnits(c.ints[r], day, c.ints[r]);
            }
            break;
        case Kind::Text:
            if (v.size() > Column::maxTextLength || tooLong(c, v))
                return false;
            if (c.def.type == adGUID) {
                // As a GUID put into the field: checked, then kept in its braced upper-case form.
                const QUuid u = QUuid::fromString(v);
                if (u.isNull() && v.count(u'0') != 32)
                    return false;
                c.setText(row, u.toString(QUuid::WithBraces).toUpper());
                break;
            }
            c.setText(row, v);
            break;
        case Kind::Bytes: {
            const QByteArray latin = v.toLatin1();
            if (base64[field]) {
                auto res = QByteArray::fromBase64Encoding(
                    latin, QByteArray::AbortOnBase64DecodingErrors);
                ok = bool(res);
                c.bytes[r] = res.decoded;
            } else {
                ok = latin.size() % 2 == 0 && std::all_of(latin.begin(), latin.end(), [](char ch) {
                    return std::isxdigit(uchar(ch));
                });
                c.bytes[r] = QByteArray::fromHex(latin);
            }
            ok = ok && !(c.def.definedSize > 0 && c.bytes[r].size() > c.def.definedSize);
            break;
        }
        }
        if (ok)
            c.setNullBit(row, false);
        return ok;
    }

    // Reads the current z:row into a new record; returns its number.
    int readRow()
    {
        const int row = t->appendRow();
        const QXmlStreamAttributes attrs = xr.attributes();
        int hint = 0;
        for (const QXmlStreamAttribute &a : attrs) {
            if (!a.namespaceUri().isEmpty())
                continue;
            const int f = columnOf(a.name(), hint);
            if (f < 0)
                continue; // undeclared attributes are ignored
            Column &c = t->columns[size_t(f)];
            if (!convert(c, row, a.value(), size_t(f))) {
                if (c.kind == Kind::Text && tooLong(c, a.value()))
                    bad(xr,
                        QStringLiteral("a text of %1 characters is longer than the %2 the "
                                       "field '%3' holds")
                            .arg(a.value().size())
                            .arg(c.def.definedSize)
                            .arg(c.def.name));
                bad(xr,
                    QStringLiteral("'%1' is not a value of the field '%2'")
                        .arg(a.value().left(40).toString(), c.def.name));
            }
            hint = f + 1;
        }
        skipElement();
        return row;
    }

    bool isRow() const { return xr.namespaceUri() == nsZ && xr.name() == QLatin1String("row"); }

    // The record among the live ones equal to `probe` (on key columns when there are any).
    int findMatch(int probe) const
    {
        for (int r = 0; r < t->rows; ++r) {
            if (r == probe || t->deleted[size_t(r)])
                continue;
            bool same = true;
            const size_t n = keyColumns.empty() ? t->columns.size() : keyColumns.size();
            for (size_t k = 0; k < n && same; ++k) {
                const Column &c = t->columns[keyColumns.empty() ? k : size_t(keyColumns[k])];
                same = c.compareRows(r, probe) == 0
                    && (c.kind != Kind::Text || c.text(r) == c.text(probe));
            }
            if (same)
                return r;
        }
        return -1;
    }

    void dropRow(int row) { t->deleted[size_t(row)] = 1; }

    void readData()
    {
        while (xr.readNextStartElement()) {
            if (isRow()) {
                readRow();
            } else if (xr.namespaceUri() == nsRs && xr.name() == QLatin1String("insert")) {
                while (xr.readNextStartElement()) {
                    if (isRow())
                        readRow();
                    else
                        skipElement();
                }
            } else if (xr.namespaceUri() == nsRs && xr.name() == QLatin1String("delete")) {
                while (xr.readNextStartElement()) {
                    if (!isRow()) {
                        skipElement();
                        continue;
                    }
                    const int probe = readRow();
                    const int match = findMatch(probe);
                    if (match >= 0)
                        dropRow(match);
                    dropRow(probe);
                }
            } else if (xr.namespaceUri() == nsRs && xr.name() == QLatin1String("update")) {
                readUpdate();
            } else {
                skipElement();
            }
        }
        if (xr.hasError())
            bad(xr, xr.errorString());
    }

    // rs:update: the original record, then a row with the changed fields only.
    void readUpdate()
    {
        int original = -1;
        while (xr.readNextStartElement()) {
            if (xr.namespaceUri() == nsRs && xr.name() == QLatin1String("original")) {
                while (xr.readNextStartElement()) {
                    if (isRow() && original < 0)
                        original = readRow();
                    else
                        skipElement();
                }
            } else if (isRow()) {
                if (original < 0)
                    bad(xr, QStringLiteral("an update without its original record"));
                const int changes = readRow();
                for (Column &c : t->columns) {
                    if (c.isNull(changes))
                        continue;
                    switch (c.kind) {
                    case Kind::Int:
                    case Kind::Currency:
                    case Kind::Date:
                        c.ints[size_t(original)] = c.ints[size_t(changes)];
                        break;
                    case Kind::Real:
                        c.reals[size_t(original)] = c.reals[size_t(changes)];
                        break;
                    case Kind::Text:
                    case Kind::Decimal:
                        c.setText(original, c.text(changes));
                        break;
                    case Kind::Bytes:
                        c.bytes[size_t(original)] = c.bytes[size_t(changes)];
                        break;
                    }
                    c.setNullBit(original, false);
                }
                dropRow(changes);
                // An original that is also among the plain records is updated in place.
                const int match = findMatch(original);
                if (match >= 0) {
                    for (Column &c : t->columns) {
                        const QVariant v = c.value(original);
                        c.setValue(match, v);
                    }
                    dropRow(original);
                }
            } else {
                skipElement();
            }
        }
    }
};

// Removes the records marked deleted while reading, so the table starts clean.
void compact(Table &t)
{
    if (std::none_of(t.deleted.begin(), t.deleted.end(), [](quint8 d) { return d != 0; }))
        return;
    auto fresh = std::make_shared<Table>();
    for (const Column &c : t.columns)
        fresh->columns.emplace_back(c.def);
    for (int r = 0; r < t.rows; ++r) {
        if (t.deleted[size_t(r)])
            continue;
        const int nr = fresh->appendRow();
        for (size_t f = 0; f < t.columns.size(); ++f) {
            const Column &src = t.columns[f];
            Column &dst = fresh->columns[f];
            if (src.isNull(r))
                continue;
            switch (src.kind) {
            case Kind::Int:
            case Kind::Currency:
            case Kind::Date:
                dst.setInt(nr, src.ints[size_t(r)]);
                break;
            case Kind::Real:
                dst.setReal(nr, src.reals[size_t(r)]);
                break;
            case Kind::Text:
            case Kind::Decimal:
                dst.setText(nr, src.text(r));
                break;
            case Kind::Bytes:
                dst.setBytes(nr, src.bytes[size_t(r)]);
                break;
            }
        }
    }
    t = std::move(*fresh);
}

} // namespace

QByteArray saveXmlData(const Table &table, const std::vector<int> &rows)
{
    Out o(nullptr);
    writeDocument(o, table, rows);
    return o.take();
}

void saveXmlFile(const QString &fileName, const Table &table, const std::vector<int> &rows)
{
    if (fileName.isEmpty())
        raise(adErrInvalidArgument, QStringLiteral("The file name is empty."));
    if (QFileInfo::exists(fileName))
        raise(adErrFileExists, QStringLiteral("(%1)").arg(fileName));
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        raise(adErrOpeningFile, QStringLiteral("%1: %2").arg(fileName, file.errorString()));
    Out o(&file);
    writeDocument(o, table, rows); // on a throw QSaveFile discards the temporary file
    o.flush();
    // A file size limit or a full disk can cut a write short without the write reporting it;
    // the temporary file's size tells.
    if (!file.flush() || file.size() != o.written())
        raise(adErrOpeningFile,
            QStringLiteral("%1: the disk took %2 of the %3 bytes written.")
                .arg(fileName)
                .arg(file.size())
                .arg(o.written()));
    if (!file.commit())
        raise(adErrOpeningFile, QStringLiteral("%1: %2").arg(fileName, file.errorString()));
}

std::shared_ptr<Table> loadXmlData(const QByteArray &data)
{
    std::shared_ptr<Table> t = Reader(data).run();
    compact(*t);
    t->deleteVersion = 0;
    return t;
}

std::shared_ptr<Table> loadXmlFile(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        raise(adErrOpeningFile, QStringLiteral("%1: %2").arg(fileName, file.errorString()));
    const QByteArray data = file.readAll();
    return loadXmlData(data);
}

} // namespace tessera::detail

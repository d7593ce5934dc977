// PropertyBag: typed named values, the default test, and the text file they are kept in.
// Sections: names and values; writing the text; reading the text; files.
#include <tessera/Error.h>
#include <tessera/HostSite.h>
#include <tessera/PropertyBag.h>

#include <QBuffer>
#include <QColor>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QSaveFile>
#include <QSet>
#include <QStringDecoder>

#include <cmath>
#include <optional>

namespace tessera {

namespace {

// ---- names and values ---------------------------------------------------------------------------

bool validName(const QString &name)
{
    if (name.isEmpty() || name != name.trimmed())
        return false;
    if (name.front() == QLatin1Char('#') || name.front() == QLatin1Char(';'))
        return false;
    for (QChar c : name) {
        if (c == QLatin1Char('=') || c.category() == QChar::Other_Control)
            return false;
    }
    return true;
}

bool isInteger(int id)
{
    return id == QMetaType::Short || id == QMetaType::Int || id == QMetaType::LongLong
        || id == QMetaType::UShort || id == QMetaType::UInt || id == QMetaType::UChar
        || id == QMetaType::SChar || id == QMetaType::Long || id == QMetaType::ULong;
}

bool isReal(int id)
{
    return id == QMetaType::Float || id == QMetaType::Double;
}

// The kinds the file keeps; a value of any other type is refused when it is written.
enum class Kind { Boolean, Integer, Long, LongLong, Single, Double, String, Color, Font, Picture };

struct KindName {
    Kind kind;
    const char *name;
};
constexpr KindName kindNames[] = {
    { Kind::Boolean, "Boolean" },
    { Kind::Integer, "Integer" },
    { Kind::Long, "Long" },
    { Kind::LongLong, "LongLong" },
    { Kind::Single, "Single" },
    { Kind::Double, "Double" },
    { Kind::String, "String" },
    { Kind::Color, "Color" },
    { Kind::Font, "Font" },
    { Kind::Picture, "Picture" },
};

QString kindName(Kind k)
{
    for (const auto &kn : kindNames) {
        if (kn.kind == k)
            return QString::fromLatin1(kn.name);
    }
    return {};
}

std::optional<Kind> kindOf(const QVariant &v)
{
    switch (v.metaType().id()) {
    case QMetaType::Bool:
        return Kind::Boolean;
    case QMetaType::Short:
    case QMetaType::UChar:
    case QMetaType::SChar:
        return Kind::Integer;
    case QMetaType::Int:
    case QMetaType::UShort:
        return Kind::Long;
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
        return Kind::LongLong;
    case QMetaType::Float:
        return Kind::Single;
    case QMetaType::Double:
        return Kind::Double;
    case QMetaType::QString:
        return Kind::String;
    case QMetaType::QColor:
        return Kind::Color;
    case QMetaType::QFont:
        return Kind::Font;
    case QMetaType::QPixmap:
    case QMetaType::QImage:
        return Kind::Picture;
    default:
        return std::nullopt;
    }
}

// Converts a value to the exact type the bag hands back, so a value reads back as it was kept.
QVariant normalized(const QVariant &v, Kind k)
{
    switch (k) {
    case Kind::Integer:
        return QVariant::fromValue(qint16(v.toInt()));
    case Kind::Long:
        return QVariant::fromValue(qint32(v.toInt()));
    case Kind::LongLong:
        return QVariant::fromValue(qint64(v.toLongLong()));
    case Kind::Picture:
        if (v.metaType().id() == QMetaType::QImage
            && qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
            return QVariant::fromValue(QPixmap::fromImage(v.value<QImage>()));
        return v;
    default:
        return v;
    }
}

// ---- writing the text -------------------------------------------------------------------------

QString quoted(const QString &s)
{
    QString out;
    out.reserve(s.size() + 2);
    out += QLatin1Char('"');
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s.at(i);
        if (c.isHighSurrogate() && i + 1 < s.size() && s.at(i + 1).isLowSurrogate()) {
            out += c;
            out += s.at(++i);
            continue;
        }
        switch (c.unicode()) {
        case '"':
            out += QLatin1String("\\\"");
            break;
        case '\\':
            out += QLatin1String("\\\\");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        case '\r':
            out += QLatin1String("\\r");
            break;
        case '\t':
            out += QLatin1String("\\t");
            break;
        default:
            // Control characters and lone surrogates would not survive the file's UTF-8.
            if (c.category() == QChar::Other_Control || c.isSurrogate())
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    out += QLatin1Char('"');
    return out;
}

QString realText(double d, int precision)
{
    if (std::isnan(d))
        return QStringLiteral("nan");
    if (std::isinf(d))
        return d > 0 ? QStringLiteral("inf") : QStringLiteral("-inf");
    return QString::number(d, 'g', precision);
}

// A picture kept as a pixmap or, without a GUI application, as an image.
QImage pictureImage(const QVariant &v)
{
    if (v.metaType().id() == QMetaType::QImage)
        return v.value<QImage>();
    return v.value<QPixmap>().toImage();
}

QString pictureText(const QImage &image)
{
    if (image.isNull())
        return QStringLiteral("\"\"");
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return QString::fromLatin1(png.toBase64());
}

QString valueText(const QVariant &v, Kind k)
{
    switch (k) {
    case Kind::Boolean:
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case Kind::Integer:
    case Kind::Long:
    case Kind::LongLong:
        return QString::number(v.toLongLong());
    case Kind::Single:
        return realText(double(v.toFloat()), 9);
    case Kind::Double:
        return realText(v.toDouble(), 17);
    case Kind::String:
        return quoted(v.toString());
    case Kind::Color: {
        const QColor c = v.value<QColor>();
        if (!c.isValid())
            return QStringLiteral("none");
        return c.name(c.alpha() == 255 ? QColor::HexRgb : QColor::HexArgb);
    }
    case Kind::Font:
        return quoted(v.value<QFont>().toString());
    case Kind::Picture:
        return pictureText(pictureImage(v));
    }
    return {};
}

// ---- reading the text -------------------------------------------------------------------------

struct ParseError {
    QString what;
};

QString unquoted(const QString &s)
{
    if (s.size() < 2 || s.front() != QLatin1Char('"') || s.back() != QLatin1Char('"'))
        throw ParseError { QStringLiteral("text must be in double quotes") };
    QString out;
    const qsizetype end = s.size() - 1;
    for (qsizetype i = 1; i < end; ++i) {
        const QChar c = s.at(i);
        if (c == QLatin1Char('"'))
            throw ParseError { QStringLiteral("unescaped quote inside text") };
        if (c != QLatin1Char('\\')) {
            out += c;
            continue;
        }
        if (++i >= end)
            throw ParseError { QStringLiteral("text ends in a lone backslash") };
        switch (s.at(i).unicode()) {
        case '"':
            out += QLatin1Char('"');
            break;
        case '\\':
            out += QLatin1Char('\\');
            break;
        case 'n':
            out += QLatin1Char('\n');
            break;
        case 'r':
            out += QLatin1Char('\r');
            break;
        case 't':
            out += QLatin1Char('\t');
            break;
        case 'u': {
            const QString hex = i + 4 < end ? s.mid(i + 1, 4) : QString();
            bool ok = hex.size() == 4;
            for (QChar h : hex)
                ok = ok && (h.isDigit() || QStringLiteral("abcdefABCDEF").contains(h));
            if (!ok)
                throw ParseError { QStringLiteral("bad \\u escape") };
            const uint code = hex.toUInt(&ok, 16);
            out += QChar(char16_t(code));
            i += 4;
            break;
        }
        default:
            throw ParseError { QStringLiteral("unknown escape \\%1").arg(s.at(i)) };
        }
    }
    return out;
}

qint64 integerValue(const QString &s, qint64 lo, qint64 hi)
{
    bool ok = false;
    const qint64 n = s.toLongLong(&ok, 10);
    if (!ok || n < lo || n > hi)
        throw ParseError {
            QStringLiteral("\"%1\" is not a whole number from %2 to %3").arg(s).arg(lo).arg(hi)
        };
    return n;
}

double realValue(const QString &s)
{
    if (s == QLatin1String("nan"))
        return std::nan("");
    if (s == QLatin1String("inf"))
        return HUGE_VAL;
    if (s == QLatin1String("-inf"))
        return -HUGE_VAL;
    bool ok = false;
    const double d = s.toDouble(&ok);
    if (!ok)
        throw ParseError { QStringLiteral("\"%1\" is not a number").arg(s) };
    return d;
}

QVariant parseValue(const QString &type, const QString &text)
{
    if (type == QLatin1String("Boolean")) {
        if (text == QLatin1String("True"))
            return true;
        if (text == QLatin1String("False"))
            return false;
        throw ParseError { QStringLiteral("a Boolean is True or False, not \"%1\"").arg(text) };
    }
    if (type == QLatin1String("Integer"))
        return QVariant::fromValue(qint16(integerValue(text, -32768, 32767)));
    if (type == QLatin1String("Long"))
        return QVariant::fromValue(qint32(integerValue(text, INT32_MIN, INT32_MAX)));
    if (type == QLatin1String("LongLong"))
        return QVariant::fromValue(integerValue(text, INT64_MIN, INT64_MAX));
    if (type == QLatin1String("Single")) {
        const double d = realValue(text);
        if (std::isfinite(d) && std::fabs(d) > 3.4028235677973366e38)
            throw ParseError { QStringLiteral("\"%1\" is too large for a Single").arg(text) };
        return QVariant::fromValue(float(d));
    }
    if (type == QLatin1String("Double"))
        return realValue(text);
    if (type == QLatin1String("String"))
        return unquoted(text);
    if (type == QLatin1String("Color")) {
        if (text == QLatin1String("none"))
            return QColor();
        const bool shapeOk
            = text.startsWith(QLatin1Char('#')) && (text.size() == 7 || text.size() == 9);
        const QColor c = QColor::fromString(text);
        if (!shapeOk || !c.isValid())
            throw ParseError {
                QStringLiteral("\"%1\" is not a colour (#rrggbb or #aarrggbb)").arg(text)
            };
        return c;
    }
    if (type == QLatin1String("Font")) {
        QFont f;
        const QString desc = unquoted(text);
        if (desc.isEmpty() || !f.fromString(desc))
            throw ParseError { QStringLiteral("\"%1\" is not a font").arg(desc) };
        return f;
    }
    if (type == QLatin1String("Picture")) {
        if (text == QLatin1String("\"\""))
            return QPixmap();
        auto decoded = QByteArray::fromBase64Encoding(
            text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        QImage image;
        if (!decoded || !image.loadFromData(*decoded, "PNG"))
            throw ParseError { QStringLiteral("picture is not base64 PNG") };
        // A pixmap needs a GUI application; without one the picture stays an image.
        if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
            return image;
        return QPixmap::fromImage(image);
    }
    throw ParseError { QStringLiteral("unknown type \"%1\"").arg(type) };
}

[[noreturn]] void raiseFormat(const QString &where, int line, const QString &what)
{
    throw Error(errInvalidFileFormat,
        QStringLiteral("Invalid file format: %1, line %2: %3").arg(where).arg(line).arg(what));
}

} // namespace

// ---- the bag ------------------------------------------------------------------------------------

qsizetype PropertyBag::find(const QString &name) const
{
    return m_positions.value(name.toCaseFolded(), -1);
}

void PropertyBag::setEntries(QList<Entry> entries)
{
    m_entries = std::move(entries);
    m_positions.clear();
    for (qsizetype i = 0; i < m_entries.size(); ++i)
        m_positions.insert(m_entries.at(i).name.toCaseFolded(), i);
}

void PropertyBag::Clear()
{
    m_entries.clear();
    m_positions.clear();
}

bool PropertyBag::sameValue(const QVariant &a, const QVariant &b)
{
    const int ta = a.metaType().id(), tb = b.metaType().id();
    const bool boolA = ta == QMetaType::Bool, boolB = tb == QMetaType::Bool;
    if (boolA || boolB)
        return boolA && boolB && a.toBool() == b.toBool();
    if (isInteger(ta) && isInteger(tb))
        return a.toLongLong() == b.toLongLong();
    if ((isInteger(ta) || isReal(ta)) && (isInteger(tb) || isReal(tb)))
        return a.toDouble() == b.toDouble();
    const auto ka = kindOf(a), kb = kindOf(b);
    if (!ka || !kb || *ka != *kb)
        return false;
    switch (*ka) {
    case Kind::Font:
        return a.value<QFont>().toString() == b.value<QFont>().toString();
    case Kind::Picture: {
        return pictureImage(a) == pictureImage(b);
    }
    default:
        return a == b;
    }
}

QVariant PropertyBag::ReadProperty(const QString &name, const QVariant &defaultValue) const
{
    const qsizetype i = find(name);
    return i < 0 ? defaultValue : m_entries.at(i).value;
}

void PropertyBag::WriteProperty(
    const QString &name, const QVariant &value, const QVariant &defaultValue)
{
    if (!validName(name))
        throw Error(
            errInvalidProcedureCall, QStringLiteral("Invalid property name \"%1\"").arg(name));
    const auto kind = kindOf(value);
    if (!kind)
        throw Error(errTypeMismatch,
            QStringLiteral("Type mismatch: property \"%1\" cannot keep a value of type %2")
                .arg(name, QString::fromLatin1(value.typeName())));
    const qsizetype i = find(name);
    if (defaultValue.isValid() && sameValue(value, defaultValue)) {
        if (i >= 0) {
            QList<Entry> rest = std::move(m_entries);
            rest.removeAt(i);
            setEntries(std::move(rest));
        }
        return;
    }
    const QVariant kept = normalized(value, *kind);
    if (i >= 0)
        m_entries[i].value = kept;
    else {
        m_positions.insert(name.toCaseFolded(), m_entries.size());
        m_entries.append(Entry { name, kept });
    }
}

bool PropertyBag::Contains(const QString &name) const
{
    return find(name) >= 0;
}

QStringList PropertyBag::Names() const
{
    QStringList names;
    names.reserve(m_entries.size());
    for (const Entry &e : m_entries)
        names.append(e.name);
    return names;
}

QString PropertyBag::toText() const
{
    QString text;
    for (const Entry &e : m_entries) {
        const Kind k = *kindOf(e.value);
        text += e.name + QLatin1String(" = ") + kindName(k) + QLatin1Char(' ')
            + valueText(e.value, k) + QLatin1Char('\n');
    }
    return text;
}

void PropertyBag::fromText(const QString &text)
{
    setEntries(parseText(text, QStringLiteral("property text")));
}

QList<PropertyBag::Entry> PropertyBag::parseText(const QString &text, const QString &where)
{
    QList<PropertyBag::Entry> entries;
    QSet<QString> seen;
    int lineNo = 0;
    for (QStringView raw : QStringView(text).split(QLatin1Char('\n'))) {
        ++lineNo;
        const QString line = raw.trimmed().toString();
        if (line.isEmpty() || line.front() == QLatin1Char('#') || line.front() == QLatin1Char(';'))
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0)
            raiseFormat(where, lineNo, QStringLiteral("expected \"Name = Type value\""));
        const QString name = line.left(eq).trimmed();
        if (!validName(name))
            raiseFormat(where, lineNo, QStringLiteral("missing or invalid name"));
        const QString rest = line.mid(eq + 1).trimmed();
        const qsizetype space = rest.indexOf(QLatin1Char(' '));
        if (space < 0)
            raiseFormat(where, lineNo, QStringLiteral("expected a type and a value"));
        const QString type = rest.left(space);
        const QString value = rest.mid(space + 1).trimmed();
        const QString folded = name.toCaseFolded();
        if (seen.contains(folded))
            raiseFormat(where, lineNo, QStringLiteral("\"%1\" is given twice").arg(name));
        seen.insert(folded);
        try {
            entries.append(PropertyBag::Entry { name, parseValue(type, value) });
        } catch (const ParseError &e) {
            raiseFormat(where, lineNo, QStringLiteral("%1: %2").arg(name, e.what));
        }
    }
    return entries;
}

// ---- files --------------------------------------------------------------------------------------

void PropertyBag::Save(const QString &path) const
{
    const QByteArray bytes = toText().toUtf8();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw Error(errFileAccess,
            QStringLiteral("Path/File access error: cannot save \"%1\" (%2)")
                .arg(path, file.errorString()));
}

void PropertyBag::Load(const QString &path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile())
        throw Error(errFileNotFound, QStringLiteral("File not found: \"%1\"").arg(path));
    if (!file.open(QIODevice::ReadOnly))
        throw Error(errFileAccess,
            QStringLiteral("Path/File access error: cannot read \"%1\" (%2)")
                .arg(path, file.errorString()));
    const QByteArray bytes = file.readAll();
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    if (utf8.hasError())
        throw Error(errInvalidFileFormat,
            QStringLiteral("Invalid file format: %1 is not UTF-8 text").arg(path));
    setEntries(parseText(text, path));
}

} // namespace tessera

// Filter criteria: a recursive-descent parser for "Field op value" clauses joined with AND / OR and
// parentheses, compiled to a tree whose leaves hold the value already converted to the field's
// storage form; evaluation runs each leaf as one tight loop over its column into a byte mask.
// Sort: key parsing and a sort that extracts a numeric first key into a flat array.
#include "criteria.h"

#include <tessera/Runtime.h>

#include <QLocale>

#include <algorithm>
#include <cmath>
#include <limits>

namespace tessera::detail {

enum class Op { Eq, Ne, Lt, Gt, Le, Ge, Like, IsNull, NotNull };
enum class LikeMode { Exact, Prefix, Suffix, Contains, Any };

struct CriteriaNode {
    enum Type { And, Or, Leaf } type = Leaf;
    std::vector<std::unique_ptr<CriteriaNode>> kids;
    // leaf
    int column = -1;
    Op op = Op::Eq;
    double number = 0; // Int, Real and Currency (scaled) fields
    qint64 units = 0; // Date fields; Int fields when exactInt
    bool exactInt = false; // an integer literal, compared without going through a double
    QString text; // Text fields
    LikeMode like = LikeMode::Exact;
};

namespace {

enum class LitType { Number, String, Date, Null, True, False };

struct Literal {
    LitType type;
    QString text;
};

[[noreturn]] void syntax(const QString &what)
{
    raise(adErrInvalidArgument, what);
}

class Parser {
public:
    Parser(const QString &text, const Table &table)
        : s(text)
        , t(table)
    {
    }

    std::unique_ptr<CriteriaNode> parse()
    {
        auto node = parseOr();
        skipSpace();
        if (i < s.size())
            syntax(QStringLiteral("Unexpected text at position %1 of the criteria: '%2'.")
                       .arg(i + 1)
                       .arg(s.mid(i, 20)));
        return node;
    }

private:
    const QString &s;
    const Table &t;
    qsizetype i = 0;
    int depth = 0;
    // Deeper nesting than any hand-written criteria; the parser and the evaluator recurse per
    // level, so a bound keeps hostile texts from exhausting the stack.
    static constexpr int maxDepth = 200;

    void skipSpace()
    {
        while (i < s.size() && s[i].isSpace())
            ++i;
    }

    static bool isWordChar(QChar c)
    {
        return !(c.isSpace() || c == u'(' || c == u')' || c == u'=' || c == u'<' || c == u'>'
            || c == u'\'' || c == u'"' || c == u'#' || c == u'[' || c == u']');
    }

    // The next word without consuming it (empty at a symbol or the end).
    QStringView peekWord()
    {
        skipSpace();
        qsizetype j = i;
        while (j < s.size() && isWordChar(s[j]))
            ++j;
        return QStringView(s).mid(i, j - i);
    }

    bool acceptKeyword(QLatin1String kw)
    {
        const QStringView w = peekWord();
        if (w.compare(kw, Qt::CaseInsensitive) == 0) {
            i += w.size();
            return true;
        }
        return false;
    }

    std::unique_ptr<CriteriaNode> join(
        CriteriaNode::Type type, std::unique_ptr<CriteriaNode> a, std::unique_ptr<CriteriaNode> b)
    {
        if (a->type == type) {
            a->kids.push_back(std::move(b));
            return a;
        }
        auto n = std::make_unique<CriteriaNode>();
        n->type = type;
        n->kids.push_back(std::move(a));
        n->kids.push_back(std::move(b));
        return n;
    }

    std::unique_ptr<CriteriaNode> parseOr()
    {
        auto left = parseAnd();
        while (acceptKeyword(QLatin1String("OR")))
            left = join(CriteriaNode::Or, std::move(left), parseAnd());
        return left;
    }

    std::unique_ptr<CriteriaNode> parseAnd()
    {
        auto left = parseFactor();
        while (acceptKeyword(QLatin1String("AND")))
            left = join(CriteriaNode::And, std::move(left), parseFactor());
        return left;
    }

    std::unique_ptr<CriteriaNode> parseFactor()
    {
        skipSpace();
        if (i < s.size() && s[i] == u'(') {
            if (++depth > maxDepth)
                syntax(QStringLiteral("The criteria nest parentheses more than %1 deep.")
                           .arg(maxDepth));
            ++i;
            auto inner = parseOr();
            --depth;
            skipSpace();
            if (i >= s.size() || s[i] != u')')
                syntax(QStringLiteral("A closing parenthesis is missing in the criteria."));
            ++i;
            return inner;
        }
        return parseComparison();
    }

    QString parseFieldName()
    {
        skipSpace();
        if (i >= s.size())
            syntax(QStringLiteral("A field name is missing at the end of the criteria."));
        if (s[i] == u'[') {
            const qsizetype end = s.indexOf(u']', i + 1);
            if (end < 0)
                syntax(QStringLiteral("A closing bracket is missing in the criteria."));
            QString name = s.mid(i + 1, end - i - 1);
            i = end + 1;
            return name;
        }
        const QStringView w = peekWord();
        if (w.isEmpty())
            syntax(QStringLiteral("A field name is expected at position %1 of the criteria.")
                       .arg(i + 1));
        i += w.size();
        return w.toString();
    }

    Op parseOp()
    {
        skipSpace();
        if (i < s.size()) {
            const QChar c = s[i];
            const QChar n = i + 1 < s.size() ? s[i + 1] : QChar();
            if (c == u'=') {
                ++i;
                return Op::Eq;
            }
            if (c == u'<' && n == u'>') {
                i += 2;
                return Op::Ne;
            }
            if (c == u'<' && n == u'=') {
                i += 2;
                return Op::Le;
            }
            if (c == u'>' && n == u'=') {
                i += 2;
                return Op::Ge;
            }
            if (c == u'<') {
                ++i;
                return Op::Lt;
            }
            if (c == u'>') {
                ++i;
                return Op::Gt;
            }
        }
        if (acceptKeyword(QLatin1String("LIKE")))
            return Op::Like;
        if (acceptKeyword(QLatin1String("IS"))) {
            const bool negated = acceptKeyword(QLatin1String("NOT"));
            if (!acceptKeyword(QLatin1String("NULL")))
                syntax(QStringLiteral("IS must be followed by NULL or NOT NULL in the criteria."));
            return negated ? Op::NotNull : Op::IsNull;
        }
        syntax(QStringLiteral("A comparison operator is expected at position %1 of the criteria.")
                   .arg(i + 1));
    }

    QString quoted(QChar q)
    {
        QString out;
        ++i;
        for (;;) {
            if (i >= s.size())
                syntax(QStringLiteral("A closing quote is missing in the criteria."));
            if (s[i] == q) {
                if (i + 1 < s.size() && s[i + 1] == q) {
                    out += q;
                    i += 2;
                    continue;
                }
                ++i;
                return out;
            }
            out += s[i++];
        }
    }

    Literal parseLiteral()
    {
        skipSpace();
        if (i >= s.size())
            syntax(QStringLiteral("A value is missing at the end of the criteria."));
        const QChar c = s[i];
        if (c == u'\'' || c == u'"')
            return { LitType::String, quoted(c) };
        if (c == u'#') {
            const qsizetype end = s.indexOf(u'#', i + 1);
            if (end < 0)
                syntax(QStringLiteral("A closing # is missing around a date in the criteria."));
            Literal l { LitType::Date, s.mid(i + 1, end - i - 1) };
            i = end + 1;
            return l;
        }
        const QStringView w = peekWord();
        if (w.compare(QLatin1String("NULL"), Qt::CaseInsensitive) == 0) {
            i += w.size();
            return { LitType::Null, {} };
        }
        if (w.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0) {
            i += w.size();
            return { LitType::True, {} };
        }
        if (w.compare(QLatin1String("FALSE"), Qt::CaseInsensitive) == 0) {
            i += w.size();
            return { LitType::False, {} };
        }
        bool ok = false;
        QLocale::c().toDouble(w, &ok);
        if (!ok || w.isEmpty())
            syntax(QStringLiteral("'%1' is not a value; put text in quotes and dates in #.")
                       .arg(w.toString()));
        i += w.size();
        return { LitType::Number, w.toString() };
    }

    std::unique_ptr<CriteriaNode> parseComparison()
    {
        const QString name = parseFieldName();
        const int col = t.findColumn(name);
        if (col < 0)
            raise(adErrInvalidArgument,
                QStringLiteral("The criteria name the field '%1', which the record set does not "
                               "have.")
                    .arg(name));
        auto node = std::make_unique<CriteriaNode>();
        node->column = col;
        node->op = parseOp();
        if (node->op == Op::IsNull || node->op == Op::NotNull)
            return node;
        const Literal lit = parseLiteral();
        bind(*node, t.columns[size_t(col)], lit);
        return node;
    }

    static double number(const Literal &lit, const Column &c, bool &ok)
    {
        ok = true;
        switch (lit.type) {
        case LitType::Number:
            return QLocale::c().toDouble(lit.text, &ok);
        case LitType::True:
            return c.def.type == adBoolean ? 1 : -1;
        case LitType::False:
            return 0;
        case LitType::String: {
            const QString v = lit.text.trimmed();
            double d = QLocale::c().toDouble(v, &ok);
            if (!ok)
                d = userLocale().toDouble(v, &ok);
            if (!ok && c.def.type == adBoolean) {
                if (v.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0) {
                    ok = true;
                    d = 1;
                } else if (v.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0) {
                    ok = true;
                    d = 0;
                }
            }
            return d;
        }
        default:
            ok = false;
            return 0;
        }
    }

    void bind(CriteriaNode &n, const Column &c, const Literal &lit)
    {
        const QString &field = c.def.name;
        if (lit.type == LitType::Null) {
            if (n.op == Op::Eq) {
                n.op = Op::IsNull;
                return;
            }
            if (n.op == Op::Ne) {
                n.op = Op::NotNull;
                return;
            }
            syntax(
                QStringLiteral("Null can only be compared with = or <> (field '%1').").arg(field));
        }
        if (n.op == Op::Like) {
            if (c.kind != Kind::Text || (lit.type != LitType::String))
                syntax(QStringLiteral("LIKE needs a text field and a quoted pattern (field '%1').")
                           .arg(field));
            QString p = lit.text;
            const auto wild = [](QChar ch) { return ch == u'*' || ch == u'%'; };
            const bool lead = !p.isEmpty() && wild(p.front());
            if (lead)
                p.remove(0, 1);
            const bool trail = !p.isEmpty() && wild(p.back());
            if (trail)
                p.chop(1);
            if (std::any_of(p.begin(), p.end(), wild))
                syntax(QStringLiteral("LIKE allows wildcards only at the start and the end of the "
                                      "pattern (field '%1').")
                           .arg(field));
            n.text = p;
            n.like = p.isEmpty() && (lead || trail) ? LikeMode::Any
                : lead && trail                     ? LikeMode::Contains
                : lead                              ? LikeMode::Suffix
                : trail                             ? LikeMode::Prefix
                                                    : LikeMode::Exact;
            return;
        }
        bool ok = true;
        switch (c.kind) {
        case Kind::Int:
        case Kind::Real:
        case Kind::Currency:
            n.number = number(lit, c, ok);
            if (ok && c.def.type == adBoolean)
                n.number = n.number != 0 ? 1 : 0;
            if (ok && c.def.type == adSingle && std::isfinite(float(n.number)))
                n.number = double(float(n.number)); // as a single holds it
            if (ok && c.kind == Kind::Currency)
                n.number = std::nearbyint(n.number * 10000.0);
            if (ok && c.kind == Kind::Int && c.def.type != adBoolean
                && (lit.type == LitType::Number || lit.type == LitType::String)) {
                bool whole = false;
                const qint64 v = lit.text.trimmed().toLongLong(&whole);
                if (whole) {
                    n.units = v;
                    n.exactInt = true;
                }
            }
            if (!ok && c.kind == Kind::Real && lit.type == LitType::String) {
                QString dec;
                ok = parseDecimal(lit.text, dec) && (dec == u"NaN" || dec.endsWith(u"Infinity"));
                if (ok)
                    n.number = dec == u"NaN"   ? std::numeric_limits<double>::quiet_NaN()
                        : dec.startsWith(u'-') ? -std::numeric_limits<double>::infinity()
                                               : std::numeric_limits<double>::infinity();
            }
            break;
        case Kind::Decimal:
            ok = (lit.type == LitType::Number || lit.type == LitType::String)
                && parseDecimal(lit.text, n.text);
            break;
        case Kind::Date:
            if (lit.type == LitType::Date || lit.type == LitType::String) {
                ok = parseDateText(lit.text, n.units);
                if (!ok) {
                    const QDate d = userLocale().toDate(lit.text, QLocale::ShortFormat);
                    ok = d.isValid();
                    if (ok)
                        n.units = dateToUnits(d, QTime(0, 0));
                }
            } else if (lit.type == LitType::Number) {
                const double serial = QLocale::c().toDouble(lit.text, &ok);
                ok = ok && std::fabs(serial) <= 3e6;
                if (ok)
                    n.units = serialToUnits(serial);
            } else {
                ok = false;
            }
            break;
        case Kind::Text:
            n.text = lit.type == LitType::True ? QStringLiteral("True")
                : lit.type == LitType::False   ? QStringLiteral("False")
                                               : lit.text;
            break;
        case Kind::Bytes:
            ok = false;
            break;
        }
        if (!ok)
            syntax(QStringLiteral("The value '%1' cannot be compared with the field '%2'.")
                       .arg(lit.text, field));
    }
};

template<class T, class Cmp>
void scan(const T *d, T lit, const Column &c, int first, int count, quint8 *out, Cmp cmp)
{
    for (int k = 0; k < count; ++k)
        out[k] = quint8(cmp(d[k], lit));
    // Null never compares equal, less or greater.
    for (int k = 0; k < count; ++k)
        out[k] &= quint8(!c.isNull(first + k));
}

// `data` holds the values of records first .. first + count - 1.
template<class T>
void scanOp(Op op, const T *data, T lit, const Column &c, int first, int count, quint8 *out)
{
    switch (op) {
    case Op::Eq:
        scan(data, lit, c, first, count, out, [](T a, T b) { return a == b; });
        break;
    case Op::Ne:
        scan(data, lit, c, first, count, out, [](T a, T b) { return a != b; });
        break;
    case Op::Lt:
        scan(data, lit, c, first, count, out, [](T a, T b) { return a < b; });
        break;
    case Op::Gt:
        scan(data, lit, c, first, count, out, [](T a, T b) { return a > b; });
        break;
    case Op::Le:
        scan(data, lit, c, first, count, out, [](T a, T b) { return a <= b; });
        break;
    case Op::Ge:
        scan(data, lit, c, first, count, out, [](T a, T b) { return a >= b; });
        break;
    default:
        break;
    }
}

bool matches(Op op, int cmp)
{
    switch (op) {
    case Op::Eq:
        return cmp == 0;
    case Op::Ne:
        return cmp != 0;
    case Op::Lt:
        return cmp < 0;
    case Op::Gt:
        return cmp > 0;
    case Op::Le:
        return cmp <= 0;
    case Op::Ge:
        return cmp >= 0;
    default:
        return false;
    }
}

void evalLeaf(const CriteriaNode &n, const Table &t, int first, int count, quint8 *out)
{
    const Column &c = t.columns[size_t(n.column)];
    if (n.op == Op::IsNull || n.op == Op::NotNull) {
        const bool want = n.op == Op::IsNull;
        for (int k = 0; k < count; ++k)
            out[k] = quint8(c.isNull(first + k) == want);
        return;
    }
    switch (c.kind) {
    case Kind::Real: {
        // In the order PostgreSQL gives doubles: NaN equal to itself and above everything.
        std::vector<quint64> keys(static_cast<size_t>(count));
        for (int k = 0; k < count; ++k)
            keys[size_t(k)] = realOrderKey(c.reals[size_t(first + k)]);
        scanOp<quint64>(n.op, keys.data(), realOrderKey(n.number), c, first, count, out);
        return;
    }
    case Kind::Decimal: {
        const QStringView lit(n.text);
        for (int k = 0; k < count; ++k)
            out[k] = quint8(
                !c.isNull(first + k) && matches(n.op, compareDecimal(c.text(first + k), lit)));
        return;
    }
    case Kind::Int:
        if (n.exactInt) {
            scanOp<qint64>(n.op, c.ints.data() + first, n.units, c, first, count, out);
            return;
        }
        [[fallthrough]];
    case Kind::Currency: {
        // Whole literals compare exactly as integers; others against the value as a double.
        const double lit = n.number;
        if (lit == std::nearbyint(lit) && std::fabs(lit) < 9.0e18) {
            scanOp<qint64>(n.op, c.ints.data() + first, qint64(lit), c, first, count, out);
        } else {
            const qint64 *d = c.ints.data() + first;
            for (int k = 0; k < count; ++k) {
                const double v = double(d[k]);
                bool r = false;
                switch (n.op) {
                case Op::Eq:
                    r = v == lit;
                    break;
                case Op::Ne:
                    r = v != lit;
                    break;
                case Op::Lt:
                    r = v < lit;
                    break;
                case Op::Gt:
                    r = v > lit;
                    break;
                case Op::Le:
                    r = v <= lit;
                    break;
                case Op::Ge:
                    r = v >= lit;
                    break;
                default:
                    break;
                }
                out[k] = quint8(r && !c.isNull(first + k));
            }
        }
        return;
    }
    case Kind::Date:
        scanOp<qint64>(n.op, c.ints.data() + first, n.units, c, first, count, out);
        return;
    case Kind::Text: {
        const QStringView lit(n.text);
        for (int k = 0; k < count; ++k) {
            if (c.isNull(first + k)) {
                out[k] = 0;
                continue;
            }
            const QStringView v = c.text(first + k);
            bool r = false;
            if (n.op == Op::Like) {
                switch (n.like) {
                case LikeMode::Exact:
                    r = compareNoCase(v, lit) == 0;
                    break;
                case LikeMode::Prefix:
                    r = v.startsWith(lit, Qt::CaseInsensitive);
                    break;
                case LikeMode::Suffix:
                    r = v.endsWith(lit, Qt::CaseInsensitive);
                    break;
                case LikeMode::Contains:
                    r = v.contains(lit, Qt::CaseInsensitive);
                    break;
                case LikeMode::Any:
                    r = true;
                    break;
                }
            } else {
                const int cmp = compareNoCase(v, lit);
                switch (n.op) {
                case Op::Eq:
                    r = cmp == 0;
                    break;
                case Op::Ne:
                    r = cmp != 0;
                    break;
                case Op::Lt:
                    r = cmp < 0;
                    break;
                case Op::Gt:
                    r = cmp > 0;
                    break;
                case Op::Le:
                    r = cmp <= 0;
                    break;
                case Op::Ge:
                    r = cmp >= 0;
                    break;
                default:
                    break;
                }
            }
            out[k] = quint8(r);
        }
        return;
    }
    case Kind::Bytes:
        std::fill(out, out + count, quint8(0));
        return;
    }
}

void evalNode(const CriteriaNode &n, const Table &t, int first, int count, quint8 *out)
{
    if (n.type == CriteriaNode::Leaf) {
        evalLeaf(n, t, first, count, out);
        return;
    }
    evalNode(*n.kids[0], t, first, count, out);
    std::vector<quint8> tmp(size_t(count), 0);
    for (size_t k = 1; k < n.kids.size(); ++k) {
        evalNode(*n.kids[k], t, first, count, tmp.data());
        if (n.type == CriteriaNode::And)
            for (int j = 0; j < count; ++j)
                out[j] &= tmp[size_t(j)];
        else
            for (int j = 0; j < count; ++j)
                out[j] |= tmp[size_t(j)];
    }
}

} // namespace

Criteria::Criteria() = default;
Criteria::~Criteria() = default;

std::unique_ptr<Criteria> Criteria::compile(const QString &text, const Table &table)
{
    std::unique_ptr<Criteria> c(new Criteria);
    c->root = Parser(text, table).parse();
    return c;
}

void Criteria::evaluate(const Table &table, int first, int count, std::vector<quint8> &mask) const
{
    mask.assign(size_t(count), 0);
    if (count > 0)
        evalNode(*root, table, first, count, mask.data());
}

std::vector<SortKey> parseSort(const QString &text, const Table &table)
{
    std::vector<SortKey> keys;
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto skip = [&] {
        while (i < n && text[i].isSpace())
            ++i;
    };
    skip();
    if (i == n)
        return keys;
    for (;;) {
        skip();
        QString name;
        if (i < n && text[i] == u'[') {
            const qsizetype end = text.indexOf(u']', i + 1);
            if (end < 0)
                syntax(QStringLiteral("A closing bracket is missing in the sort text."));
            name = text.mid(i + 1, end - i - 1);
            i = end + 1;
        } else {
            const qsizetype start = i;
            while (i < n && !text[i].isSpace() && text[i] != u',')
                ++i;
            name = text.mid(start, i - start);
        }
        if (name.isEmpty())
            syntax(QStringLiteral("A field name is missing in the sort text."));
        SortKey key;
        key.column = table.findColumn(name);
        if (key.column < 0)
            raise(adErrInvalidArgument,
                QStringLiteral("The sort names the field '%1', which the record set does not "
                               "have.")
                    .arg(name));
        skip();
        const qsizetype start = i;
        while (i < n && text[i].isLetter())
            ++i;
        const QStringView dir = QStringView(text).mid(start, i - start);
        if (dir.compare(QLatin1String("DESC"), Qt::CaseInsensitive) == 0)
            key.descending = true;
        else if (!dir.isEmpty() && dir.compare(QLatin1String("ASC"), Qt::CaseInsensitive) != 0)
            syntax(QStringLiteral("'%1' is not ASC or DESC in the sort text.").arg(dir.toString()));
        keys.push_back(key);
        skip();
        if (i == n)
            break;
        if (text[i] != u',')
            syntax(
                QStringLiteral("A comma is expected at position %1 of the sort text.").arg(i + 1));
        ++i;
    }
    return keys;
}

namespace {

template<class K> struct Item {
    K key;
    int null; // 1 when the key is Null, so Null sorts first
    int row;
    int ord; // position before sorting, for stability
};

template<class K>
void sortByFirstKey(std::vector<int> &rows, const Table &t, const std::vector<SortKey> &keys,
    const std::vector<K> &data)
{
    const Column &c = t.columns[size_t(keys[0].column)];
    const bool desc = keys[0].descending;
    std::vector<Item<K>> items(rows.size());
    for (size_t k = 0; k < rows.size(); ++k) {
        const int r = rows[k];
        const bool null = c.isNull(r);
        items[k] = Item<K> { null ? K() : data[size_t(r)], null ? 1 : 0, r, int(k) };
    }
    // First by the extracted key alone, then each run of equal keys by the other keys: the
    // costly comparisons stay inside short runs.
    std::sort(items.begin(), items.end(), [desc](const Item<K> &a, const Item<K> &b) {
        if (a.null != b.null)
            return desc ? a.null < b.null : a.null > b.null;
        if (a.key < b.key)
            return !desc;
        if (b.key < a.key)
            return desc;
        return a.ord < b.ord;
    });
    if (keys.size() > 1) {
        auto rest = [&](const Item<K> &a, const Item<K> &b) {
            for (size_t j = 1; j < keys.size(); ++j) {
                const int cmp = t.columns[size_t(keys[j].column)].compareRows(a.row, b.row);
                if (cmp != 0)
                    return keys[j].descending ? cmp > 0 : cmp < 0;
            }
            return false;
        };
        for (size_t lo = 0; lo < items.size();) {
            size_t hi = lo + 1;
            while (hi < items.size() && items[hi].null == items[lo].null
                && !(items[hi].key < items[lo].key) && !(items[lo].key < items[hi].key))
                ++hi;
            if (hi - lo > 1)
                std::stable_sort(items.begin() + qptrdiff(lo), items.begin() + qptrdiff(hi), rest);
            lo = hi;
        }
    }
    for (size_t k = 0; k < rows.size(); ++k)
        rows[k] = items[k].row;
}

} // namespace

void sortRows(std::vector<int> &rows, const Table &t, const std::vector<SortKey> &keys)
{
    if (keys.empty() || rows.size() < 2)
        return;
    const Column &first = t.columns[size_t(keys[0].column)];
    switch (first.kind) {
    case Kind::Int:
    case Kind::Currency:
    case Kind::Date:
        sortByFirstKey<qint64>(rows, t, keys, first.ints);
        return;
    case Kind::Real: {
        std::vector<quint64> order(first.reals.size());
        for (size_t r = 0; r < order.size(); ++r)
            order[r] = realOrderKey(first.reals[r]);
        sortByFirstKey<quint64>(rows, t, keys, order);
        return;
    }
    default:
        break;
    }
    std::stable_sort(
        rows.begin(), rows.end(), [&](int a, int b) { return sortsBefore(t, keys, a, b); });
}

bool sortsBefore(const Table &t, const std::vector<SortKey> &keys, int a, int b)
{
    for (const SortKey &k : keys) {
        const int cmp = t.columns[size_t(k.column)].compareRows(a, b);
        if (cmp != 0)
            return k.descending ? cmp > 0 : cmp < 0;
    }
    return false;
}

} // namespace tessera::detail

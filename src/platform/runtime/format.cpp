// Format: the runtime's format expressions for numbers, Booleans, texts and dates.
// Sections: parsed form - parser - cache - number layout - value dispatch (Format).
//
// Flow: Format() -> parsedFormat() (cache hit, or parse once) -> pick the section by the sign of
// the value -> layoutNumber() turns the value's decimal digits into text token by token. A text
// format (@ & < > !) takes the value's text instead, and layoutText() places its characters.
#include "runtime_p.h"

#include <tessera/Runtime.h>

#include <QHash>
#include <QVarLengthArray>

#include <cmath>
#include <memory>
#include <vector>

namespace tessera {

using namespace detail;

namespace {

// ---- parsed form
// ----------------------------------------------------------------------------------

enum class Tok : quint8 {
    Literal, // text shown as it is
    IntDigit, // 0 or # before the decimal point
    FracDigit, // 0 or # after it
    Point, // the decimal point (the locale's separator)
    Percent, // % (the value was scaled by 100)
    Exponent, // E+ E- e+ e- with their digits
};

struct Token {
    Tok kind;
    char16_t placeholder = 0; // '0' or '#'
    QString text; // literal text; the letter E or e for Exponent
};

struct Section {
    enum Kind : quint8 { Number, Date, Literals, Blank };
    Kind kind = Blank;
    std::vector<Token> tokens;
    QString raw;
    int intCount = 0;
    int fracCount = 0;
    int lastZeroFrac = 0; // 1-based position of the last 0 after the point
    int shift = 0; // power of ten applied before layout (%: +2, scaling comma: -3)
    bool grouping = false;
    bool scientific = false;
    bool expPlus = false;
    int expMinDigits = 0; // placeholders after the marker, from the first 0 on
};

// A text format: @ and & take the value's characters, everything else is literal.
struct TextToken {
    char16_t placeholder = 0; // '@', '&', or 0 for literal text
    QString text;
};

struct TextSection {
    std::vector<TextToken> tokens;
    qsizetype placeholders = 0;
    char16_t letterCase = 0; // '<' or '>' when the text changes case
    bool leftToRight = false; // '!'
};

enum class Named : quint8 {
    None,
    GeneralNumber,
    Currency,
    Fixed,
    Standard,
    Percent,
    Scientific,
    YesNo,
    TrueFalse,
    OnOff,
    GeneralDate,
    LongDate,
    MediumDate,
    ShortDate,
    LongTime,
    MediumTime,
    ShortTime,
};

struct ParsedFormat {
    Named named = Named::None;
    bool text = false; // textSections hold the expression
    std::vector<Section> sections; // at most four
    std::vector<TextSection> textSections; // at most two, instead of sections
};

// ---- parser
// -----------------------------------------------------------------------------------------

void appendLiteral(std::vector<Token> &tokens, const QString &text)
{
    if (text.isEmpty())
        return;
    if (!tokens.empty() && tokens.back().kind == Tok::Literal)
        tokens.back().text += text;
    else
        tokens.push_back({ Tok::Literal, 0, text });
}

Section parseSection(QStringView raw)
{
    Section s;
    s.raw = raw.toString();
    if (raw.isEmpty())
        return s;

    enum State { Int, Frac, Exp, Tail } state = Int;
    // Commas in the integer part are resolved once the placeholders around them are known.
    std::vector<Token> tokens;
    std::vector<size_t> commas;
    bool hasPlaceholder = false;
    const qsizetype n = raw.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = raw[i];
        const char16_t u = c.unicode();
        if (u == u'"') {
            const qsizetype close = raw.indexOf(QLatin1Char('"'), i + 1);
            const qsizetype stop = close < 0 ? n : close;
            appendLiteral(tokens, raw.mid(i + 1, stop - i - 1).toString());
            i = stop;
            if (state == Exp)
                state = Tail;
        } else if (u == u'\\') {
            if (i + 1 < n)
                appendLiteral(tokens, QString(raw[++i]));
            if (state == Exp)
                state = Tail;
        } else if (u == u'0' || u == u'#') {
            hasPlaceholder = true;
            if (state == Int) {
                tokens.push_back({ Tok::IntDigit, u, {} });
                ++s.intCount;
            } else if (state == Frac) {
                tokens.push_back({ Tok::FracDigit, u, {} });
                ++s.fracCount;
                if (u == u'0')
                    s.lastZeroFrac = s.fracCount;
            } else if (state == Exp) {
                if (u == u'0' || s.expMinDigits > 0)
                    ++s.expMinDigits;
            } else {
                appendLiteral(tokens, QString(c));
            }
        } else if (u == u'.' && state == Int) {
            tokens.push_back({ Tok::Point, 0, {} });
            state = Frac;
        } else if (u == u',' && state == Int) {
            commas.push_back(tokens.size());
            tokens.push_back({ Tok::Literal, 0, QStringLiteral(",") });
        } else if (u == u',' && state == Frac) {
            // A comma among the decimals means nothing.
        } else if (u == u'%') {
            tokens.push_back({ Tok::Percent, 0, {} });
            s.shift += 2;
            if (state == Exp)
                state = Tail;
        } else if ((u == u'E' || u == u'e') && (state == Frac || (state == Int && hasPlaceholder))
            && i + 1 < n && (raw[i + 1] == QLatin1Char('+') || raw[i + 1] == QLatin1Char('-'))) {
            // The placeholders after the marker, if any, give the exponent's minimum digits.
            tokens.push_back({ Tok::Exponent, 0, QString(c) });
            s.scientific = true;
            s.expPlus = raw[i + 1] == QLatin1Char('+');
            ++i;
            state = Exp;
        } else {
            appendLiteral(tokens, QString(c));
            if (state == Exp)
                state = Tail;
        }
    }

    // Integer-part commas: between placeholders they ask for grouping, after the last one each
    // divides by 1000, before the first one they are plain text.
    if (!commas.empty()) {
        size_t firstDigit = tokens.size(), lastDigit = 0, intEnd = tokens.size();
        for (size_t k = 0; k < tokens.size(); ++k) {
            const Tok kind = tokens[k].kind;
            if (kind == Tok::Point || kind == Tok::Exponent) {
                intEnd = k;
                break;
            }
            if (kind == Tok::IntDigit) {
                firstDigit = std::min(firstDigit, k);
                lastDigit = k;
            }
        }
        std::vector<bool> drop(tokens.size(), false);
        for (size_t k : commas) {
            if (firstDigit == tokens.size() || k < firstDigit || k > intEnd)
                continue;
            if (k > lastDigit)
                s.shift -= 3;
            else
                s.grouping = true;
            drop[k] = true;
        }
        std::vector<Token> kept;
        kept.reserve(tokens.size());
        for (size_t k = 0; k < tokens.size(); ++k) {
            if (drop[k])
                continue;
            if (tokens[k].kind == Tok::Literal && !kept.empty() && kept.back().kind == Tok::Literal)
                kept.back().text += tokens[k].text;
            else
                kept.push_back(std::move(tokens[k]));
        }
        tokens = std::move(kept);
    }
    bool hasPoint = false;
    for (const Token &t : tokens)
        hasPoint = hasPoint || t.kind == Tok::Point;
    if (hasPlaceholder || hasPoint)
        s.kind = Section::Number;
    else if (sectionHasDateTokens(raw))
        s.kind = Section::Date;
    else
        s.kind = Section::Literals;
    s.tokens = std::move(tokens);
    return s;
}

// True when the section uses @ & < > or ! outside quotes and escapes.
bool isTextSection(QStringView raw)
{
    for (qsizetype i = 0; i < raw.size(); ++i) {
        switch (raw[i].unicode()) {
        case u'"': {
            const qsizetype close = raw.indexOf(QLatin1Char('"'), i + 1);
            i = close < 0 ? raw.size() : close;
            break;
        }
        case u'\\':
            ++i;
            break;
        case u'@':
        case u'&':
        case u'<':
        case u'>':
        case u'!':
            return true;
        default:
            break;
        }
    }
    return false;
}

TextSection parseTextSection(QStringView raw)
{
    TextSection s;
    auto literal = [&](QStringView text) {
        if (text.isEmpty())
            return;
        if (s.tokens.empty() || s.tokens.back().placeholder != 0)
            s.tokens.push_back({});
        s.tokens.back().text += text;
    };
    const qsizetype n = raw.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = raw[i].unicode();
        if (u == u'"') {
            const qsizetype close = raw.indexOf(QLatin1Char('"'), i + 1);
            const qsizetype stop = close < 0 ? n : close;
            literal(raw.mid(i + 1, stop - i - 1));
            i = stop;
        } else if (u == u'\\') {
            if (i + 1 < n)
                literal(raw.mid(++i, 1));
        } else if (u == u'@' || u == u'&') {
            s.tokens.push_back({ u, {} });
            ++s.placeholders;
        } else if (u == u'<' || u == u'>') {
            s.letterCase = u; // the last one counts
        } else if (u == u'!') {
            s.leftToRight = true;
        } else {
            literal(raw.mid(i, 1));
        }
    }
    return s;
}

Named namedFormat(const QString &expression)
{
    static const struct {
        const char *name;
        Named named;
    } table[] = {
        { "General Number", Named::GeneralNumber },
        { "Currency", Named::Currency },
        { "Fixed", Named::Fixed },
        { "Standard", Named::Standard },
        { "Percent", Named::Percent },
        { "Scientific", Named::Scientific },
        { "Yes/No", Named::YesNo },
        { "True/False", Named::TrueFalse },
        { "On/Off", Named::OnOff },
        { "General Date", Named::GeneralDate },
        { "Long Date", Named::LongDate },
        { "Medium Date", Named::MediumDate },
        { "Short Date", Named::ShortDate },
        { "Long Time", Named::LongTime },
        { "Medium Time", Named::MediumTime },
        { "Short Time", Named::ShortTime },
    };
    for (const auto &entry : table) {
        if (expression.compare(QLatin1String(entry.name), Qt::CaseInsensitive) == 0)
            return entry.named;
    }
    return Named::None;
}

std::shared_ptr<const ParsedFormat> parseFormat(const QString &expression)
{
    auto parsed = std::make_shared<ParsedFormat>();
    parsed->named = namedFormat(expression);
    QString pattern = expression;
    switch (parsed->named) {
    case Named::Fixed:
        pattern = QStringLiteral("0.00");
        break;
    case Named::Standard:
    case Named::Currency:
        pattern = QStringLiteral("#,##0.00");
        break;
    case Named::Percent:
        pattern = QStringLiteral("0.00%");
        break;
    case Named::Scientific:
        pattern = QStringLiteral("0.00E+00");
        break;
    default:
        break;
    }
    if (parsed->named == Named::Fixed || parsed->named == Named::Standard
        || parsed->named == Named::Percent || parsed->named == Named::Scientific)
        parsed->named = Named::None;
    else if (parsed->named != Named::None && parsed->named != Named::Currency)
        return parsed;

    // Split at semicolons outside quotes and escapes; a fifth section and beyond are ignored.
    const QStringView view(pattern);
    QVarLengthArray<QStringView, 4> raws;
    qsizetype start = 0;
    bool quoted = false;
    for (qsizetype i = 0; i <= view.size() && raws.size() < 4; ++i) {
        if (i == view.size() || (!quoted && view[i] == QLatin1Char(';'))) {
            raws.append(view.mid(start, i - start));
            start = i + 1;
        } else if (view[i] == QLatin1Char('"')) {
            quoted = !quoted;
        } else if (!quoted && view[i] == QLatin1Char('\\') && i + 1 < view.size()) {
            ++i;
        }
    }
    // A text format has a section for texts and one for empty texts and Null.
    if (parsed->named == Named::None && isTextSection(raws.front())) {
        for (qsizetype k = 0; k < raws.size() && k < 2; ++k)
            parsed->textSections.push_back(parseTextSection(raws[k]));
        parsed->text = true;
        return parsed;
    }
    for (QStringView raw : raws)
        parsed->sections.push_back(parseSection(raw));
    // Only an expression that starts as a date one reads its other sections as dates: a number
    // format's "0;minus" shows the word.
    if (!parsed->sections.empty() && parsed->sections.front().kind != Section::Date) {
        for (Section &section : parsed->sections) {
            if (section.kind == Section::Date)
                section.kind = Section::Literals;
        }
    }
    return parsed;
}

// ---- cache
// -------------------------------------------------------------------------------------------

// The parsed form does not depend on the locale: separators are looked up while laying out.
const ParsedFormat &parsedFormat(const QString &expression)
{
    struct Cache {
        QString lastExpression;
        std::shared_ptr<const ParsedFormat> last;
        QHash<QString, std::shared_ptr<const ParsedFormat>> entries;
    };
    thread_local Cache cache;
    // A caller that passes the same string again shares its data: no need to compare the text.
    if (cache.last
        && ((cache.lastExpression.constData() == expression.constData()
                && cache.lastExpression.size() == expression.size())
            || cache.lastExpression == expression))
        return *cache.last;
    auto it = cache.entries.constFind(expression);
    if (it == cache.entries.constEnd()) {
        // Expressions are few in practice; a cap keeps a stream of distinct ones from growing it.
        if (cache.entries.size() >= 512)
            cache.entries.clear();
        it = cache.entries.insert(expression, parseFormat(expression));
    }
    cache.lastExpression = expression;
    cache.last = it.value();
    return *cache.last;
}

// ---- number layout
// ------------------------------------------------------------------------------------

struct Number {
    Decimal digits; // absolute value
    bool negative = false;
    double value = 0; // for non-finite values, dates and Yes/No
    bool finite = true;
    int significant = 15; // 7 for a Single
};

Number numberFromDouble(double v, int significant = 15)
{
    Number n;
    n.significant = significant;
    n.value = v;
    n.finite = std::isfinite(v);
    n.negative = v < 0;
    if (n.finite) {
        n.digits = Decimal::fromDouble(std::fabs(v));
        if (significant < 15)
            n.digits.roundToSignificant(significant);
    }
    return n;
}

Number numberFromInteger(qint64 v)
{
    Number n;
    n.value = double(v);
    n.negative = v < 0;
    const std::uint64_t magnitude = v < 0 ? std::uint64_t(0) - std::uint64_t(v) : std::uint64_t(v);
    n.digits = Decimal::fromUInt(magnitude);
    return n;
}

Number numberFromUnsigned(quint64 v)
{
    Number n;
    n.value = double(v);
    n.digits = Decimal::fromUInt(v);
    return n;
}

// Collects the text of one value without a heap allocation per character.
class TextBuffer {
public:
    void operator+=(QLatin1Char c) { m_data.append(char16_t(c.unicode())); }
    void operator+=(QChar c) { m_data.append(c.unicode()); }
    void operator+=(const QString &text)
    {
        m_data.append(reinterpret_cast<const char16_t *>(text.utf16()), text.size());
    }
    QString toString() const
    {
        return QString(reinterpret_cast<const QChar *>(m_data.constData()), m_data.size());
    }

private:
    QVarLengthArray<char16_t, 96> m_data;
};

// Lays out |number| with one section. `sign` asks for a leading "-"; it is dropped when the
// rounded value shows as zero.
QString layoutNumber(Decimal d, const Section &s, bool sign, const LocaleInfo &info)
{
    if (!d.isZero())
        d.exp += s.shift;

    int shownExp = 0;
    if (s.scientific) {
        // The mantissa shows as many integer digits as the format has placeholders for.
        if (!d.isZero()) {
            shownExp = d.exp - s.intCount;
            d.exp = s.intCount;
        }
        d.roundToFraction(s.fracCount);
        if (d.isZero()) {
            shownExp = 0; // no placeholder kept a digit
        } else if (d.exp > s.intCount) {
            // Rounding carried into a new digit (9.99 -> 10.0).
            shownExp += d.exp - s.intCount;
            d.exp = s.intCount;
        }
    } else {
        d.roundToFraction(s.fracCount);
    }
    if (d.isZero())
        sign = false;

    const int intLen = d.exp > 0 ? d.exp : 0;
    int lastNonZero = 0;
    for (int j = 1; j <= s.fracCount; ++j) {
        if (d.digitAt(d.exp + j - 1) != '0')
            lastNonZero = j;
    }

    TextBuffer out;
    if (sign)
        out += QLatin1Char('-');
    // Single-character separators (the usual case) skip the string append.
    const bool shortGroup = info.group.size() == 1;
    const QChar groupChar = shortGroup ? info.group[0] : QChar();
    auto emitPlace = [&](int place, char digit) {
        out += QLatin1Char(digit);
        if (s.grouping && place > 0 && place % 3 == 0) {
            if (shortGroup)
                out += groupChar;
            else
                out += info.group;
        }
    };
    auto emitExcess = [&](int fromPlace) {
        for (int k = intLen - 1; k >= fromPlace; --k)
            emitPlace(k, d.digitAt(intLen - 1 - k));
    };

    int intIndex = 0;
    int fracIndex = 0;
    bool started = false;
    for (const Token &t : s.tokens) {
        switch (t.kind) {
        case Tok::Literal:
            out += t.text;
            break;
        case Tok::IntDigit: {
            const int place = s.intCount - 1 - intIndex;
            if (intIndex == 0 && intLen > s.intCount) {
                emitExcess(s.intCount);
                started = true;
            }
            if (place < intLen) {
                emitPlace(place, d.digitAt(intLen - 1 - place));
                started = true;
            } else if (t.placeholder == u'0' || started) {
                emitPlace(place, '0');
                started = true;
            }
            ++intIndex;
            break;
        }
        case Tok::Point:
            if (s.intCount == 0)
                emitExcess(0);
            out += info.decimal;
            break;
        case Tok::FracDigit: {
            ++fracIndex;
            if (t.placeholder == u'0' || fracIndex <= lastNonZero || fracIndex < s.lastZeroFrac)
                out += QLatin1Char(d.digitAt(d.exp + fracIndex - 1));
            break;
        }
        case Tok::Percent:
            out += QLatin1Char('%');
            break;
        case Tok::Exponent: {
            out += t.text;
            if (shownExp < 0)
                out += QLatin1Char('-');
            else if (s.expPlus)
                out += QLatin1Char('+');
            const QString digits = QString::number(shownExp < 0 ? -shownExp : shownExp);
            for (qsizetype k = digits.size(); k < s.expMinDigits; ++k)
                out += QLatin1Char('0');
            out += digits;
            break;
        }
        }
    }
    return out.toString();
}

// Lays out a text with a text section. Placeholders take the characters from the right (from
// the left with '!'); characters beyond them go before (after) everything else.
QString layoutText(QString text, const TextSection &s)
{
    if (s.letterCase == u'<')
        text = std::move(text).toLower();
    else if (s.letterCase == u'>')
        text = std::move(text).toUpper();
    // Where each character starts; a surrogate pair is one character.
    QVarLengthArray<qsizetype, 96> starts;
    for (qsizetype i = 0; i < text.size(); ++i) {
        starts.append(i);
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
    }
    const qsizetype count = starts.size();
    starts.append(text.size());
    const QStringView view(text);
    auto chars = [&](qsizetype from, qsizetype to) {
        return view.mid(starts[from], starts[to] - starts[from]);
    };

    const qsizetype offset = s.leftToRight ? 0 : count - s.placeholders;
    QString out;
    if (offset > 0)
        out += chars(0, offset);
    qsizetype index = offset;
    for (const TextToken &t : s.tokens) {
        if (t.placeholder == 0) {
            out += t.text;
        } else {
            if (index >= 0 && index < count)
                out += chars(index, index + 1);
            else if (t.placeholder == u'@')
                out += QLatin1Char(' ');
            ++index;
        }
    }
    if (s.leftToRight && count > s.placeholders)
        out += chars(s.placeholders, count);
    return out;
}

// A text format shows any value by its text; empty texts and Null take the second section.
[[gnu::noinline]] QString formatAsText(const QVariant &value, const ParsedFormat &pf)
{
    const bool none = !value.isValid() || value.isNull();
    const QString text = value.typeId() == QMetaType::QString ? value.toString() : CStr(value);
    if (text.isEmpty() && pf.textSections.size() >= 2)
        return layoutText(QString(), pf.textSections[1]);
    if (none)
        return QString();
    return layoutText(text, pf.textSections.front());
}

QString nonFiniteText(double v)
{
    return doubleToText(v, localeInfo());
}

QString integerText(const Number &n)
{
    QString out;
    if (n.negative)
        out += QLatin1Char('-');
    for (int k = 0; k < n.digits.exp; ++k)
        out += QLatin1Char(n.digits.digitAt(k));
    return out.isEmpty() || out == QLatin1String("-") ? QStringLiteral("0") : out;
}

QString dateFromSerial(double serial, QStringView pattern, Named named, const LocaleInfo &info);

QString formatNumber(
    const Number &n, bool isInteger, const ParsedFormat &pf, const LocaleInfo &info)
{
    switch (pf.named) {
    case Named::GeneralNumber:
        return isInteger ? integerText(n) : doubleToText(n.value, info, n.significant);
    case Named::YesNo:
        return n.value != 0 ? QStringLiteral("Yes") : QStringLiteral("No");
    case Named::TrueFalse:
        return n.value != 0 ? QStringLiteral("True") : QStringLiteral("False");
    case Named::OnOff:
        return n.value != 0 ? QStringLiteral("On") : QStringLiteral("Off");
    case Named::None:
    case Named::Currency:
        break;
    default:
        return dateFromSerial(n.value, {}, pf.named, info);
    }
    if (!n.finite)
        return nonFiniteText(n.value);

    if (pf.named == Named::Currency) {
        const QString amount = layoutNumber(n.digits, pf.sections.front(), false, info);
        bool allZero = true;
        for (QChar c : amount) {
            if (c.isDigit() && c != QLatin1Char('0'))
                allZero = false;
        }
        QString pattern = n.negative && !allZero ? info.currencyNeg : info.currencyPos;
        const qsizetype one = pattern.indexOf(QLatin1Char('1'));
        if (one < 0)
            return amount;
        return pattern.replace(one, 1, amount);
    }

    const auto &sections = pf.sections;
    // A date expression shows every serial as a date; negative ones are days before 1899-12-30.
    if (sections.front().kind == Section::Date)
        return dateFromSerial(n.value, sections.front().raw, Named::None, info);
    const Section *section = &sections.front();
    bool sign = false;
    if (n.negative) {
        if (sections.size() >= 2 && sections[1].kind != Section::Blank)
            section = &sections[1];
        else
            sign = true;
    } else if (n.digits.isZero() && sections.size() >= 3 && sections[2].kind != Section::Blank) {
        section = &sections[2];
    }
    switch (section->kind) {
    case Section::Blank:
        // An empty positive section shows the value as plain text.
        return isInteger ? integerText(n) : doubleToText(n.value, info, n.significant);
    case Section::Date: // only the first section can be one, handled above
    case Section::Literals:
    case Section::Number:
        break;
    }
    return layoutNumber(n.digits, *section, sign, info);
}

QString formatDateValue(
    const QDateTime &dt, QStringView pattern, Named named, const LocaleInfo &info)
{
    if (!dt.isValid())
        return QString();
    const QLocale &loc = info.locale;
    switch (named) {
    case Named::LongDate:
        return loc.toString(dt.date(), info.longDate);
    case Named::MediumDate:
        return loc.toString(dt.date(), info.mediumDate);
    case Named::ShortDate:
        return loc.toString(dt.date(), info.shortDate);
    case Named::LongTime:
        return loc.toString(dt.time(), info.longTime);
    case Named::MediumTime:
        return loc.toString(dt.time(), QStringLiteral("hh:mm AP"));
    case Named::ShortTime:
        return loc.toString(dt.time(), info.shortTime);
    case Named::None:
        return formatDate(dt, pattern, info);
    default:
        return generalDate(dt, info);
    }
}

QString dateFromSerial(double serial, QStringView pattern, Named named, const LocaleInfo &info)
{
    QDateTime dt;
    try {
        dt = SerialToDate(serial);
    } catch (const Error &) {
        // Out of the date range: show the number rather than lose it.
        return doubleToText(serial, info);
    }
    return formatDateValue(dt, pattern, named, info);
}

bool isDateNamed(Named named)
{
    return named >= Named::GeneralDate;
}

} // namespace

QString Format(const QVariant &value, const QString &expression)
{
    const LocaleInfo &info = localeInfo();
    const int type = value.typeId();
    if (expression.isEmpty()) {
        if (type == QMetaType::QString)
            return value.toString();
        return CStr(value);
    }
    const ParsedFormat &pf = parsedFormat(expression);
    // Out of line and off the numbers' straight path: a plain call here cost format_bench 10%.
    if (pf.text) [[unlikely]]
        return formatAsText(value, pf);

    if (!value.isValid() || value.isNull()) {
        // Empty and Null show the fourth section, or nothing.
        if (pf.sections.size() >= 4 && pf.sections[3].kind != Section::Date)
            return layoutNumber(Decimal(), pf.sections[3], false, info);
        return QString();
    }

    Number n;
    bool isInteger = false;
    switch (type) {
    case QMetaType::Bool:
        n = numberFromInteger(value.toBool() ? -1 : 0);
        isInteger = true;
        break;
    case QMetaType::Double:
        n = numberFromDouble(value.toDouble());
        break;
    case QMetaType::Float:
        n = numberFromDouble(value.toDouble(), 7);
        break;
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::Long:
    case QMetaType::LongLong:
        n = numberFromInteger(value.toLongLong());
        isInteger = true;
        break;
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::UChar:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        n = numberFromUnsigned(value.toULongLong());
        isInteger = true;
        break;
    case QMetaType::QDate:
    case QMetaType::QDateTime:
    case QMetaType::QTime: {
        const QDateTime dt = variantDateTime(value);
        if (isDateNamed(pf.named))
            return formatDateValue(dt, {}, pf.named, info);
        if (pf.named == Named::None && !pf.sections.empty()
            && pf.sections.front().kind == Section::Date)
            return formatDateValue(dt, pf.sections.front().raw, Named::None, info);
        if (!dt.isValid())
            return QString();
        n = numberFromDouble(DateToSerial(dt));
        break;
    }
    default: {
        const QString text = value.toString();
        double number = 0;
        if (!parseLocaleNumber(text, info, number))
            return text; // not a number: shown as it is
        n = numberFromDouble(number);
        break;
    }
    }
    return formatNumber(n, isInteger, pf, info);
}

} // namespace tessera

// Date and time tokens of format expressions: d, w, m, q, y, h, n, s, c, ttttt, AM/PM and kin,
// with "/" and ":" standing for the locale's date and time separators.
#include "runtime_p.h"

#include <QDateTime>

namespace tessera::detail {

namespace {

bool isDateLetter(char16_t u)
{
    switch (u | 0x20) { // lower case for ASCII letters
    case u'd':
    case u'w':
    case u'm':
    case u'q':
    case u'y':
    case u'h':
    case u'n':
    case u's':
    case u'c':
    case u't':
        return true;
    default:
        return false;
    }
}

qsizetype runLength(QStringView text, qsizetype i)
{
    const char16_t lower = text[i].unicode() | 0x20;
    qsizetype j = i;
    while (j < text.size() && (text[j].unicode() | 0x20) == lower)
        ++j;
    return j - i;
}

bool startsWithCi(QStringView text, qsizetype i, const char *what)
{
    return text.mid(i).startsWith(QLatin1String(what), Qt::CaseInsensitive);
}

QString twoDigits(int v)
{
    return QString::number(v).rightJustified(2, QLatin1Char('0'));
}

// Week of the year with Sunday as the first day and week 1 the one holding 1 January.
int weekOfYear(const QDate &date)
{
    const QDate first(date.year(), 1, 1);
    const int firstWeekday = first.dayOfWeek() % 7; // Sunday = 0
    return (date.dayOfYear() - 1 + firstWeekday) / 7 + 1;
}

} // namespace

bool sectionHasDateTokens(QStringView section)
{
    for (qsizetype i = 0; i < section.size(); ++i) {
        const char16_t u = section[i].unicode();
        if (u == u'"') {
            const qsizetype close = section.indexOf(QLatin1Char('"'), i + 1);
            if (close < 0)
                return false;
            i = close;
        } else if (u == u'\\') {
            ++i;
        } else if (u < 128 && isDateLetter(u)) {
            return true;
        }
    }
    return false;
}

QString generalDate(const QDateTime &dateTime, const LocaleInfo &info)
{
    if (!dateTime.isValid())
        return QString();
    const QTime time = dateTime.time();
    const bool hasDate = dateTime.date() != QDate(1899, 12, 30);
    const bool hasTime = time != QTime(0, 0);
    QString out;
    if (hasDate || !hasTime)
        out = info.locale.toString(dateTime.date(), info.shortDate);
    if (hasTime) {
        if (!out.isEmpty())
            out += QLatin1Char(' ');
        out += info.locale.toString(time, info.longTime);
    }
    return out;
}

QString formatDate(const QDateTime &dateTime, QStringView section, const LocaleInfo &info)
{
    const QDate date = dateTime.date();
    const QTime time = dateTime.time();
    const QLocale &loc = info.locale;

    // A 12-hour clock when the section carries an AM/PM marker.
    bool twelveHour = false;
    for (qsizetype i = 0; i < section.size(); ++i) {
        if (startsWithCi(section, i, "am/pm") || startsWithCi(section, i, "a/p")
            || startsWithCi(section, i, "ampm")) {
            twelveHour = true;
            break;
        }
    }

    QString out;
    bool afterHour = false; // an m right after an hour token means minutes
    const qsizetype n = section.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = section[i];
        const char16_t u = c.unicode();
        const char16_t lower = u < 128 ? (u | 0x20) : u;
        if (u == u'"') {
            const qsizetype close = section.indexOf(QLatin1Char('"'), i + 1);
            const qsizetype stop = close < 0 ? n : close;
            out += section.mid(i + 1, stop - i - 1);
            i = stop + 1;
            continue;
        }
        if (u == u'\\') {
            if (i + 1 < n)
                out += section[i + 1];
            i += 2;
            continue;
        }
        if (u == u'/') {
            out += info.dateSeparator;
            ++i;
            continue;
        }
        if (u == u':') {
            out += info.timeSeparator;
            ++i;
            continue;
        }
        if (startsWithCi(section, i, "am/pm")) {
            const bool upper = section[i].isUpper();
            const QString text = time.hour() < 12 ? QStringLiteral("AM") : QStringLiteral("PM");
            out += upper ? text : text.toLower();
            i += 5;
            continue;
        }
        if (startsWithCi(section, i, "a/p")) {
            const bool upper = section[i].isUpper();
            const QString text = time.hour() < 12 ? QStringLiteral("A") : QStringLiteral("P");
            out += upper ? text : text.toLower();
            i += 3;
            continue;
        }
        if (startsWithCi(section, i, "ampm")) {
            out += time.hour() < 12 ? info.am : info.pm;
            i += 4;
            continue;
        }
        if (u >= 128 || !isDateLetter(u)) {
            out += c;
            ++i;
            continue;
        }
        qsizetype len = runLength(section, i);
        switch (lower) {
        case u'd':
            if (len == 1)
                out += QString::number(date.day());
            else if (len == 2)
                out += twoDigits(date.day());
            else if (len == 3)
                out += loc.dayName(date.dayOfWeek(), QLocale::ShortFormat);
            else if (len == 4)
                out += loc.dayName(date.dayOfWeek(), QLocale::LongFormat);
            else if (len == 5)
                out += loc.toString(date, info.shortDate);
            else
                out += loc.toString(date, info.longDate);
            afterHour = false;
            break;
        case u'w':
            len = std::min<qsizetype>(len, 2);
            out += QString::number(len == 1 ? date.dayOfWeek() % 7 + 1 : weekOfYear(date));
            afterHour = false;
            break;
        case u'm': {
            // Minutes after an hour or before seconds, months otherwise.
            qsizetype next = i + len;
            while (next < n && !section[next].isLetter())
                ++next;
            const bool beforeSeconds = next < n && (section[next].unicode() | 0x20) == u's';
            if (len <= 2 && (afterHour || beforeSeconds)) {
                out += len == 1 ? QString::number(time.minute()) : twoDigits(time.minute());
            } else if (len == 1) {
                out += QString::number(date.month());
            } else if (len == 2) {
                out += twoDigits(date.month());
            } else if (len == 3) {
                out += loc.monthName(date.month(), QLocale::ShortFormat);
            } else {
                out += loc.monthName(date.month(), QLocale::LongFormat);
            }
            afterHour = false;
            break;
        }
        case u'q':
            len = 1;
            out += QString::number((date.month() - 1) / 3 + 1);
            break;
        case u'y':
            if (len == 1 || len == 3) {
                out += QString::number(date.dayOfYear());
                len = 1;
            } else if (len == 2) {
                out += twoDigits(date.year() % 100);
            } else {
                out += QString::number(date.year());
                len = std::min<qsizetype>(len, 4);
            }
            break;
        case u'h': {
            len = std::min<qsizetype>(len, 2);
            int hour = time.hour();
            if (twelveHour) {
                hour %= 12;
                if (hour == 0)
                    hour = 12;
            }
            out += len == 1 ? QString::number(hour) : twoDigits(hour);
            afterHour = true;
            i += len;
            continue;
        }
        case u'n':
            len = std::min<qsizetype>(len, 2);
            out += len == 1 ? QString::number(time.minute()) : twoDigits(time.minute());
            break;
        case u's':
            len = std::min<qsizetype>(len, 2);
            out += len == 1 ? QString::number(time.second()) : twoDigits(time.second());
            break;
        case u'c':
            len = 1;
            out += generalDate(dateTime, info);
            break;
        case u't':
            if (len >= 5) {
                len = 5;
                out += loc.toString(time, info.longTime);
            } else {
                out += section.mid(i, len);
            }
            break;
        default:
            break;
        }
        i += len;
    }
    return out;
}

} // namespace tessera::detail

// Format with random expressions and values, in two locales. Beyond not crashing: a numeric text
// formats as its number, a Boolean as -1/0, a whole number the same as its Double, a text that is
// not numeric comes back unchanged, and an empty expression gives CStr. A text format (@ & < > !
// in the first section) takes every value by its text instead: a number or a Boolean formats as
// its CStr. Empty and Null always format alike.
#include "fuzz_input.h"

#include <tessera/Runtime.h>

#include <QLocale>

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {
QString formatOrError(const QVariant &value, const QString &expression)
{
    try {
        return tessera::Format(value, expression);
    } catch (const tessera::Error &e) {
        // a defined error is an answer, not a fault; keep it comparable
        return QStringLiteral("<error %1>").arg(e.number());
    }
}

// The first section, up to a semicolon outside quotes and escapes, has @ & < > or ! outside them.
bool isTextFormat(const QString &expression)
{
    bool quoted = false;
    for (qsizetype i = 0; i < expression.size(); ++i) {
        const QChar c = expression[i];
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (quoted)
            continue;
        else if (c == QLatin1Char('\\'))
            ++i;
        else if (c == QLatin1Char(';'))
            return false;
        else if (QStringLiteral("@&<>!").contains(c))
            return true;
    }
    return false;
}

void expectSame(const char *what, const QString &a, const QString &b, const QString &expression)
{
    if (a == b)
        return;
    std::fprintf(stderr, "fuzz_format: %s: \"%s\" vs \"%s\" with \"%s\"\n", what, qUtf8Printable(a),
        qUtf8Printable(b), qUtf8Printable(expression));
    std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    tessera::fuzz::Input in(data, size);
    tessera::fuzz::pickUserLocale(in);
    const QString expression = in.anyText();
    const bool textFormat = isTextFormat(expression);
    switch (in.small(4)) {
    case 0: {
        const double number = in.number();
        const QString shown = formatOrError(number, expression);
        if (expression.isEmpty())
            expectSame("empty expression", shown, tessera::CStr(QVariant(number)), expression);
        if (textFormat)
            expectSame("number vs its text", shown,
                formatOrError(tessera::CStr(QVariant(number)), expression), expression);
        // A whole number in the Long range formats like its Double.
        if (std::isfinite(number) && std::abs(number) < 2147483648.0) {
            const qint32 whole = qint32(number);
            expectSame("Long vs Double", formatOrError(whole, expression),
                formatOrError(double(whole), expression), expression);
        }
        break;
    }
    case 1: {
        const QString text = in.text();
        const QString shown = formatOrError(text, expression);
        if (expression.isEmpty()) {
            expectSame("empty expression on text", shown, text, expression);
        } else if (textFormat) {
            // any text, numeric or not, is laid out as it is: nothing to compare with
        } else if (tessera::IsNumeric(text)) {
            expectSame("numeric text vs its number", shown,
                formatOrError(tessera::CDbl(text), expression), expression);
        } else {
            expectSame("non-numeric text", shown, text, expression);
        }
        break;
    }
    case 2: {
        const bool flag = in.small(2);
        if (textFormat)
            expectSame("Boolean vs its text", formatOrError(flag, expression),
                formatOrError(tessera::CStr(flag), expression), expression);
        else if (!expression.isEmpty()) // an empty expression gives "True"/"False"
            expectSame("Boolean vs -1/0", formatOrError(flag, expression),
                formatOrError(flag ? -1 : 0, expression), expression);
        break;
    }
    default:
        expectSame("Empty vs Null", formatOrError(QVariant(), expression),
            formatOrError(tessera::Null(), expression), expression);
        break;
    }
    return 0;
}

// Val, IsNumeric, CDbl and CBool on random texts, checked against each other:
// IsNumeric and CDbl agree, CBool of a numeric text is its number's truth, Val reads back the
// shortest exact text of a double and ignores what follows the number.
#include "fuzz_input.h"

#include <tessera/Runtime.h>

#include <QLocale>

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {
[[noreturn]] void fail(const char *what, const QString &text)
{
    std::fprintf(stderr, "fuzz_val: %s for \"%s\"\n", what, qUtf8Printable(text));
    std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    tessera::fuzz::Input in(data, size);
    tessera::fuzz::pickUserLocale(in);
    const QString text = in.anyText();
    const double value = tessera::Val(text);
    // A letter after the number ends it: the value does not change.
    const double extended = tessera::Val(text + QLatin1Char('z'));
    if (!(value == extended || (std::isnan(value) && std::isnan(extended))))
        fail("Val changed by a trailing letter", text);

    const bool numeric = tessera::IsNumeric(text);
    bool converted = true;
    double number = 0;
    try {
        number = tessera::CDbl(text);
    } catch (const tessera::Error &e) {
        if (e.number() != tessera::errTypeMismatch)
            fail("CDbl raised an error other than Type mismatch", text);
        converted = false;
    }
    if (numeric != converted)
        fail("IsNumeric and CDbl disagree", text);
    if (numeric) {
        try {
            if (tessera::CBool(text) != (number != 0))
                fail("CBool differs from CDbl <> 0", text);
        } catch (const tessera::Error &) {
            fail("CBool rejected a numeric text", text);
        }
    }

    // The round-trip texts of a double read back exactly.
    const double x = in.number();
    if (std::isfinite(x)) {
        const QString exact = QString::number(x, 'g', 17);
        if (tessera::Val(exact) != x)
            fail("Val does not read back", exact);
    }
    return 0;
}

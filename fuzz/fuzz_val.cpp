// Val, IsNumeric and CDbl on random texts; IsNumeric and CDbl must agree.
#include "fuzz_input.h"

#include <tessera/Runtime.h>

#include <QLocale>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    tessera::fuzz::Input in(data, size);
    static const QLocale locales[] = { QLocale(QLocale::English, QLocale::UnitedStates),
                                       QLocale(QLocale::Italian, QLocale::Italy) };
    tessera::setUserLocale(locales[in.small(2)]);
    const QString text = in.text();
    (void)tessera::Val(text);
    const bool numeric = tessera::IsNumeric(text);
    bool converted = true;
    try {
        (void)tessera::CDbl(text);
    } catch (const tessera::Error &) {
        converted = false;
    }
    if (numeric != converted)
        std::abort(); // the test and the conversion disagree
    return 0;
}

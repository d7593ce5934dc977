// Format with random expressions and values, in two locales.
#include "fuzz_input.h"

#include <tessera/Runtime.h>

#include <QLocale>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    tessera::fuzz::Input in(data, size);
    static const QLocale locales[] = { QLocale(QLocale::English, QLocale::UnitedStates),
                                       QLocale(QLocale::Italian, QLocale::Italy) };
    tessera::setUserLocale(locales[in.small(2)]);
    const QString expression = in.text();
    QVariant value;
    switch (in.small(4)) {
    case 0:
        value = in.number();
        break;
    case 1:
        value = in.text();
        break;
    case 2:
        value = bool(in.small(2));
        break;
    default:
        break; // null
    }
    try {
        (void)tessera::Format(value, expression);
    } catch (const tessera::Error &) {
        // a defined error is an answer, not a fault
    }
    return 0;
}

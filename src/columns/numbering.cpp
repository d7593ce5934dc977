// Automatic numbering: row numbers down column 0 and column letters along row 0 (EnumHeader).
#include "tessera_p.h"

namespace tessera {

bool Tessera::AutoNumberRows() const
{
    return d->autoNumberRows;
}

void Tessera::setAutoNumberRows(bool number)
{
    if (number == d->autoNumberRows)
        return;
    FlexGrid &g = *d->fxgGrid;
    const qint32 fixed = g.FixedRows();
    for (qint32 r = fixed, n = g.Rows(); r < n; ++r)
        g.setTextMatrix(r, 0, number ? QString::number(r + 1 - fixed) : QString());
    d->autoNumberRows = number;
    d->notify(QStringLiteral("AutoNumberRows"));
}

bool Tessera::AutoNumberCols() const
{
    return d->autoNumberCols;
}

void Tessera::setAutoNumberCols(bool number)
{
    if (number == d->autoNumberCols)
        return;
    FlexGrid &g = *d->fxgGrid;
    const qint32 fixed = g.FixedCols();
    for (qint32 c = fixed, n = g.Cols(); c < n; ++c) {
        qint32 letter = c + 1 - fixed;
        g.setTextMatrix(0, c, number ? EnumHeader(letter) : QString());
    }
    d->autoNumberCols = number;
    d->notify(QStringLiteral("AutoNumberCols"));
}

QString Tessera::EnumHeader(qint32 &Colonna) const
{
    // Bijective base 26: 1..26 are A..Z, 27 is AA. Negative numbers have no letters.
    QString s;
    for (qint64 n = Colonna; n > 0;) {
        const qint64 digit = (n + 25) % 26 + 1;
        s.prepend(QChar(char16_t(64 + digit)));
        n = (n - digit) / 26;
    }
    return s;
}

} // namespace tessera

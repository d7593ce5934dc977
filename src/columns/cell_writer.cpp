// The cell writer: TextMatrix and its three variants, which turn truth values into check marks
// and numbers into sign arrows by the column's definition, and TextArray.
#include "tessera_p.h"

#include <tessera/Runtime.h>

#include <algorithm>

namespace tessera {

namespace {

constexpr qint32 ArrowUpColor = 0x009900; // RGB(0, 153, 0) as an OLE colour
constexpr qint32 ArrowDownColor = 0x0000FF; // RGB(255, 0, 0)

// True for the runtime's text for True, or any text that converts to True.
bool convertsToTrue(const QString &text)
{
    static const QString trueText = CStr(true), falseText = CStr(false);
    if (text == trueText)
        return true;
    if (text == falseText)
        return false;
    bool value = false;
    skipOnError([&] { value = CBool(text); });
    return value;
}

// The narrow notion of true of the 1Plus and WithFormat writers.
bool isStrictTrue(const QString &text)
{
    static const QString trueText = CStr(true);
    return text == trueText || text == QLatin1String("-1") || text == QLatin1String(" -1");
}

} // namespace

QString Tessera::TextMatrix(qint32 Row, qint32 Col) const
{
    const eColDefsX *def = d->slot(Col);
    if (!def)
        throw Error(errSubscriptOutOfRange);
    const QString text = d->fxgGrid->TextMatrix(Row, Col);
    return def->CheckBox ? CStr(text == CheckedMark) : text;
}

// What every writer shares: the grid write with skip-on-failure, and the sign-arrow write.
struct CellWriter {
    TesseraPrivate &d;
    qint32 row, col;

    void write(const QString &text) const
    {
        skipOnError([&] { d.fxgGrid->setTextMatrix(row, col, text); });
    }

    // The arrow for the sign of a number, in its colour, written into the cell directly: the
    // grid's cursor never moves, so the host sees no cell events and the selection stays.
    void signArrow(QStringView text) const
    {
        static const QString up(QChar(173)), flat(QChar(171)), down(QChar(175));
        QString withoutPercent;
        if (std::find(text.begin(), text.end(), u'%') != text.end()) {
            withoutPercent = text.toString().remove(QLatin1Char('%'));
            text = withoutPercent;
        }
        double v = 0;
        const bool numeric = NumericValue(text, v);
        const qint32 color = !numeric || v == 0 ? 0 : v > 0 ? ArrowUpColor : ArrowDownColor;
        skipOnError([&] { d.fxgGrid->setCellForeColorAt(row, col, color); });
        write(!numeric ? QString() : v > 0 ? up : v < 0 ? down : flat);
    }

    bool headerRow() const { return row < d.fxgGrid->FixedRows(); }
};

void Tessera::setTextMatrix(qint32 Row, qint32 Col, const QString &text)
{
    const CellWriter w { *d, Row, Col };
    const eColDefsX *def = d->slot(Col);
    if (!def)
        w.write(text);
    else if (def->CheckBox)
        w.write(convertsToTrue(text) ? CheckedMark : UncheckedMark);
    else if (w.headerRow())
        w.write(text);
    else if (def->ColorBySigned)
        w.signArrow(text);
    else
        w.write(text);
    d->notify(QStringLiteral("TextMatrix"));
}

void Tessera::setTextMatrix1Plus(qint32 Row, qint32 Col, const QString &text)
{
    const CellWriter w { *d, Row, Col };
    const eColDefsX *def = d->slot(Col);
    if (!def || w.headerRow())
        w.write(text);
    else if (def->CheckBox)
        w.write(isStrictTrue(text) ? CheckedMark : UncheckedMark);
    else if (def->ColorBySigned)
        w.signArrow(text);
    else
        w.write(text);
    d->notify(QStringLiteral("TextMatrix"));
}

void Tessera::setTextMatrixWithFormat(qint32 Row, qint32 Col, const QString &text)
{
    const CellWriter w { *d, Row, Col };
    const eColDefsX *def = d->slot(Col);
    if (!def)
        w.write(text);
    else if (def->CheckBox) // header rows included
        w.write(isStrictTrue(text) ? CheckedMark : UncheckedMark);
    else if (def->ColorBySigned)
        w.signArrow(text);
    else if (def->TextFormat.isEmpty())
        w.write(text);
    else
        w.write(Format(text, def->TextFormat));
    d->notify(QStringLiteral("TextMatrix"));
}

void Tessera::setTextMatrixWithFormat1Plus(qint32 Row, qint32 Col, const QString &text)
{
    setTextMatrixWithFormat(Row, Col, text);
}

void Tessera::setTextArray(qint32 Index, const QString &text)
{
    d->fxgGrid->setTextArray(Index, text);
    d->notify(QStringLiteral("TextArray"));
}

} // namespace tessera

// Sorting: keys are computed once per row (numbers parsed, case folded), an index permutation is
// sorted stably, then whole rows move: text, formats, heights, row data, merge flags and bound
// records, so a cell's colours stay beside its text.
#include "grid_model_p.h"

#include <tessera/Recordset.h>
#include <tessera/Runtime.h>
#include <tessera/VariantTypes.h>

#include <algorithm>
#include <cmath>

namespace tessera::detail {

namespace {

// A key's number: numeric sorts read the leading number (Val); generic sorts ask the user's
// numeric test whether the whole text is a number, and take the number it reads.
double textNumber(QStringView s, bool *whole)
{
    if (!whole)
        return Val(s);
    double value = 0;
    *whole = NumericValue(s, value);
    return value;
}

int threeWay(double a, double b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

// One key column's values for the rows being sorted.
struct KeyColumn {
    std::vector<double> numbers;
    std::vector<char> isNumber; // generic sort only
    std::vector<QString> texts;
};

// Bottom-up merge sort: stable, and safe whatever a host's compare callback answers.
template<class Greater> void mergeSort(std::vector<int> &order, Greater greater)
{
    const size_t n = order.size();
    std::vector<int> tmp(n);
    for (size_t width = 1; width < n; width *= 2) {
        for (size_t lo = 0; lo < n; lo += 2 * width) {
            const size_t mid = std::min(lo + width, n), hi = std::min(lo + 2 * width, n);
            size_t a = lo, b = mid, out = lo;
            while (a < mid && b < hi)
                tmp[out++] = greater(order[a], order[b]) ? order[b++] : order[a++];
            while (a < mid)
                tmp[out++] = order[a++];
            while (b < hi)
                tmp[out++] = order[b++];
        }
        order.swap(tmp);
    }
}

} // namespace

void GridModel::sortRows(int first, int last, int keyCol1, int keyCol2, int code,
    const std::function<int(int, int)> &compare)
{
    if (first > last)
        std::swap(first, last);
    if (keyCol1 > keyCol2)
        std::swap(keyCol1, keyCol2);
    first = std::max(first, 0);
    last = std::min(last, d->rows() - 1);
    keyCol1 = std::max(keyCol1, 0);
    keyCol2 = std::min(keyCol2, d->cols() - 1);
    if (first >= last || code < SortGenericAscending || code > SortCustom)
        return;
    if (code != SortCustom && keyCol1 > keyCol2)
        return;

    const int n = last - first + 1;
    std::vector<int> order(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        order[size_t(i)] = i;

    if (code == SortCustom) {
        if (!compare)
            return;
        // Rows stay in place while the callback reads them; only the permutation moves.
        mergeSort(order, [&](int a, int b) { return compare(first + a, first + b) > 0; });
        d->remapRows(RowRemap { first, n, std::move(order) });
        return;
    }

    const bool descending = (code % 2) == 0;
    std::vector<KeyColumn> keys(size_t(keyCol2 - keyCol1 + 1));
    QString scratch;
    // A bound cell's number comes from the record's typed value: no text to format and parse,
    // and no trouble with the user's decimal separator.
    auto numberAt = [&](int row, int col, bool *whole) -> double {
        if (d->text.handle(row, col) == GridTextStore::kNone && d->readsThrough(row, col)) {
            const QVariant v = d->recordset->RecordValue(
                d->rowSource[size_t(row)], d->colInfo[size_t(col)].field);
            if (isNumberTypeId(v.typeId())) {
                if (whole)
                    *whole = true;
                return v.toDouble();
            }
        }
        return textNumber(d->view(row, col, scratch), whole);
    };
    for (int c = keyCol1; c <= keyCol2; ++c) {
        KeyColumn &k = keys[size_t(c - keyCol1)];
        switch (code) {
        case SortNumericAscending:
        case SortNumericDescending:
            k.numbers.resize(size_t(n));
            for (int i = 0; i < n; ++i)
                k.numbers[size_t(i)] = numberAt(first + i, c, nullptr);
            break;
        case SortGenericAscending:
        case SortGenericDescending:
            k.numbers.resize(size_t(n));
            k.isNumber.resize(size_t(n));
            k.texts.resize(size_t(n));
            for (int i = 0; i < n; ++i) {
                bool whole = false;
                const double x = numberAt(first + i, c, &whole);
                k.isNumber[size_t(i)] = whole;
                if (whole)
                    k.numbers[size_t(i)] = x;
                else
                    k.texts[size_t(i)] = d->view(first + i, c, scratch).toString();
            }
            break;
        case SortStringNoCaseAscending:
        case SortStringNoCaseDescending:
            k.texts.resize(size_t(n));
            for (int i = 0; i < n; ++i)
                k.texts[size_t(i)] = d->view(first + i, c, scratch).toString().toCaseFolded();
            break;
        default:
            k.texts.resize(size_t(n));
            for (int i = 0; i < n; ++i)
                k.texts[size_t(i)] = d->view(first + i, c, scratch).toString();
            break;
        }
    }

    auto cmpKey = [&](const KeyColumn &k, int a, int b) -> int {
        if (!k.isNumber.empty()) {
            const bool na = k.isNumber[size_t(a)], nb = k.isNumber[size_t(b)];
            if (na != nb)
                return na ? -1 : 1; // numbers before text
            if (na)
                return threeWay(k.numbers[size_t(a)], k.numbers[size_t(b)]);
            return QStringView(k.texts[size_t(a)]).compare(k.texts[size_t(b)]);
        }
        if (!k.numbers.empty())
            return threeWay(k.numbers[size_t(a)], k.numbers[size_t(b)]);
        return QStringView(k.texts[size_t(a)]).compare(k.texts[size_t(b)]);
    };

    if (keys.size() == 1 && !keys[0].numbers.empty() && keys[0].isNumber.empty()) {
        // One numeric key: sort (value, index) pairs, cache-friendly.
        std::vector<std::pair<double, int>> pairs(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i)
            pairs[size_t(i)] = { keys[0].numbers[size_t(i)], i };
        if (descending)
            std::stable_sort(pairs.begin(), pairs.end(),
                [](const auto &a, const auto &b) { return b.first < a.first; });
        else
            std::stable_sort(pairs.begin(), pairs.end(),
                [](const auto &a, const auto &b) { return a.first < b.first; });
        for (int i = 0; i < n; ++i)
            order[size_t(i)] = pairs[size_t(i)].second;
    } else {
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            for (const auto &k : keys) {
                const int r = cmpKey(k, a, b);
                if (r != 0)
                    return descending ? r > 0 : r < 0;
            }
            return false;
        });
    }
    d->remapRows(RowRemap { first, n, std::move(order) });
}

} // namespace tessera::detail

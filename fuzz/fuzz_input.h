// Splits a fuzzer's bytes into the texts and numbers a target needs.
#pragma once

#include <tessera/Runtime.h>

#include <QLocale>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tessera::fuzz {

class Input {
public:
    Input(const uint8_t *data, size_t size)
        : m_data(data)
        , m_size(size)
    {
    }

    bool atEnd() const { return m_pos >= m_size; }

    // A text up to the next NUL byte (or the end), read as UTF-8.
    QString text()
    {
        size_t start = m_pos;
        while (m_pos < m_size && m_data[m_pos] != 0)
            ++m_pos;
        QString result = QString::fromUtf8(
            reinterpret_cast<const char *>(m_data + start), qsizetype(m_pos - start));
        if (m_pos < m_size)
            ++m_pos;
        return result;
    }

    // A text of raw UTF-16 code units up to the next 0 unit (or the end): lone surrogates and
    // all, as a host can hand them over.
    // A text read as UTF-8 three times in four, else as raw UTF-16 (lone surrogates included).
    QString anyText() { return small(4) == 0 ? utf16Text() : text(); }

    QString utf16Text()
    {
        QString result;
        while (m_size - m_pos >= 2) {
            const char16_t unit = char16_t(m_data[m_pos] | (m_data[m_pos + 1] << 8));
            m_pos += 2;
            if (unit == 0)
                break;
            result += QChar(unit);
        }
        return result;
    }

    double number()
    {
        double value = 0;
        if (m_size - m_pos >= sizeof value) {
            std::memcpy(&value, m_data + m_pos, sizeof value);
            m_pos += sizeof value;
        }
        return value;
    }

    qint32 integer()
    {
        qint32 value = 0;
        if (m_size - m_pos >= sizeof value) {
            std::memcpy(&value, m_data + m_pos, sizeof value);
            m_pos += sizeof value;
        }
        return value;
    }

    int small(int bound)
    {
        if (atEnd() || bound <= 0)
            return 0;
        return m_data[m_pos++] % bound;
    }

private:
    const uint8_t *m_data;
    size_t m_size;
    size_t m_pos = 0;
};

// Runs the input in en_US or it_IT, as the byte says.
inline void pickUserLocale(Input &in)
{
    static const QLocale locales[] = { QLocale(QLocale::English, QLocale::UnitedStates),
        QLocale(QLocale::Italian, QLocale::Italy) };
    tessera::setUserLocale(locales[in.small(2)]);
}

} // namespace tessera::fuzz

// The error a member raises through the host's standard error mechanism, and the helper that runs
// a step with skip-on-failure handling.
#pragma once

#include <QString>
#include <exception>
#include <utility>

namespace tessera {

// The runtime's usual error numbers (tessera::Error::number()). Each layer publishes its own
// numbers the same way beside its class: RecordsetError, FlexGridError.
enum RuntimeError : int {
    errInvalidProcedureCall = 5,
    errOverflow = 6,
    errOutOfMemory = 7,
    errSubscriptOutOfRange = 9,
    errTypeMismatch = 13,
    errFileNotFound = 53,
    errFileAccess = 75, // "Path/File access error"
    errObjectNotSet = 91,
    errInvalidFileFormat = 321,
    errInvalidPropertyValue = 380,
    errInvalidPropertyArrayIndex = 381,
    errObjectDoesNotSupportMember = 438,
    errArgumentNotOptional = 449,
    errCantOpenClipboard = 521,
};

class Error : public std::exception {
public:
    explicit Error(int number, QString description = {}, QString source = {});

    int number() const noexcept { return m_number; }
    const QString &description() const noexcept { return m_description; }
    const QString &source() const noexcept { return m_source; }
    const char *what() const noexcept override { return m_what.constData(); }

    // The runtime's own text for a number ("Type mismatch"); empty for numbers it does not know.
    static QString standardDescription(int number);

private:
    int m_number;
    QString m_description;
    QString m_source;
    QByteArray m_what;
};

// Runs one step with skip-on-failure handling: a tessera::Error ends the step, not the caller.
// Returns true when the step ran to its end. `lastError`, when given, receives the failure.
template<class Step> bool skipOnError(Step &&step, Error *lastError = nullptr)
{
    try {
        std::forward<Step>(step)();
        return true;
    } catch (const Error &e) {
        if (lastError)
            *lastError = e;
        return false;
    }
}

} // namespace tessera

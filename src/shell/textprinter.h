#pragma once

#include <QString>

/// Outcome of a print job: ok, or why nothing was printed.
struct PrintResult
{
    bool ok = false;
    QString error; ///< empty when ok

    explicit operator bool() const { return ok; }
};

/// Prints plain text as one job on the printer the program uses.
class TextPrinter
{
public:
    virtual ~TextPrinter() = default;
    [[nodiscard]] virtual PrintResult printText(const QString& text) = 0;
};

#pragma once

#include <QString>
#include <QStringList>

#include <string>

// What the converter program wrote on standard error: "notice: " lines, and the reason of its
// failure (its last other line). The converter handles hostile pictures, so what it says is
// kept as short, printable text only.
class ConverterReport {
public:
    // Of the report, this much is kept; the converter writes a line or two.
    static constexpr std::size_t kMaxBytes = 4096;

    // The reason in `report`; its notices into `notices`.
    static QString reasonIn(const std::string& report, QStringList& notices);
};

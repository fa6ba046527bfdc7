#pragma once

#include <QString>
#include <cstdint>
#include <optional>

// The number grammar of the dialog's interval fields: within the first 31 characters, optional
// blanks and tabs, an optional plus sign, decimal digits, optional blanks and tabs, and nothing
// else. Digits beyond 4294967295 read as 4294967295. A result of 0 counts only when the text
// begins with the digit 0 (so "", "+0" and " 0" do not read). Nothing when the text does not
// read as a positive integer.
std::optional<std::uint32_t> readDialogNumber(const QString& text);

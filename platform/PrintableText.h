#pragma once

#include <QString>

// Texts bound for a terminal, a log line or the tray tip. A file name may hold any character
// but "/" and the zero byte: line breaks that would forge lines of their own, and escape
// sequences that a terminal acts on, included.
namespace PrintableText {

// `text` on one line with nothing in it that a terminal acts on. Control characters become
// \n, \r, \t, \e or \xNN (C1 ones \u{NNNN}), and so do the line and paragraph separators
// (\u{2028}, \u{2029}); a lone surrogate becomes \xNN when it stands for a byte of a file name
// that is not UTF-8 (see FileName), \u{DNNN} otherwise. Everything else is left as it is.
QString escaped(const QString& text);

// From now on every message logged in this process goes on to the handler before it escaped
// (escaped()), so that each message stays one line whatever names it quotes.
void escapeLogMessages();

} // namespace PrintableText

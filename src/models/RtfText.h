#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Plain text of a rich-text (RTF) copy, for entries that carry no plain text of their own.
namespace RtfText {

// The document's visible text: paragraphs and line breaks become LF, tabs and table cells TAB,
// table rows LF; a single final paragraph mark is dropped. Absent when the bytes do not start
// (after leading whitespace) with an RTF group. Runs in time linear in the input and never fails
// on malformed documents: it returns whatever text it could read.
std::optional<QString> plainText(const QByteArray& rtf);

} // namespace RtfText

#pragma once

#include <QString>
#include <QStringView>
#include <QUrl>
#include <optional>

// Text rules shared by capture titles and display titles.
namespace TextRules {

// The first non-empty line (LF, VT, FF, CR, CR LF, NEL, LS and PS end lines), cut to its first
// maxCharacters user-perceived characters; empty when there is none. The line is not trimmed.
QString firstLine(QStringView text, int maxCharacters = 160);

// Number of extended grapheme clusters.
qsizetype characterCount(QStringView text);

// Strips the Unicode whitespace-and-newline set from both ends.
QStringView trimmedWhitespace(QStringView text);

bool containsWhitespace(QStringView text);

// Strict UTF-8 decoding: absent when the bytes are not valid UTF-8.
std::optional<QString> decodeUtf8(const QByteArray& bytes);

// The last non-empty segment of the URL's decoded path; empty when it has none.
QString lastPathComponent(const QUrl& url);

} // namespace TextRules

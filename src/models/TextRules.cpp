#include "models/TextRules.h"

#include <QStringDecoder>
#include <algorithm>
#include <memory>
#include <unicode/ubrk.h>

namespace TextRules {
namespace {

bool isLineSeparator(char16_t c)
{
    return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

struct BreakIteratorCloser {
    void operator()(UBreakIterator* iterator) const { ubrk_close(iterator); }
};
using BreakIterator = std::unique_ptr<UBreakIterator, BreakIteratorCloser>;

// ICU's character iterator follows the extended grapheme cluster rules of the Unicode release it
// ships; Qt's own boundary finder lags behind on emoji sequences. Opening one loads rules and costs
// far more than a title, so each thread keeps one and points it at new text.
UBreakIterator* characterIterator(QStringView text)
{
    thread_local BreakIterator iterator = [] {
        UErrorCode status = U_ZERO_ERROR;
        BreakIterator opened(ubrk_open(UBRK_CHARACTER, "", nullptr, 0, &status));
        return U_FAILURE(status) ? nullptr : std::move(opened);
    }();
    if (!iterator)
        return nullptr;
    UErrorCode status = U_ZERO_ERROR;
    ubrk_setText(iterator.get(), reinterpret_cast<const UChar*>(text.utf16()),
                 static_cast<int32_t>(text.size()), &status);
    return U_FAILURE(status) ? nullptr : iterator.get();
}

} // namespace

QString firstLine(QStringView text, int maxCharacters)
{
    qsizetype start = 0;
    while (start < text.size() && isLineSeparator(text[start].unicode()))
        ++start;
    const QStringView rest = text.sliced(start);
    // Lines of a few code units cannot exceed the limit; skip ICU for them. Beyond that, only the
    // kept characters are looked at, so a huge single line costs no more than a short one.
    const qsizetype probe = std::min<qsizetype>(rest.size(), qsizetype(maxCharacters) + 1);
    for (qsizetype end = 0; end < probe; ++end) {
        if (isLineSeparator(rest[end].unicode()))
            return rest.first(end).toString();
    }
    if (rest.size() <= maxCharacters)
        return rest.toString();
    UBreakIterator* iterator = characterIterator(rest);
    if (!iterator)
        return rest.first(maxCharacters).toString();
    // Line separators are clusters of their own (CR LF being one), so the line ends at the first
    // cluster that starts with one.
    int32_t boundary = 0;
    for (int i = 0; i < maxCharacters; ++i) {
        const int32_t next = ubrk_next(iterator);
        if (next == UBRK_DONE)
            break;
        if (isLineSeparator(rest[boundary].unicode()))
            break;
        boundary = next;
    }
    return rest.first(boundary).toString();
}

qsizetype characterCount(QStringView text)
{
    if (text.isEmpty())
        return 0;
    UBreakIterator* iterator = characterIterator(text);
    if (!iterator)
        return text.size();
    qsizetype count = 0;
    while (ubrk_next(iterator) != UBRK_DONE)
        ++count;
    return count;
}

QStringView trimmedWhitespace(QStringView text)
{
    // QChar::isSpace is exactly the Z categories plus U+0009..U+000D and U+0085, all in the BMP.
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].isSpace())
        ++begin;
    while (end > begin && text[end - 1].isSpace())
        --end;
    return text.sliced(begin, end - begin);
}

bool containsWhitespace(QStringView text)
{
    for (QChar c : text) {
        if (c.isSpace())
            return true;
    }
    return false;
}

std::optional<QString> decodeUtf8(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

QString lastPathComponent(const QUrl& url)
{
    const QString path = url.path(QUrl::FullyDecoded);
    qsizetype end = path.size();
    while (end > 0 && path[end - 1] == u'/')
        --end;
    const qsizetype slash = path.lastIndexOf(u'/', end - 1);
    return path.sliced(slash + 1, end - slash - 1);
}

} // namespace TextRules

#include "models/LocalizedSearch.h"

#include <unicode/ucol.h>
#include <unicode/usearch.h>

namespace {

const UChar* chars(QStringView text)
{
    return reinterpret_cast<const UChar*>(text.utf16());
}

} // namespace

LocalizedSearch::LocalizedSearch(const QString& term, const QString& localeName) : m_term(term)
{
    if (m_term.isEmpty())
        return;
    // The locale is always named: ICU's default follows LANG, and under C.UTF-8 that is
    // en_US_POSIX, whose collation keeps case apart even at primary strength.
    UErrorCode status = U_ZERO_ERROR;
    m_collator = ucol_open(localeName.toLatin1().constData(), &status);
    if (U_FAILURE(status))
        return;
    ucol_setStrength(m_collator, UCOL_PRIMARY);
    // A placeholder text: the real ones are set per search.
    static const UChar placeholder[] = {u' '};
    m_search = usearch_openFromCollator(chars(m_term), static_cast<int32_t>(m_term.size()), placeholder, 1,
                                        m_collator, nullptr, &status);
    if (U_FAILURE(status)) {
        usearch_close(m_search);
        m_search = nullptr;
    }
}

LocalizedSearch::~LocalizedSearch()
{
    if (m_search)
        usearch_close(m_search);
    if (m_collator)
        ucol_close(m_collator);
}

bool LocalizedSearch::isFoundIn(QStringView text) const
{
    if (m_term.isEmpty())
        return true;
    if (text.isEmpty())
        return false;
    if (!m_search)
        return text.contains(m_term, Qt::CaseInsensitive);
    UErrorCode status = U_ZERO_ERROR;
    usearch_setText(m_search, chars(text), static_cast<int32_t>(text.size()), &status);
    if (U_FAILURE(status))
        return text.contains(m_term, Qt::CaseInsensitive);
    const int32_t found = usearch_first(m_search, &status);
    return U_SUCCESS(status) && found != USEARCH_DONE;
}

bool LocalizedSearch::isFoundIn(const ClipboardEntry& entry, const DisplayWords& words) const
{
    return matchesEverything() || isFoundIn(entry.displayTitle(words)) ||
           isFoundIn(entry.displaySourceName(words)) || (entry.plainText && isFoundIn(*entry.plainText));
}

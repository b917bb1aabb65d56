#pragma once

#include "models/ClipboardEntry.h"

#include <QString>
#include <QStringView>
#include <memory>

struct UCollator;
struct UStringSearch;

// Substring search that ignores case and diacritics by the rules of one locale ("cafe" finds
// "CAFÉ"). Made once per query and language; then asked about many texts, on one thread at a time (ICU
// searchers are not thread-safe).
class LocalizedSearch {
public:
    // localeName as ICU spells it ("en", "zh_Hans"). An empty term matches everything.
    LocalizedSearch(const QString& term, const QString& localeName);
    ~LocalizedSearch();
    LocalizedSearch(const LocalizedSearch&) = delete;
    LocalizedSearch& operator=(const LocalizedSearch&) = delete;

    bool matchesEverything() const { return m_term.isEmpty(); }
    bool isFoundIn(QStringView text) const;
    // Whether the entry's title, source label or plain text holds the term, tested in that order.
    bool isFoundIn(const ClipboardEntry& entry, const DisplayWords& words) const;

private:
    QString m_term;
    UCollator* m_collator = nullptr;
    UStringSearch* m_search = nullptr;
};

#include "app/HistorySearch.h"

#include "models/LocalizedSearch.h"

#include <algorithm>

namespace {

// Recent terms whose answers are kept: enough to type a word and delete it again.
constexpr qsizetype keptTerms = 32;

// ICU names the scripts with an underscore.
QString icuLocaleName(const QString& languageIdentifier)
{
    return QString(languageIdentifier).replace(u'-', u'_');
}

// What searching an entry reads: its plain text, and the file addresses a file list's title is made of.
qint64 searchedBytes(const ClipboardEntry& entry)
{
    return (entry.plainText ? entry.plainText->size() * qint64(sizeof(QChar)) : 0) +
           (entry.kind == ClipboardKind::file ? entry.byteCount() : 0);
}

bool sameText(const QString& a, const QString& b)
{
    // Entries are values that share their texts: a shared buffer is the common case.
    return a.isSharedWith(b) || a == b;
}

} // namespace

HistorySearch::Searched HistorySearch::Searched::of(const ClipboardEntry& entry)
{
    return Searched{entry.kind, entry.fingerprint, entry.sourceName, entry.plainText};
}

bool HistorySearch::Searched::isSameAs(const ClipboardEntry& entry) const
{
    // The fingerprint stands for the items, and with them the file names a title is made of.
    return kind == entry.kind && fingerprint == entry.fingerprint && sourceName == entry.sourceName &&
           plainText.has_value() == entry.plainText.has_value() &&
           (!plainText || sameText(*plainText, *entry.plainText));
}

HistorySearch::HistorySearch(QObject* parent) : QObject(parent)
{
    m_worker.setMaxThreadCount(1);
}

HistorySearch::~HistorySearch()
{
    cancel();
    m_worker.waitForDone();
}

void HistorySearch::cancel()
{
    if (!m_pending)
        return;
    ++*m_generation;
    m_pending.reset();
}

void HistorySearch::setHistory(const QList<ClipboardEntry>& history)
{
    if (history.isSharedWith(m_history))
        return;
    m_history = history;
    m_rows.clear();
    for (qsizetype row = 0; row < m_history.size(); ++row)
        m_rows.insert(m_history[row].id, row);
    // Answers about entries that left or changed would be wrong or hold their texts for nothing.
    for (Known& known : m_known) {
        known.answers.removeIf([this](const QHash<QUuid, Answer>::iterator& answer) {
            const auto row = m_rows.constFind(answer.key());
            return row == m_rows.cend() || !answer->searched.isSameAs(m_history[*row]);
        });
    }
}

HistorySearch::Known& HistorySearch::known(const QString& term, const QString& language)
{
    for (qsizetype index = 0; index < m_known.size(); ++index) {
        if (m_known[index].term == term && m_known[index].language == language) {
            m_known.move(index, 0);
            return m_known.first();
        }
    }
    m_known.prepend(Known{term, language, {}});
    if (m_known.size() > keptTerms)
        m_known.removeLast();
    return m_known.first();
}

void HistorySearch::store(const QString& term, const QString& language, const QList<Answer>& answers)
{
    Known& target = known(term, language);
    for (const Answer& answer : answers) {
        // The entry may have changed while a worker searched it.
        const auto row = m_rows.constFind(answer.id);
        if (row != m_rows.cend() && answer.searched.isSameAs(m_history[*row]))
            target.answers.insert(answer.id, answer);
    }
}

QList<std::optional<bool>> HistorySearch::answers(const QList<ClipboardEntry>& history,
                                                  std::optional<ClipboardKind> kind, const QString& term,
                                                  const QString& languageIdentifier)
{
    setHistory(history);
    QList<std::optional<bool>> result(history.size());
    QList<qsizetype> unknown;
    qint64 unknownBytes = 0;
    {
        const Known& current = known(term, languageIdentifier);
        for (qsizetype row = 0; row < history.size(); ++row) {
            if (kind && history[row].kind != *kind) {
                result[row] = false;
            } else if (const auto answer = current.answers.constFind(history[row].id);
                       answer != current.answers.cend()) {
                result[row] = answer->found;
            } else {
                unknown.append(row);
                unknownBytes += searchedBytes(history[row]);
            }
        }
    }
    if (unknown.isEmpty()) {
        cancel();
        return result;
    }
    if (m_pending && m_pending->term == term && m_pending->language == languageIdentifier &&
        std::all_of(unknown.cbegin(), unknown.cend(),
                    [this, &history](qsizetype row) { return m_pending->ids.contains(history[row].id); }))
        return result;

    cancel();
    const DisplayWords words = DisplayWords::current();
    if (unknownBytes < synchronousLimit) {
        const LocalizedSearch search(term, icuLocaleName(languageIdentifier));
        QList<Answer> found;
        for (qsizetype row : std::as_const(unknown)) {
            const ClipboardEntry& entry = history[row];
            found.append(Answer{entry.id, Searched::of(entry), search.isFoundIn(entry, words)});
            result[row] = found.last().found;
        }
        store(term, languageIdentifier, found);
        return result;
    }

    Pending pending{++*m_generation, term, languageIdentifier, {}};
    QList<ClipboardEntry> entries;
    for (qsizetype row : std::as_const(unknown)) {
        entries.append(history[row]);
        pending.ids.insert(history[row].id);
    }
    const quint64 generation = pending.generation;
    m_pending = std::move(pending);
    m_worker.start([this, generation, latest = m_generation, term, languageIdentifier, words,
                    entries = std::move(entries)] {
        // The worker's own searcher: ICU's are not thread-safe.
        const LocalizedSearch search(term, icuLocaleName(languageIdentifier));
        QList<Answer> found;
        for (const ClipboardEntry& entry : entries) {
            if (latest->load() != generation)
                break;
            found.append(Answer{entry.id, Searched::of(entry), search.isFoundIn(entry, words)});
        }
        // What was searched before a cancel still holds, and is kept.
        QMetaObject::invokeMethod(
            this,
            [this, generation, term, languageIdentifier, found] {
                arrived(generation, term, languageIdentifier, found);
            },
            Qt::QueuedConnection);
    });
    return result;
}

void HistorySearch::arrived(quint64 generation, const QString& term, const QString& language,
                            const QList<Answer>& answers)
{
    store(term, language, answers);
    if (!m_pending || m_pending->generation != generation)
        return;
    m_pending.reset();
    Q_EMIT finished();
}

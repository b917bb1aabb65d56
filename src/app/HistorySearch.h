#pragma once

#include "models/ClipboardEntry.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QThreadPool>
#include <atomic>
#include <memory>
#include <optional>

// Which history entries hold a search term, for the visible list. A locale-aware search through
// megabytes of text cannot run on the GUI thread at every key, so large searches run on a worker of
// their own. Each entry's answer is kept per term and language for as long as its searched texts stay
// the same, so a term searched before (a deleted letter, a new capture beside 199 old entries) costs
// nothing again. Answers are never derived from a shorter term's: "s" does not find "ß", "ss" does.
class HistorySearch : public QObject {
    Q_OBJECT

public:
    explicit HistorySearch(QObject* parent = nullptr);
    ~HistorySearch() override;

    // Searches through fewer bytes of text than this run at once on the calling thread.
    qint64 synchronousLimit = 256 * 1024;

    // For each entry of the history: false when it is not of the kind, else whether it holds term in
    // the current interface language (identified by languageIdentifier), or none while a worker is
    // still searching it. Replaces the search of any earlier call.
    QList<std::optional<bool>> answers(const QList<ClipboardEntry>& history,
                                       std::optional<ClipboardKind> kind, const QString& term,
                                       const QString& languageIdentifier);
    // The entries answers are kept for: those of other entries are dropped.
    void setHistory(const QList<ClipboardEntry>& history);
    // Stops the search in progress: its answers are no longer wanted.
    void cancel();
    bool isSearching() const { return m_pending.has_value(); }

Q_SIGNALS:
    // The search the last call started has finished; asking again gives every answer.
    void finished();

private:
    // What an entry's searched texts are made of.
    struct Searched {
        ClipboardKind kind = ClipboardKind::text;
        QString fingerprint;
        QString sourceName;
        std::optional<QString> plainText;

        static Searched of(const ClipboardEntry& entry);
        bool isSameAs(const ClipboardEntry& entry) const;
    };
    struct Answer {
        QUuid id;
        Searched searched;
        bool found = false;
    };
    struct Known {
        QString term;
        QString language;
        QHash<QUuid, Answer> answers;
    };
    struct Pending {
        quint64 generation = 0;
        QString term;
        QString language;
        QSet<QUuid> ids;
    };

    Known& known(const QString& term, const QString& language);
    void store(const QString& term, const QString& language, const QList<Answer>& answers);
    void arrived(quint64 generation, const QString& term, const QString& language,
                 const QList<Answer>& answers);

    QList<ClipboardEntry> m_history;
    QHash<QUuid, qsizetype> m_rows;
    // Most recently used first.
    QList<Known> m_known;
    std::optional<Pending> m_pending;
    // The generation of the search still wanted; a worker stops as soon as it moves on.
    std::shared_ptr<std::atomic<quint64>> m_generation = std::make_shared<std::atomic<quint64>>(0);
    // Last, so that it is destroyed first, waiting for a cancelled search to stop.
    QThreadPool m_worker;
};

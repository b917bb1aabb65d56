#include "app/CaptureLog.h"

#include "models/TextRules.h"

namespace CaptureLog {

QString describe(const ClipboardEntry& entry)
{
    // Titles may be 160 characters long; keep the line readable on a terminal.
    const QString fullTitle = entry.displayTitle();
    QString title = TextRules::firstLine(fullTitle, 60);
    if (title.size() < fullTitle.size())
        title += u'…';
    return QStringLiteral("%1  \"%2\"  from %3  %4 bytes  %5")
        .arg(ClipboardKinds::rawValue(entry.kind), title, entry.displaySourceName(),
             QString::number(entry.byteCount()), entry.fingerprint.left(12));
}

QString describe(const QList<ClipboardEntry>& entries)
{
    QString text = entries.size() == 1 ? QStringLiteral("history: 1 entry\n")
                                       : QStringLiteral("history: %1 entries\n").arg(entries.size());
    for (qsizetype i = 0; i < entries.size(); ++i)
        text += QStringLiteral("%1. %2\n").arg(i + 1, 3).arg(describe(entries[i]));
    return text;
}

} // namespace CaptureLog

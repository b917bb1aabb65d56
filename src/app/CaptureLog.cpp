#include "app/CaptureLog.h"

#include "models/TextRules.h"

namespace CaptureLog {

QString describe(const ClipboardEntry& entry)
{
    // Titles may be 160 characters long; keep the line readable on a terminal.
    QString title = TextRules::firstLine(entry.title, 60);
    if (title.size() < entry.title.size())
        title += u'…';
    const QString source = entry.sourceName.isEmpty() ? QStringLiteral("(no application)") : entry.sourceName;
    return QStringLiteral("capture  %1  \"%2\"  from %3  %4 bytes  %5")
        .arg(ClipboardKinds::rawValue(entry.kind), title, source, QString::number(entry.byteCount()),
             entry.fingerprint.left(12));
}

QString describe(L10n::Key notice)
{
    return QStringLiteral("notice   %1").arg(L10n::keyName(notice));
}

} // namespace CaptureLog

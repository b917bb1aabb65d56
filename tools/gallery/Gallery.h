#pragma once

// What the screenshot galleries share: their one argument, and the looks they go through.
#include "l10n/Localization.h"
#include "ui/common/AppTheme.h"

#include <QDir>
#include <QList>
#include <QString>
#include <optional>

// The folder named on the command line, made if missing; nothing, after a usage line, without one.
inline std::optional<QString> galleryFolder(int argc, char** argv)
{
    if (argc < 2) {
        qWarning("usage: %s OUTPUT_FOLDER", argv[0]);
        return std::nullopt;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    return folder;
}

inline const QList<AppTheme> galleryThemes{AppTheme::light, AppTheme::dark};
inline const QList<AppLanguage> galleryLanguages{AppLanguage::english, AppLanguage::simplifiedChinese,
                                                 AppLanguage::traditionalChinese};

// "<folder>/<theme>-<language>" for the theme given and the interface language now chosen.
inline QString lookPrefix(const QString& folder, AppTheme theme)
{
    return QStringLiteral("%1/%2-%3")
        .arg(folder, AppThemes::rawValue(theme), AppLocalization::shared().languageIdentifier());
}

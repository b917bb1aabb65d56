#pragma once

#include "l10n/L10nKey.h"

#include <QMetaType>
#include <QString>
#include <functional>
#include <optional>

// An error as the interface shows it. The description is produced on every call, so an error kept
// on screen reads in the current language after a language change. Services turn their own error
// values into this at the boundary.
class AppError {
public:
    explicit AppError(std::function<QString()> describe);

    // A description that is already final text, such as a message from the file system.
    static AppError fixed(const QString& description);
    // An error whose description is the text of a message key.
    static AppError fromKey(L10n::Key key);

    QString localizedDescription() const;

private:
    std::function<QString()> m_describe;
};

// A message as the application model holds it: a key, an error, both or neither.
struct AppMessage {
    std::optional<L10n::Key> key;
    std::optional<AppError> error;

    // Computed on every read so that it follows the interface language.
    QString text() const;
};

Q_DECLARE_METATYPE(AppMessage)

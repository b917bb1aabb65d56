#include "l10n/AppMessage.h"

#include "l10n/Localization.h"

AppError::AppError(std::function<QString()> describe) : m_describe(std::move(describe)) {}

AppError AppError::fixed(const QString& description)
{
    return AppError([description] { return description; });
}

AppError AppError::fromKey(L10n::Key key)
{
    return AppError([key] { return L10n::text(key); });
}

QString AppError::localizedDescription() const
{
    return m_describe ? m_describe() : QString();
}

QString AppMessage::text() const
{
    if (!key)
        return error ? error->localizedDescription() : QString();
    if (!error)
        return L10n::text(*key);
    return L10n::format(*key, error->localizedDescription());
}

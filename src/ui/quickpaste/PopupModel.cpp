#include "ui/quickpaste/PopupModel.h"

void PopupModel::setSession(std::optional<QuickPasteSession> session)
{
    m_session = std::move(session);
    Q_EMIT sessionChanged();
}

void PopupModel::setApplicationName(const QString& name)
{
    if (name == m_applicationName)
        return;
    m_applicationName = name;
    Q_EMIT applicationNameChanged();
}

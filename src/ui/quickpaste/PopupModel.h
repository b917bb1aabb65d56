#pragma once

#include "models/QuickPasteSession.h"

#include <QObject>
#include <QString>
#include <optional>

// What the popup shows; every publication redraws it.
class PopupModel : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    const std::optional<QuickPasteSession>& session() const { return m_session; }
    // The application the paste goes to; empty when it has no name.
    const QString& applicationName() const { return m_applicationName; }

    void setSession(std::optional<QuickPasteSession> session);
    void setApplicationName(const QString& name);

Q_SIGNALS:
    // On every publication: a republished session usually moved its selection.
    void sessionChanged();
    void applicationNameChanged();

private:
    std::optional<QuickPasteSession> m_session;
    QString m_applicationName;
};

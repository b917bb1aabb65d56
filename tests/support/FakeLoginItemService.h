#pragma once

#include "app/LoginItemService.h"

#include <QStringList>

// A login-item registry in memory: tests set the status, the failures and the status that follows
// a register or unregister call, and read back the calls made.
class FakeLoginItemService final : public LoginItemService {
public:
    Status currentStatus = Status::notRegistered;
    // What status reads after register or unregister, whether or not the call failed.
    std::optional<Status> statusAfterCall;
    QString registerFailure;
    QString unregisterFailure;
    QStringList calls;

    Status status() const override { return currentStatus; }

    std::optional<AppError> registerItem() override
    {
        calls.append(QStringLiteral("register"));
        return finishCall(registerFailure);
    }

    std::optional<AppError> unregisterItem() override
    {
        calls.append(QStringLiteral("unregister"));
        return finishCall(unregisterFailure);
    }

    void openSystemSettingsLoginItems() override { calls.append(QStringLiteral("openSettings")); }

private:
    std::optional<AppError> finishCall(const QString& failure)
    {
        if (statusAfterCall)
            currentStatus = *statusAfterCall;
        if (failure.isEmpty())
            return std::nullopt;
        return AppError::fixed(failure);
    }
};

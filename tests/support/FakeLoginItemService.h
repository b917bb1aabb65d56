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
    std::optional<AppError> registerItem() override { return call("register", registerFailure); }
    std::optional<AppError> unregisterItem() override { return call("unregister", unregisterFailure); }
    void openSystemSettingsLoginItems() override { calls.append(QStringLiteral("openSettings")); }

private:
    std::optional<AppError> call(const char* name, const QString& failure)
    {
        calls.append(QLatin1StringView(name));
        if (statusAfterCall)
            currentStatus = *statusAfterCall;
        return failure.isEmpty() ? std::nullopt : std::optional<AppError>(AppError::fixed(failure));
    }
};

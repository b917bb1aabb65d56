#pragma once

#include <QDeadlineTimer>
#include <QProcess>
#include <QThread>

// Starts openbox on the test display and waits until it manages windows; false when it never does.
inline bool startWindowManager(QProcess& windowManager)
{
    windowManager.start(QStringLiteral("openbox"), {});
    if (!windowManager.waitForStarted())
        return false;
    for (QDeadlineTimer deadline(10000); !deadline.hasExpired(); QThread::msleep(50)) {
        QProcess xprop;
        xprop.start(QStringLiteral("xprop"),
                    {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")});
        if (xprop.waitForFinished() && xprop.readAllStandardOutput().contains("window id"))
            return true;
    }
    return false;
}

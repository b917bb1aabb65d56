#include "ui/common/ReducedMotion.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <algorithm>

ReducedMotion& ReducedMotion::shared()
{
    static ReducedMotion* instance = [] {
        auto* made = new ReducedMotion(QCoreApplication::instance());
        made->readDesktop();
        return made;
    }();
    return *instance;
}

ReducedMotion::ReducedMotion(QObject* parent) : QObject(parent) {}

void ReducedMotion::setReduced(bool reduced)
{
    if (reduced == m_reduced)
        return;
    m_reduced = reduced;
    Q_EMIT changed(reduced);
}

std::optional<bool> ReducedMotion::fromKdeGlobals(const QString& contents)
{
    bool inKde = false;
    for (const QString& raw : contents.split(u'\n')) {
        const QString line = raw.trimmed();
        if (line.startsWith(u'[')) {
            inKde = line == QLatin1StringView("[KDE]");
            continue;
        }
        if (!inKde || !line.startsWith(QLatin1StringView("AnimationDurationFactor")))
            continue;
        const qsizetype equals = line.indexOf(u'=');
        if (equals < 0 || line.left(equals).trimmed() != QLatin1StringView("AnimationDurationFactor"))
            continue;
        bool ok = false;
        const double factor = line.mid(equals + 1).trimmed().toDouble(&ok);
        if (ok)
            return factor == 0;
    }
    return std::nullopt;
}

std::optional<bool> ReducedMotion::fromGSettings(const QString& output)
{
    const QString value = output.trimmed();
    if (value == QLatin1StringView("false"))
        return true;
    if (value == QLatin1StringView("true"))
        return false;
    return std::nullopt;
}

ReducedMotion::~ReducedMotion()
{
    if (m_gsettings && m_gsettings->state() != QProcess::NotRunning) {
        m_gsettings->disconnect(this);
        m_gsettings->kill();
        m_gsettings->waitForFinished(50);
    }
}

void ReducedMotion::readDesktop()
{
    const QString desktop =
        QProcessEnvironment::systemEnvironment().value(QStringLiteral("XDG_CURRENT_DESKTOP")).toUpper();
    if (desktop.contains(QLatin1StringView("KDE"))) {
        QFile file(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                   QStringLiteral("/kdeglobals"));
        if (file.open(QIODevice::ReadOnly))
            setReduced(fromKdeGlobals(QString::fromUtf8(file.readAll())).value_or(false));
        return;
    }
    // Only GNOME and the desktops built on its settings answer; elsewhere gsettings may wait for a
    // session bus that never comes.
    static const QStringList gnomeLike{QStringLiteral("GNOME"), QStringLiteral("UNITY"),
                                       QStringLiteral("BUDGIE"), QStringLiteral("CINNAMON"),
                                       QStringLiteral("PANTHEON")};
    if (std::none_of(gnomeLike.cbegin(), gnomeLike.cend(),
                     [&desktop](const QString& name) { return desktop.contains(name); }))
        return;
    const QString gsettings = QStandardPaths::findExecutable(QStringLiteral("gsettings"));
    if (gsettings.isEmpty())
        return;
    auto* process = new QProcess(this);
    m_gsettings = process;
    connect(process, &QProcess::finished, this, [this, process] {
        if (process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0)
            setReduced(fromGSettings(QString::fromUtf8(process->readAllStandardOutput())).value_or(false));
        process->deleteLater();
    });
    connect(process, &QProcess::errorOccurred, process, &QObject::deleteLater);
    process->start(gsettings, {QStringLiteral("get"), QStringLiteral("org.gnome.desktop.interface"),
                               QStringLiteral("enable-animations")});
}

#pragma once

#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QString>
#include <optional>

// Whether the desktop asks for reduced motion: GNOME's enable-animations switch or KDE's animation
// speed set to zero. Read once, without blocking the GUI thread: GNOME's answer comes from a
// gsettings process started in the background, so the first moments animate.
class ReducedMotion : public QObject {
    Q_OBJECT

public:
    // The application's instance, made on first use on the GUI thread.
    static ReducedMotion& shared();

    explicit ReducedMotion(QObject* parent = nullptr);
    // A question to gsettings still open is dropped, and its process ended.
    ~ReducedMotion() override;

    bool isReduced() const { return m_reduced; }
    // For the desktop's answer, and for tests.
    void setReduced(bool reduced);

    // What kdeglobals says, if it says anything: AnimationDurationFactor=0 in [KDE].
    static std::optional<bool> fromKdeGlobals(const QString& contents);
    // What `gsettings get org.gnome.desktop.interface enable-animations` printed.
    static std::optional<bool> fromGSettings(const QString& output);

Q_SIGNALS:
    void changed(bool reduced);

private:
    void readDesktop();

    bool m_reduced = false;
    QPointer<QProcess> m_gsettings;
};

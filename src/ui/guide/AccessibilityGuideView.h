#pragma once

#include "services/DelayTimer.h"

#include <QWidget>
#include <functional>
#include <memory>

class GuideIllustration;
class HistoryButton;
class QLabel;

// The guide's content: a title with a close button and three illustrated steps, the first with the
// grant-access button. While shown it asks once a second whether quick paste may run, and reports the
// first yes.
class AccessibilityGuideView : public QWidget {
    Q_OBJECT

public:
    // Whether the system's settings could be opened for the user.
    std::function<bool()> onAuthorize;
    // Run once, when isTrusted first says yes.
    std::function<void()> onAuthorized;
    std::function<void()> onDismiss;

    // The watch timer defaults to a real, coarse one.
    explicit AccessibilityGuideView(std::function<bool()> isTrusted, QWidget* parent = nullptr,
                                    std::unique_ptr<DelayTimer> permissionWatch = nullptr);

    bool openFailed() const { return m_openFailed; }
    // The steps' pictures, top to bottom.
    QList<GuideIllustration*> illustrations() const;
    HistoryButton& authorizeButton() const { return *m_authorize; }
    void retranslate();
    // Ends the watch for good.
    void stopWatching();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void authorize();
    void checkPermission();

    std::function<bool()> m_isTrusted;
    std::unique_ptr<DelayTimer> m_watch;
    bool m_watching = false;
    bool m_watchEnded = false;
    bool m_openFailed = false;

    QLabel* m_title = nullptr;
    HistoryButton* m_close = nullptr;
    QLabel* m_enable = nullptr;
    QLabel* m_add = nullptr;
    QLabel* m_settings = nullptr;
    HistoryButton* m_authorize = nullptr;
    QLabel* m_openError = nullptr;
    GuideIllustration* m_terminal = nullptr;
    GuideIllustration* m_session = nullptr;
    GuideIllustration* m_settingsPicture = nullptr;
};

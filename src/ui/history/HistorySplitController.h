#pragma once

#include <QSplitter>

class Preferences;

// The history window's two panes side by side: the sidebar on the left at its remembered width, the
// detail on the right taking whatever the window gains or loses.
class HistorySplitController : public QSplitter {
    Q_OBJECT

public:
    static constexpr int sidebarMinimumWidth = 280;
    static constexpr int sidebarMaximumWidth = 520;
    static constexpr int sidebarDefaultWidth = 420;
    static constexpr int detailMinimumWidth = 360;
    // The divider is a 1 px line that can be grabbed anywhere in this width centred on it.
    static constexpr int dividerGrabWidth = 12;

    HistorySplitController(QWidget* sidebar, QWidget* detail, Preferences& preferences,
                           QWidget* parent = nullptr);

    QWidget* sidebar() const { return widget(0); }
    QWidget* detail() const { return widget(1); }
    QSplitterHandle* divider() const { return handle(1); }

    bool initialWidthApplied() const { return m_initialWidthApplied; }
    int sidebarWidth() const;

    // Lays the panes out now rather than when a hidden window is shown. The first time the split sits
    // in a window with room for both panes, the sidebar gets its stored width.
    void layOut();

protected:
    QSplitterHandle* createHandle() override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void settle();
    void applyStoredWidth();
    void saveWidth();

    Preferences& m_preferences;
    bool m_initialWidthApplied = false;
    int m_knownWidth = -1;
};

#pragma once

#include <QWidget>

class QMenuBar;
class WindowTitleLabel;

// A window's root: a 32-high title strip across the top and the content below it. The strip holds
// either the window's title, where nothing else draws one, or the application's menu bar, where the
// window manager already shows the title.
class WindowContentController : public QWidget {
    Q_OBJECT

public:
    enum class TitleStripContent { titleLabel, menuBar };
    static constexpr int titleStripHeight = 32;

    WindowContentController(QWidget* content, const QString& title, QSize initialSize,
                            TitleStripContent stripContent, QWidget* parent = nullptr);

    WindowTitleLabel* titleLabel() const { return m_titleLabel; }
    QWidget* titleStrip() const;
    QWidget* content() const { return m_content; }
    TitleStripContent stripContent() const { return m_stripContent; }

    QMenuBar* menuBar() const;
    // Puts the bar at the strip's leading edge; the strip takes ownership and deletes the previous bar
    // once control returns to the event loop.
    void setMenuBar(QMenuBar* menuBar);

    // Continues the content's two columns up through the strip, split at this widget's centre line.
    // Without one the strip has the window's background and a hairline at its bottom.
    void setColumnDivider(QWidget* divider);

    QSize sizeHint() const override { return m_initialSize; }

private:
    class TitleStrip;

    QWidget* m_content = nullptr;
    TitleStrip* m_strip = nullptr;
    WindowTitleLabel* m_titleLabel = nullptr;
    QSize m_initialSize;
    TitleStripContent m_stripContent;
};

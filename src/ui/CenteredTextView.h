#pragma once

#include <QScrollArea>
#include <QUrl>
#include <optional>

class QTextBrowser;

// Read-only, selectable text that sits in the middle of the pane while it is short and wraps at the
// pane's width less 40 and scrolls from the top once it is long. The link of a link entry, and only
// its trimmed address, is underlined and opens in the default browser.
class CenteredTextView : public QScrollArea {
    Q_OBJECT

public:
    explicit CenteredTextView(QWidget* parent = nullptr);

    void show(const QString& text, const QFont& font, const std::optional<QUrl>& linkURL,
              const QString& accessibilityLabel);

    QString text() const { return m_text; }
    std::optional<QUrl> displayedLinkURL() const { return m_displayedLinkURL; }
    // The text's frame inside the scrolled area, for tests and layout checks.
    QRect textGeometry() const;
    QTextBrowser* textBrowser() const { return m_browser; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void layoutPreview(bool force = false);
    void applyColours();

    QWidget* m_document = nullptr;
    QTextBrowser* m_browser = nullptr;
    QString m_text;
    QFont m_font;
    std::optional<QUrl> m_displayedLinkURL;
    QSize m_measuredViewport;
    bool m_measuring = false;
};

#pragma once

#include <QScrollArea>
#include <QUrl>
#include <optional>

class QTextBrowser;

// Read-only, selectable text that sits in the middle of the pane while it is short and wraps at the
// pane's width less 40 and scrolls from the top once it is long. The link of a link entry, and only
// its trimmed address, is underlined and reported when clicked.
//
// Qt lays out a whole paragraph at once and the whole document on every resize, so the view shows
// at most maxShownLength characters of the text, in paragraphs of at most maxParagraphLength: longer
// lines are broken for display, and copying a selection joins them again.
class CenteredTextView : public QScrollArea {
    Q_OBJECT

public:
    static constexpr qsizetype maxParagraphLength = 2000;
    static constexpr qsizetype maxShownLength = 20000;

    explicit CenteredTextView(QWidget* parent = nullptr);

    void show(const QString& text, const QFont& font, const std::optional<QUrl>& linkURL,
              const QString& accessibilityLabel);

    QString text() const { return m_text; }
    std::optional<QUrl> displayedLinkURL() const { return m_displayedLinkURL; }
    // How much of the text the view holds, in UTF-16 units; less than its length when cut.
    qsizetype shownLength() const { return m_shownLength; }
    bool isTruncated() const { return m_shownLength < m_text.size(); }
    // The text's frame inside the scrolled area, for tests and layout checks.
    QRect textGeometry() const;
    QTextBrowser* textBrowser() const { return m_browser; }

Q_SIGNALS:
    void linkActivated(const QUrl& url);

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void layoutPreview(bool force = false);
    bool overflows(int width, int height) const;
    void applyColours();

    QWidget* m_document = nullptr;
    QTextBrowser* m_browser = nullptr;
    QString m_text;
    QFont m_font;
    std::optional<QUrl> m_displayedLinkURL;
    qsizetype m_shownLength = 0;
    QSize m_measuredViewport;
    int m_layoutWidth = 0;
    int m_contentWidth = 1;
    int m_usedHeight = 0;
    bool m_measuring = false;
};

#include "ui/CenteredTextView.h"

#include "models/TextRules.h"
#include "ui/HistoryFocusRing.h"

#include <QAbstractTextDocumentLayout>
#include <QDesktopServices>
#include <QEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <cmath>

namespace {
constexpr int horizontalInset = 20;
constexpr int verticalInset = 12;
constexpr qreal lineSpacing = 3;
} // namespace

CenteredTextView::CenteredTextView(QWidget* parent) : QScrollArea(parent)
{
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setAutoFillBackground(false);

    m_document = new QWidget;
    m_document->setAutoFillBackground(false);
    m_browser = new QTextBrowser(m_document);
    m_browser->setFrameShape(QFrame::NoFrame);
    m_browser->setReadOnly(true);
    m_browser->setOpenLinks(false);
    m_browser->setOpenExternalLinks(false);
    m_browser->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard |
                                       Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    m_browser->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_browser->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_browser->viewport()->setAutoFillBackground(false);
    m_browser->setAutoFillBackground(false);
    m_browser->document()->setDocumentMargin(0);
    setWidget(m_document);
    // setWidget turns the fill on; the pane's own background must show through.
    m_document->setAutoFillBackground(false);

    connect(m_browser, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) {
        if (m_displayedLinkURL && url == *m_displayedLinkURL)
            QDesktopServices::openUrl(url);
    });
    applyColours();
    // Neither the scrolled area nor the text marks its own focus.
    HistoryFocusRing::attach(this);
    HistoryFocusRing::attach(m_browser, this);
}

void CenteredTextView::show(const QString& text, const QFont& font, const std::optional<QUrl>& linkURL,
                            const QString& accessibilityLabel)
{
    m_browser->setAccessibleName(accessibilityLabel);
    if (text == m_text && font == m_font && linkURL == m_displayedLinkURL &&
        !m_browser->document()->isEmpty())
        return;
    m_text = text;
    m_font = font;
    m_displayedLinkURL = linkURL;

    QTextDocument* document = m_browser->document();
    document->clear();
    document->setDefaultFont(font);
    QTextCursor cursor(document);
    QTextBlockFormat block;
    block.setLineHeight(lineSpacing, QTextBlockFormat::LineDistanceHeight);
    cursor.setBlockFormat(block);
    cursor.insertText(text);
    cursor.select(QTextCursor::Document);
    cursor.mergeBlockFormat(block);

    if (linkURL) {
        const QString trimmed = TextRules::trimmedWhitespace(text).toString();
        const qsizetype at = trimmed.isEmpty() ? -1 : text.indexOf(trimmed);
        if (at >= 0) {
            QTextCursor link(document);
            link.setPosition(static_cast<int>(at));
            link.setPosition(static_cast<int>(at + trimmed.size()), QTextCursor::KeepAnchor);
            QTextCharFormat format;
            format.setAnchor(true);
            format.setAnchorHref(linkURL->toString());
            format.setFontUnderline(true);
            format.setToolTip(linkURL->toString());
            link.mergeCharFormat(format);
        }
    }
    verticalScrollBar()->setValue(0);
    layoutPreview(true);
}

QRect CenteredTextView::textGeometry() const
{
    return m_browser->geometry();
}

void CenteredTextView::resizeEvent(QResizeEvent* event)
{
    QScrollArea::resizeEvent(event);
    layoutPreview();
}

void CenteredTextView::changeEvent(QEvent* event)
{
    QScrollArea::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        applyColours();
}

void CenteredTextView::applyColours()
{
    // Links keep the text colour: the underline marks them.
    QPalette palette = m_browser->palette();
    palette.setColor(QPalette::Link, palette.color(QPalette::Text));
    palette.setColor(QPalette::LinkVisited, palette.color(QPalette::Text));
    palette.setColor(QPalette::Base, Qt::transparent);
    m_browser->setPalette(palette);
}

void CenteredTextView::layoutPreview(bool force)
{
    const QSize viewportSize = viewport()->size();
    if (m_measuring)
        return;
    if (!force && m_measuredViewport.isValid() && m_measuredViewport == viewportSize)
        return;
    if (viewportSize.width() <= 2 * horizontalInset || viewportSize.height() <= 0)
        return;
    m_measuring = true;

    const int available = viewportSize.width() - 2 * horizontalInset;
    QTextDocument* document = m_browser->document();
    // The widest line the text wants, then no wider than the pane allows. The browser owns the
    // document's width and resets it whenever it relayouts, so the width goes through its wrap mode.
    m_browser->setLineWrapMode(QTextEdit::NoWrap);
    const int ideal = static_cast<int>(std::ceil(document->idealWidth()));
    const int contentWidth = std::clamp(ideal, 1, available);
    m_browser->setLineWrapColumnOrWidth(contentWidth);
    m_browser->setLineWrapMode(QTextEdit::FixedPixelWidth);
    const int usedHeight = static_cast<int>(std::ceil(document->documentLayout()->documentSize().height()));

    const int documentHeight = usedHeight + 2 * verticalInset;
    const int containerHeight = std::max(documentHeight, viewportSize.height());
    m_document->resize(viewportSize.width(), containerHeight);
    // Short text sits in the middle of the pane both ways; long text starts at the top.
    const int top = (containerHeight - documentHeight) / 2;
    m_browser->setGeometry((viewportSize.width() - contentWidth - 2 * horizontalInset) / 2 + horizontalInset,
                           top + verticalInset, contentWidth, usedHeight);
    m_measuredViewport = viewport()->size();
    m_measuring = false;
}

#include "ui/detail/CenteredTextView.h"

#include "models/TextRules.h"
#include "ui/common/HistoryFocusRing.h"

#include <QAbstractTextDocumentLayout>
#include <QEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBoundaryFinder>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <cmath>

namespace {
constexpr int horizontalInset = 20;
constexpr int verticalInset = 12;
constexpr qreal lineSpacing = 3;
constexpr qsizetype maxTooltipLength = 500;
// Marks a paragraph that continues the source line of the one before it.
constexpr int continuationState = 1;

// QTextCursor::insertText starts a paragraph at each of these (CR LF counts once).
bool isParagraphSeparator(QChar character)
{
    return character == u'\n' || character == u'\r' || character == QChar::ParagraphSeparator ||
           character == QChar(0xFDD0) || character == QChar(0xFDD1);
}

// The last position at or before `at` where text may be cut for display: a line-break opportunity
// in the later half, else a grapheme boundary, else (one grapheme longer than the window) a
// code-point boundary. `at` is below text's length, so every candidate has its right-hand context.
qsizetype cutPosition(QStringView text, qsizetype at)
{
    QTextBoundaryFinder lines(QTextBoundaryFinder::Line, text);
    lines.setPosition(at);
    if (!lines.isAtBoundary())
        lines.toPreviousBoundary();
    if (lines.position() >= at / 2)
        return lines.position();
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
    graphemes.setPosition(at);
    if (!graphemes.isAtBoundary())
        graphemes.toPreviousBoundary();
    if (graphemes.position() > 0)
        return graphemes.position();
    return text.at(at).isLowSurrogate() ? at - 1 : at;
}

// The text as the document holds it: at most maxShownLength of it, one paragraph per source line
// and no paragraph longer than maxParagraphLength.
struct DisplayText {
    QString text;
    // Where each paragraph starts in the source.
    QList<qsizetype> sourceStarts;
    QList<bool> continuations;
    qsizetype shownLength = 0;
};

DisplayText displayText(const QString& source)
{
    DisplayText display;
    display.shownLength = source.size();
    if (source.size() > CenteredTextView::maxShownLength) {
        const qsizetype window = std::min(source.size(), CenteredTextView::maxShownLength + 64);
        display.shownLength =
            cutPosition(QStringView(source).first(window), CenteredTextView::maxShownLength);
    }
    display.text.reserve(display.shownLength + display.shownLength / CenteredTextView::maxParagraphLength +
                         1);
    qsizetype start = 0;
    bool continuation = false;
    while (true) {
        qsizetype end = start;
        while (end < display.shownLength && !isParagraphSeparator(source.at(end)) &&
               end - start < CenteredTextView::maxParagraphLength)
            ++end;
        if (end - start == CenteredTextView::maxParagraphLength && end < display.shownLength &&
            !isParagraphSeparator(source.at(end))) {
            end = start + cutPosition(QStringView(source).sliced(start, end - start + 1), end - start);
        }
        display.sourceStarts.append(start);
        display.continuations.append(continuation);
        display.text += QStringView(source).sliced(start, end - start);
        if (end >= display.shownLength)
            break;
        display.text += u'\n';
        continuation = !isParagraphSeparator(source.at(end));
        start = end;
        if (!continuation) {
            ++start;
            if (source.at(end) == u'\r' && start < display.shownLength && source.at(start) == u'\n')
                ++start;
        }
    }
    return display;
}

// Copies what is selected as the source had it: a line broken for display is one line again.
class PreviewBrowser : public QTextBrowser {
public:
    using QTextBrowser::QTextBrowser;

protected:
    QMimeData* createMimeDataFromSelection() const override
    {
        const QTextCursor cursor = textCursor();
        const int start = cursor.selectionStart();
        const int end = cursor.selectionEnd();
        QString text;
        for (QTextBlock block = document()->findBlock(start); block.isValid() && block.position() <= end;
             block = block.next()) {
            if (block.position() > start && block.userState() != continuationState)
                text += u'\n';
            const int from = std::max(start - block.position(), 0);
            const int to = std::min(end - block.position(), block.length() - 1);
            text += block.text().mid(from, to - from);
        }
        auto* mime = new QMimeData;
        mime->setText(text);
        return mime;
    }
};

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
    m_browser = new PreviewBrowser(m_document);
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
            Q_EMIT linkActivated(url);
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

    const DisplayText display = displayText(text);
    m_shownLength = display.shownLength;
    QTextDocument* document = m_browser->document();
    document->clear();
    document->setDefaultFont(font);
    QTextCursor cursor(document);
    QTextBlockFormat block;
    block.setLineHeight(lineSpacing, QTextBlockFormat::LineDistanceHeight);
    cursor.setBlockFormat(block);
    // Every paragraph takes the cursor's block format.
    cursor.insertText(display.text);
    for (qsizetype index = 0; index < display.continuations.size(); ++index) {
        if (display.continuations[index])
            document->findBlockByNumber(static_cast<int>(index)).setUserState(continuationState);
    }

    if (linkURL) {
        const QStringView trimmed = TextRules::trimmedWhitespace(text);
        const qsizetype at = trimmed.data() - text.data();
        const qsizetype end = std::min(at + trimmed.size(), m_shownLength);
        if (!trimmed.isEmpty() && at < end) {
            // A source position as a document position: its paragraph's start plus the offset in it.
            const auto position = [&](qsizetype source) {
                const auto paragraph =
                    std::upper_bound(display.sourceStarts.begin(), display.sourceStarts.end(), source) - 1;
                const auto number = static_cast<int>(paragraph - display.sourceStarts.begin());
                return document->findBlockByNumber(number).position() + static_cast<int>(source - *paragraph);
            };
            QTextCursor link(document);
            link.setPosition(position(at));
            link.setPosition(position(end - 1) + 1, QTextCursor::KeepAnchor);
            const QString address = linkURL->toString();
            QTextCharFormat format;
            format.setAnchor(true);
            format.setAnchorHref(address);
            format.setFontUnderline(true);
            format.setToolTip(address.size() > maxTooltipLength ? address.first(maxTooltipLength) + u'\u2026'
                                                                : address);
            link.mergeCharFormat(format);
        }
    }
    verticalScrollBar()->setValue(0);
    // Laid out now if shown, else when it is.
    m_layoutWidth = 0;
    layoutPreview(true);
}

QRect CenteredTextView::textGeometry() const
{
    return m_browser->geometry();
}

void CenteredTextView::showEvent(QShowEvent* event)
{
    QScrollArea::showEvent(event);
    layoutPreview();
}

void CenteredTextView::resizeEvent(QResizeEvent* event)
{
    QScrollArea::resizeEvent(event);
    layoutPreview();
}

bool CenteredTextView::viewportEvent(QEvent* event)
{
    const bool handled = QScrollArea::viewportEvent(event);
    // The scroll bar coming or going resizes only the viewport.
    if (event->type() == QEvent::Resize)
        layoutPreview();
    return handled;
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
    if (m_measuring || !isVisible())
        return;
    if (viewportSize.width() <= 2 * horizontalInset || viewportSize.height() <= 0)
        return;
    // Text that will need the scroll bar is laid out once, at the width the bar leaves.
    int width = viewportSize.width();
    if (!verticalScrollBar()->isVisible() && overflows(width, viewportSize.height()))
        width -= verticalScrollBar()->sizeHint().width();
    if (!force && width == m_layoutWidth && viewportSize == m_measuredViewport)
        return;
    m_measuring = true;

    if (force || width != m_layoutWidth) {
        const int available = std::max(width - 2 * horizontalInset, 1);
        QTextDocument* document = m_browser->document();
        // The browser owns the document's width and resets it whenever it relayouts, so the width
        // goes through its wrap mode.
        m_browser->setLineWrapColumnOrWidth(available);
        m_browser->setLineWrapMode(QTextEdit::FixedPixelWidth);
        m_contentWidth = available;
        m_usedHeight = static_cast<int>(std::ceil(document->documentLayout()->documentSize().height()));
        // Text that fits the pane is narrowed to its widest line, so that it sits in the middle;
        // longer text keeps the pane's width and is laid out only once.
        const int widest = std::clamp(static_cast<int>(std::ceil(document->idealWidth())), 1, available);
        if (widest < available && m_usedHeight + 2 * verticalInset <= viewportSize.height()) {
            m_browser->setLineWrapColumnOrWidth(widest);
            m_contentWidth = widest;
            m_usedHeight = static_cast<int>(std::ceil(document->documentLayout()->documentSize().height()));
        }
        m_layoutWidth = width;
    }

    const int documentHeight = m_usedHeight + 2 * verticalInset;
    const int containerHeight = std::max(documentHeight, viewportSize.height());
    m_document->resize(viewportSize.width(), containerHeight);
    // Short text sits in the middle of the pane both ways; long text starts at the top.
    const int top = (containerHeight - documentHeight) / 2;
    m_browser->setGeometry((viewportSize.width() - m_contentWidth - 2 * horizontalInset) / 2 +
                               horizontalInset,
                           top + verticalInset, m_contentWidth, m_usedHeight);
    m_measuredViewport = viewportSize;
    m_measuring = false;
}

bool CenteredTextView::overflows(int width, int height) const
{
    // An estimate from the text's length and paragraph count; a wrong guess costs one more layout.
    const QFontMetrics metrics(m_font);
    const qsizetype perLine =
        std::max<qsizetype>((width - 2 * horizontalInset) / std::max(metrics.averageCharWidth(), 1), 1);
    const qsizetype lines = std::max<qsizetype>(m_browser->document()->blockCount(), m_shownLength / perLine);
    return lines * (metrics.lineSpacing() + lineSpacing) > 1.5 * height;
}

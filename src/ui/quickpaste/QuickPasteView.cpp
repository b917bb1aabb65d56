#include "ui/quickpaste/QuickPasteView.h"

#include "l10n/Localization.h"
#include "ui/common/HistoryAppearance.h"
#include "ui/quickpaste/PopupModel.h"
#include "ui/quickpaste/QuickPasteLayout.h"
#include "ui/quickpaste/QuickPasteList.h"

#include <QFontDatabase>
#include <QPainter>
#include <QPainterPath>

namespace {

QPainterPath background(const QRectF& rect)
{
    QPainterPath path;
    path.addRoundedRect(rect, QuickPasteLayout::cornerRadius, QuickPasteLayout::cornerRadius);
    return path;
}

} // namespace

QuickPasteView::QuickPasteView(PopupModel& model, HistoryThumbnailCache* thumbnails,
                               SourceApplicationIconCache* icons, QWidget* parent)
    : QWidget(parent), m_model(model), m_list(new QuickPasteList(thumbnails, icons, this))
{
    setFocusPolicy(Qt::NoFocus);
    m_list->onSelect = [this](const QUuid& id) {
        if (onSelect)
            onSelect(id);
    };
    connect(&m_model, &PopupModel::sessionChanged, this, &QuickPasteView::refresh);
    connect(&m_model, &PopupModel::applicationNameChanged, this, qOverload<>(&QWidget::update));
    connect(&AppLocalization::shared(), &AppLocalization::languageIdentifierChanged, this,
            &QuickPasteView::refresh);
    refresh();
}

void QuickPasteView::refresh()
{
    const std::optional<QuickPasteSession>& session = m_model.session();
    const bool hasSelection =
        session && session->selectedIndex >= 0 && session->selectedIndex < session->candidates.size();
    setAccessibleName(hasSelection ? L10n::format(L10n::Key::quickPasteSelection,
                                                  session->candidates[session->selectedIndex].displayTitle())
                                   : L10n::text(L10n::Key::quickPaste));
    m_list->setVisible(session && !session->candidates.isEmpty());
    // Placed while hidden, the view has its new size but not yet the resize event.
    layoutList();
    m_list->setSession(session);
    update();
}

void QuickPasteView::setShapedByMask(bool shaped)
{
    m_shapedByMask = shaped;
    updateMask();
}

void QuickPasteView::updateMask()
{
    if (m_shapedByMask)
        setMask(QRegion(background(rect()).toFillPolygon().toPolygon()));
    else
        clearMask();
}

void QuickPasteView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutList();
    updateMask();
}

void QuickPasteView::layoutList()
{
    m_list->setGeometry(
        0, QuickPasteLayout::headerHeight, width(),
        std::max(0, height() - QuickPasteLayout::headerHeight - QuickPasteLayout::footerHeight));
}

void QuickPasteView::paintEvent(QPaintEvent*)
{
    using HistoryAppearance::Colour;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette& palette = this->palette();
    // The edge keeps the popup apart from a window of the same colour behind it, with or without a
    // compositor's shadow; inside a mask it stays a pixel in, where the mask cannot cut it.
    QColor edge = palette.color(QPalette::WindowText);
    edge.setAlphaF(m_shapedByMask ? 0.28f : 0.16f);
    painter.setPen(QPen(edge, 1));
    painter.setBrush(HistoryAppearance::resolve(Colour::sidebar, palette));
    const qreal inset = m_shapedByMask ? 1.0 : 0.5;
    painter.drawPath(background(QRectF(rect()).adjusted(inset, inset, -inset, -inset)));

    const std::optional<QuickPasteSession>& session = m_model.session();
    const int padding = QuickPasteLayout::textPadding;
    const QColor secondary = HistoryAppearance::resolve(Colour::secondary, palette);
    QFont small = font();
    small.setPointSizeF(headerPointSize);

    // Header: where the paste goes, and the selection's place among the candidates.
    const QRect header(padding, 0, width() - 2 * padding, QuickPasteLayout::headerHeight);
    int counterWidth = 0;
    if (session && !session->candidates.isEmpty()) {
        QFont digits = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        digits.setPointSizeF(headerPointSize);
        const QString counter =
            QStringLiteral("%1 / %2").arg(session->selectedIndex + 1).arg(session->candidates.size());
        painter.setFont(digits);
        painter.setPen(secondary);
        painter.drawText(header, Qt::AlignRight | Qt::AlignVCenter, counter);
        counterWidth = QFontMetrics(digits).horizontalAdvance(counter) + 12;
    }
    const QString name =
        m_model.applicationName().isEmpty() ? L10n::text(L10n::Key::originalApp) : m_model.applicationName();
    QFont target = small;
    target.setWeight(QFont::DemiBold);
    painter.setFont(target);
    painter.setPen(palette.color(QPalette::WindowText));
    painter.drawText(header.adjusted(0, 0, -counterWidth, 0), Qt::AlignLeft | Qt::AlignVCenter,
                     QFontMetrics(target).elidedText(L10n::format(L10n::Key::pasteDestination, name),
                                                     Qt::ElideRight, header.width() - counterWidth));

    if (!session || session->candidates.isEmpty()) {
        QFont empty = font();
        empty.setPointSizeF(emptyPointSize);
        painter.setFont(empty);
        painter.setPen(secondary);
        const QRect area = QRect(0, QuickPasteLayout::headerHeight, width(),
                                 height() - QuickPasteLayout::headerHeight - QuickPasteLayout::footerHeight)
                               .adjusted(emptyPadding, 0, -emptyPadding, 0);
        // The popup's fixed height leaves less than the padding above and below: the text keeps the
        // middle instead of being cut.
        painter.drawText(area, Qt::AlignCenter | Qt::TextWordWrap | Qt::TextDontClip,
                         L10n::text(L10n::Key::historyEmpty));
    }

    // Footer: the keys that drive the popup.
    const QRect footer(padding, height() - QuickPasteLayout::footerHeight, width() - 2 * padding,
                       QuickPasteLayout::footerHeight);
    painter.setFont(small);
    painter.setPen(secondary);
    const QFontMetrics metrics(small);
    const QString commit = L10n::text(L10n::Key::quickPasteCommit);
    const int commitWidth = std::min(metrics.horizontalAdvance(commit), footer.width() / 2);
    painter.drawText(footer, Qt::AlignRight | Qt::AlignVCenter,
                     metrics.elidedText(commit, Qt::ElideRight, commitWidth));
    painter.drawText(footer, Qt::AlignLeft | Qt::AlignVCenter,
                     metrics.elidedText(L10n::text(L10n::Key::quickPasteNavigation), Qt::ElideRight,
                                        footer.width() - commitWidth - 12));
}

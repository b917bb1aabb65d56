#include "ui/detail/EntryPreview.h"

#include "l10n/Localization.h"
#include "models/PasteboardType.h"
#include "models/RtfText.h"
#include "ui/detail/CenteredTextView.h"
#include "ui/common/ClipboardEmptyState.h"
#include "ui/detail/FileListPreview.h"
#include "ui/common/HistoryAppearance.h"
#include "ui/common/ImageDecoding.h"
#include "ui/common/SourceApplicationIcon.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QTextBoundaryFinder>
#include <QThreadPool>
#include <QVBoxLayout>
#include <unicode/udat.h>
#include <unicode/udatpg.h>

namespace {

constexpr int previewMaxPixelSize = 1600;

std::optional<QByteArray> richTextData(const ClipboardEntry& entry)
{
    if (entry.plainText || entry.items.isEmpty())
        return std::nullopt;
    return entry.items.first().data(PasteboardType::rtf);
}

// The image scaled to fit the pane with 20 of padding, aspect kept.
class ScaledImage : public QWidget {
public:
    ScaledImage(const QImage& image, QWidget* parent) : QWidget(parent), m_pixmap(QPixmap::fromImage(image))
    {
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        setMinimumSize(80, 80);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        const QRect area = rect().adjusted(20, 20, -20, -20);
        if (area.isEmpty() || m_pixmap.isNull())
            return;
        QSize size = m_pixmap.size() / m_pixmap.devicePixelRatio();
        size.scale(area.size(), Qt::KeepAspectRatio);
        // Never blow a small image up past its own pixels.
        if (size.width() > m_pixmap.width() && size.height() > m_pixmap.height())
            size = m_pixmap.size();
        const QRect target(area.x() + (area.width() - size.width()) / 2,
                           area.y() + (area.height() - size.height()) / 2, size.width(), size.height());
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(target, m_pixmap);
    }

private:
    QPixmap m_pixmap;
};

QLabel* headerLabel(QWidget* parent)
{
    auto* label = new QLabel(parent);
    QFont font = label->font();
    font.setPointSizeF(12);
    label->setFont(font);
    label->setTextFormat(Qt::PlainText);
    return label;
}

qsizetype graphemeCount(QStringView text)
{
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (graphemes.toNextBoundary() >= 0)
        ++count;
    return count;
}

QString icuLocale(const QString& languageIdentifier)
{
    return QString(languageIdentifier).replace(u'-', u'_');
}

} // namespace

EntryPreview::EntryPreview(const ClipboardEntry& entry, QWidget* parent) : QWidget(parent), m_entry(entry)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* header = new QHBoxLayout;
    header->setContentsMargins(20, 20, 20, 12);
    header->setSpacing(9);
    auto* source = new QHBoxLayout;
    source->setSpacing(5);
    source->addWidget(new SourceApplicationIcon(m_entry, this), 0, Qt::AlignVCenter);
    m_sourceName = headerLabel(this);
    source->addWidget(m_sourceName);
    header->addLayout(source);
    header->addStretch(1);
    m_dimensions = headerLabel(this);
    m_dimensions->setContentsMargins(0, 0, 4, 0);
    m_dimensions->hide();
    header->addWidget(m_dimensions);
    m_date = headerLabel(this);
    header->addWidget(m_date);
    layout->addLayout(header);
    m_truncationNotice = headerLabel(this);
    m_truncationNotice->setWordWrap(true);
    m_truncationNotice->setContentsMargins(20, 0, 20, 8);
    m_truncationNotice->hide();
    layout->addWidget(m_truncationNotice);

    switch (m_entry.kind) {
    case ClipboardKind::text:
    case ClipboardKind::link:
        m_content = new CenteredTextView(this);
        break;
    case ClipboardKind::image:
        m_content = new ClipboardEmptyState(QString(), this);
        break;
    case ClipboardKind::file:
        m_content = new FileListPreview(m_entry.fileURLs(), this);
        break;
    }
    layout->addWidget(m_content, 1);
    m_linkURL = m_entry.linkURL();
    if (qobject_cast<CenteredTextView*>(m_content))
        loadRichText();
    retranslate();
    if (m_entry.kind == ClipboardKind::image)
        loadImage();
}

void EntryPreview::retranslate()
{
    const QString languageIdentifier = AppLocalization::shared().languageIdentifier();
    m_sourceName->setText(m_entry.displaySourceName());
    m_sourceName->setToolTip(m_entry.displaySourceName());
    m_date->setText(dateText(m_entry.lastCopiedAt, languageIdentifier));
    if (m_imageDimensions) {
        m_dimensions->setAccessibleName(L10n::format(L10n::Key::imageDimensions, m_imageDimensions->width(),
                                                     m_imageDimensions->height()));
    }
    if (auto* text = qobject_cast<CenteredTextView*>(m_content)) {
        QFont font = this->font();
        font.setPointSizeF(14);
        text->show(previewText(), font, m_linkURL, L10n::text(L10n::Key::previewAccessibility));
        if (text->isTruncated()) {
            m_truncationNotice->setText(L10n::format(L10n::Key::previewTextTruncated,
                                                     graphemeCount(text->text().first(text->shownLength()))));
        }
        m_truncationNotice->setVisible(text->isTruncated());
    } else if (auto* empty = qobject_cast<ClipboardEmptyState*>(m_content)) {
        empty->setMessage(L10n::text(L10n::Key::imagePreviewUnavailable));
    } else if (auto* files = qobject_cast<FileListPreview*>(m_content)) {
        files->retranslate();
        if (files->isTruncated()) {
            m_truncationNotice->setText(
                L10n::format(L10n::Key::previewFilesTruncated, files->shownCount(), files->urls().size()));
        }
        m_truncationNotice->setVisible(files->isTruncated());
    } else if (m_content) {
        m_content->setAccessibleName(m_entry.displayTitle());
    }
}

QString EntryPreview::previewText() const
{
    if (m_entry.plainText)
        return *m_entry.plainText;
    if (m_richText)
        return *m_richText;
    return m_richTextPending ? QString() : L10n::text(L10n::Key::richTextPreview);
}

void EntryPreview::loadRichText()
{
    const std::optional<QByteArray> rtf = richTextData(m_entry);
    if (!rtf)
        return;
    // A large document takes longer to read than the GUI thread may stall.
    m_richTextPending = true;
    QPointer<EntryPreview> self(this);
    QThreadPool::globalInstance()->start([self, bytes = *rtf] {
        std::optional<QString> text = RtfText::plainText(bytes);
        QMetaObject::invokeMethod(
            qApp,
            [self, text = std::move(text)] {
                if (!self)
                    return;
                self->m_richTextPending = false;
                self->m_richText = text;
                self->retranslate();
            },
            Qt::QueuedConnection);
    });
}

QString EntryPreview::dateText(const Timestamp& timestamp, const QString& languageIdentifier)
{
    const QByteArray locale = icuLocale(languageIdentifier).toLatin1();
    UErrorCode status = U_ZERO_ERROR;
    UDateTimePatternGenerator* generator = udatpg_open(locale.constData(), &status);
    // "j" is the locale's own hour: 12-hour with a day period where that is the custom.
    static const UChar skeleton[] = u"MMMdjmm";
    UChar pattern[64];
    const int32_t length = udatpg_getBestPattern(generator, skeleton, -1, pattern,
                                                 static_cast<int32_t>(std::size(pattern)), &status);
    udatpg_close(generator);
    if (U_FAILURE(status))
        return QLocale(languageIdentifier)
            .toString(timestamp.toDateTime().toLocalTime(), QLocale::ShortFormat);
    UDateFormat* format =
        udat_open(UDAT_PATTERN, UDAT_PATTERN, locale.constData(), nullptr, -1, pattern, length, &status);
    UChar result[128];
    const double milliseconds = (timestamp.secondsSinceReferenceDate + 978307200.0) * 1000.0;
    const int32_t resultLength =
        udat_format(format, milliseconds, result, static_cast<int32_t>(std::size(result)), nullptr, &status);
    udat_close(format);
    if (U_FAILURE(status))
        return QLocale(languageIdentifier)
            .toString(timestamp.toDateTime().toLocalTime(), QLocale::ShortFormat);
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(result), resultLength);
}

void EntryPreview::loadImage()
{
    const std::optional<QByteArray> imageData = ImageDecoding::imageData(m_entry);
    if (!imageData)
        return;
    QPointer<EntryPreview> self(this);
    QThreadPool::globalInstance()->start([self, bytes = *imageData] {
        std::optional<DecodedImage> decoded = ImageDecoding::decode(bytes, previewMaxPixelSize);
        if (!decoded)
            return;
        // Applied on the GUI thread, and only if this preview is still the one on screen.
        QMetaObject::invokeMethod(
            qApp,
            [self, decoded = std::move(*decoded)] {
                if (self)
                    self->showImage(decoded.image, decoded.pixelSize);
            },
            Qt::QueuedConnection);
    });
}

void EntryPreview::showImage(const QImage& image, QSize pixelSize)
{
    m_imageDimensions = pixelSize;
    m_dimensions->setText(QStringLiteral("%1\u00D7%2").arg(pixelSize.width()).arg(pixelSize.height()));
    m_dimensions->show();
    auto* scaled = new ScaledImage(image, this);
    delete layout()->replaceWidget(m_content, scaled);
    m_content->deleteLater();
    m_content = scaled;
    retranslate();
    Q_EMIT imageLoaded();
}

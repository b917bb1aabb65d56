#include "ui/detail/FileListPreview.h"

#include "l10n/Localization.h"
#include "models/TextRules.h"
#include "ui/common/HistoryAppearance.h"
#include "ui/common/HistoryFocusRing.h"
#include "ui/common/Symbols.h"

#include <QEvent>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeDatabase>
#include <QVBoxLayout>

namespace {

QLabel* selectableLabel(const QString& text, qreal pointSize, QFont::Weight weight, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setPointSizeF(pointSize);
    font.setWeight(weight);
    label->setFont(font);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    return label;
}

// A label in the secondary colour that follows theme changes.
class SecondaryLabel : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void changeEvent(QEvent* event) override
    {
        QLabel::changeEvent(event);
        if (event->type() == QEvent::PaletteChange && !m_updating)
            applyColour();
    }
    void showEvent(QShowEvent* event) override
    {
        QLabel::showEvent(event);
        applyColour();
    }

private:
    void applyColour()
    {
        m_updating = true;
        QPalette palette = this->palette();
        palette.setColor(QPalette::WindowText,
                         HistoryAppearance::resolve(HistoryAppearance::Colour::secondary,
                                                    parentWidget() ? parentWidget() : this));
        setPalette(palette);
        m_updating = false;
    }
    bool m_updating = false;
};

// A file that is gone still gets the icon of its type, by its name.
QIcon fileIcon(const QFileIconProvider& provider, const QFileInfo& info)
{
    if (info.exists())
        return provider.icon(info);
    const QMimeType type = QMimeDatabase().mimeTypeForFile(info.fileName(), QMimeDatabase::MatchExtension);
    const QIcon themed = QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName()));
    return themed.isNull() ? provider.icon(QFileIconProvider::File) : themed;
}

} // namespace

FileListPreview::FileListPreview(const QList<QUrl>& urls, QWidget* parent) : QScrollArea(parent), m_urls(urls)
{
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    viewport()->setAutoFillBackground(false);
    HistoryFocusRing::attach(this);

    auto* content = new QWidget;
    content->setAutoFillBackground(false);
    auto* rows = new QVBoxLayout(content);
    rows->setContentsMargins(20, 20, 20, 20);
    rows->setSpacing(16);
    rows->setAlignment(Qt::AlignTop | Qt::AlignLeft);

    QFileIconProvider icons;
    for (const QUrl& url : m_urls.first(shownCount())) {
        const QString path = url.toLocalFile();
        const QFileInfo info(path);
        auto* row = new QHBoxLayout;
        row->setSpacing(12);
        auto* icon = new QLabel(content);
        icon->setPixmap(fileIcon(icons, info).pixmap(32, 32));
        icon->setFixedSize(32, 32);
        row->addWidget(icon, 0, Qt::AlignTop);

        auto* texts = new QVBoxLayout;
        texts->setSpacing(6);
        texts->addWidget(selectableLabel(TextRules::lastPathComponent(url), 14, QFont::Medium, content));
        auto* pathLabel = new SecondaryLabel(path, content);
        QFont pathFont = pathLabel->font();
        pathFont.setPointSizeF(12);
        pathLabel->setFont(pathFont);
        pathLabel->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        pathLabel->setTextFormat(Qt::PlainText);
        pathLabel->setWordWrap(true);
        texts->addWidget(pathLabel);
        if (!info.exists()) {
            auto* warning = new QHBoxLayout;
            warning->setSpacing(5);
            auto* symbol = new QLabel(content);
            symbol->setPixmap(Symbols::pixmap(QStringLiteral("exclamationmark.triangle"), 14,
                                              devicePixelRatioF(), QColor(0xF0, 0x8C, 0x00)));
            auto* text = new QLabel(content);
            QFont font = text->font();
            font.setPointSizeF(12);
            text->setFont(font);
            m_warnings.append(text);
            warning->addWidget(symbol);
            warning->addWidget(text, 1);
            texts->addLayout(warning);
        }
        row->addLayout(texts, 1);
        rows->addLayout(row);
    }
    rows->addStretch(1);
    setWidget(content);
    // setWidget turns the fill on; the pane's own background must show through.
    content->setAutoFillBackground(false);
    retranslate();
}

void FileListPreview::retranslate()
{
    for (QLabel* warning : std::as_const(m_warnings))
        warning->setText(L10n::text(L10n::Key::fileUnavailable));
}

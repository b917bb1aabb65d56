#pragma once

#include "models/ClipboardEntry.h"

#include <QWidget>

class QLabel;
class QStackedLayout;
class CenteredTextView;
class ClipboardEmptyState;
class FileListPreview;

// One entry in the detail pane: where and when it was copied, then its content by kind.
class EntryPreview : public QWidget {
    Q_OBJECT

public:
    explicit EntryPreview(const ClipboardEntry& entry, QWidget* parent = nullptr);

    const ClipboardEntry& entry() const { return m_entry; }
    // The shown image's source size, once decoded.
    std::optional<QSize> imageDimensions() const { return m_imageDimensions; }
    QWidget* content() const { return m_content; }
    // Says that only a leading part of the content is shown; hidden when all of it is.
    QLabel* truncationNotice() const { return m_truncationNotice; }

    void retranslate();

    // Abbreviated month, day, hour and minute in the interface language.
    static QString dateText(const Timestamp& timestamp, const QString& languageIdentifier);

Q_SIGNALS:
    void imageLoaded();

private:
    void loadImage();
    void loadRichText();
    // The text a text or link entry shows: its plain text, else its rich text reduced, else a note.
    QString previewText() const;
    void showImage(const QImage& image, QSize pixelSize);

    ClipboardEntry m_entry;
    QLabel* m_sourceName = nullptr;
    QLabel* m_dimensions = nullptr;
    QLabel* m_date = nullptr;
    QLabel* m_truncationNotice = nullptr;
    QWidget* m_content = nullptr;
    std::optional<QSize> m_imageDimensions;
    std::optional<QUrl> m_linkURL;
    bool m_richTextPending = false;
    std::optional<QString> m_richText;
};

#pragma once

#include <QScrollArea>
#include <QUrl>
#include <algorithm>

class QLabel;

// The files of a file entry: icon, name and full path, both selectable, and a warning under any
// file that is no longer there. Each row costs a file-system look-up and a handful of widgets, so at
// most maxShownCount rows are built.
class FileListPreview : public QScrollArea {
    Q_OBJECT

public:
    static constexpr qsizetype maxShownCount = 25;

    explicit FileListPreview(const QList<QUrl>& urls, QWidget* parent = nullptr);

    const QList<QUrl>& urls() const { return m_urls; }
    qsizetype shownCount() const { return std::min(m_urls.size(), maxShownCount); }
    bool isTruncated() const { return shownCount() < m_urls.size(); }

    // Re-reads the texts in the current interface language.
    void retranslate();

private:
    QList<QUrl> m_urls;
    QList<QLabel*> m_warnings;
};

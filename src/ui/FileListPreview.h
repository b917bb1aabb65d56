#pragma once

#include <QScrollArea>
#include <QUrl>

class QLabel;

// The files of a file entry: icon, name and full path, both selectable, and a warning under any
// file that is no longer there.
class FileListPreview : public QScrollArea {
    Q_OBJECT

public:
    explicit FileListPreview(const QList<QUrl>& urls, QWidget* parent = nullptr);

    // Re-reads the texts in the current interface language.
    void retranslate();

private:
    QList<QUrl> m_urls;
    QList<QLabel*> m_warnings;
};

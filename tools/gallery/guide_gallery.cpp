// Screenshots of the accessibility guide for people to look at: the window in light and dark, in English
// and both Chinese scripts, once as it opens and once after granting access failed (scrolled to the
// top), and each picture large. Run it on an X display: guide_gallery OUTPUT_FOLDER
#include "Gallery.h"
#include "l10n/Localization.h"
#include "ui/common/AppTheme.h"
#include "ui/common/HistoryButton.h"
#include "ui/guide/AccessibilityGuideView.h"
#include "ui/guide/AccessibilityGuideWindowController.h"
#include "ui/guide/GuideIllustration.h"

#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QTest>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const std::optional<QString> named = galleryFolder(argc, argv);
    if (!named)
        return 2;
    const QString& output = *named;

    for (const AppTheme theme : galleryThemes) {
        AppThemes::apply(theme);
        for (const AppLanguage language : galleryLanguages) {
            AppLocalization::shared().select(language);
            const QString prefix = lookPrefix(output, theme);
            bool closed = false;
            AccessibilityGuideWindowController guide([] { return false; }, [] {},
                                                     [&closed] { closed = true; }, [] { return false; });
            guide.present();
            QTest::qWait(600);
            QWidget& window = guide.window();
            const QRect frame = window.frameGeometry().adjusted(-12, -12, 12, 12);
            QScreen* screen = window.screen();
            screen->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height())
                .save(prefix + QStringLiteral("-guide.png"));
            guide.view().authorizeButton().click();
            QTest::qWait(100);
            screen->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height())
                .save(prefix + QStringLiteral("-open-failed.png"));
            guide.closeImmediately();
            if (!closed)
                qWarning("the guide did not report its close");
        }
        const QList<std::pair<GuideIllustration::Kind, QString>> pictures = {
            {GuideIllustration::Kind::extensionCheck, QStringLiteral("terminal")},
            {GuideIllustration::Kind::session, QStringLiteral("session")},
            {GuideIllustration::Kind::settings, QStringLiteral("settings")}};
        for (const auto& [kind, name] : pictures) {
            GuideIllustration picture(kind);
            picture.resize(1100, picture.heightForWidth(1100));
            QPixmap image(picture.size() + QSize(40, 40));
            image.fill(picture.palette().color(QPalette::Window));
            picture.render(&image, QPoint(20, 20));
            image.save(QStringLiteral("%1/%2-picture-%3.png").arg(output, AppThemes::rawValue(theme), name));
        }
    }
    return 0;
}

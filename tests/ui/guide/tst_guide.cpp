#include "l10n/Localization.h"
#include "support/ManualDelayTimer.h"
#include "ui/common/HistoryButton.h"
#include "ui/common/ReducedMotion.h"
#include "ui/guide/AccessibilityGuideView.h"
#include "ui/guide/AccessibilityGuideWindowController.h"
#include "ui/guide/GuideIllustration.h"

#include <QtTest>

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;
using Controller = AccessibilityGuideWindowController;

namespace {

// A guide whose fades end, and whose seconds pass, only when the test says so.
struct Guide {
    QList<std::function<void()>> pending; // fades not yet over
    qreal opacity = 0;                    // where the last fade goes
    bool easedRight = true;               // out towards opaque, in towards transparent
    ManualDelayTimer* watch = new ManualDelayTimer;
    ReducedMotion motion;
    int authorized = 0, closes = 0, lastFade = 0;
    bool opens = false, trusted = false;
    Controller controller{[this] { return opens; }, [this] { ++authorized; }, [this] { ++closes; },
                          [this] { return trusted; },
                          Controller::Environment{[this](QWidget&, Controller::Fade fade) {
                                                      opacity = fade.target;
                                                      lastFade = int(fade.duration.count());
                                                      easedRight &= (fade.target == 1) ==
                                                                    (fade.curve.valueForProgress(0.5) > 0.5);
                                                      pending.append(fade.done ? fade.done : [] {});
                                                  },
                                                  std::unique_ptr<DelayTimer>(watch), &motion}};

    // p present, c close, i close without animation, e the pending fades end, x Escape, w Ctrl+W, b the
    // button named Close, t the extensions arrive, s a second passes, o settings can be opened, g Return.
    void run(QStringView script)
    {
        const QList<HistoryButton*> buttons = controller.window().findChildren<HistoryButton*>();
        const auto close = std::ranges::find_if(
            buttons, [](auto* button) { return button->accessibleName() == u"Close"_s; });
        const QHash<char16_t, std::function<void()>> steps{
            {u'p', [this] { controller.present(); }},
            {u'c', [this] { controller.close(); }},
            {u'i', [this] { controller.closeImmediately(); }},
            {u'e', [this] { std::ranges::for_each(std::exchange(pending, {}), [](auto& done) { done(); }); }},
            {u'x', [this] { QTest::keyClick(controller.view().illustrations().first(), Qt::Key_Escape); }},
            {u'w',
             [this] {
                 QTest::keyClick(controller.view().illustrations().first(), Qt::Key_W, Qt::ControlModifier);
             }},
            {u'b', [&] { QTest::mouseClick(close == buttons.end() ? nullptr : *close, Qt::LeftButton); }},
            {u't', [this] { trusted = true; }},
            {u's', [this] { watch->advance(1s); }},
            {u'o', [this] { opens = true; }},
            {u'g', [this] { QTest::keyClick(&controller.view(), Qt::Key_Return); }},
            {u'r', [this] { motion.setReduced(true); }},
        };
        for (const QChar step : script)
            steps[step.unicode()]();
    }
};

} // namespace

class TestGuide : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { AppLocalization::shared().select(AppLanguage::english); }

    // Afterwards: shown (visible and opaque) or gone, how often onClose and the authorized action ran,
    // whether the open failure shows, and how long the last fade was.
    void transitions_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("presented") << u"pe"_s << u"shown 0 0 220"_s;
        QTest::newRow("closed after its fade") << u"pece"_s << u"gone 1 0 160"_s;
        QTest::newRow("presented during the fade-out") << u"pecpe"_s << u"shown 0 0 220"_s;
        QTest::newRow("closed while hidden") << u"c"_s << u"gone 1 0 0"_s;
        QTest::newRow("closed without animation") << u"pecie"_s << u"gone 1 0 160"_s;
        QTest::newRow("presented after closing") << u"pecepce"_s << u"gone 1 0 160"_s;
        QTest::newRow("escape") << u"pexe"_s << u"gone 1 0 160"_s;
        QTest::newRow("Ctrl+W") << u"pewe"_s << u"gone 1 0 160"_s;
        QTest::newRow("close button") << u"pebe"_s << u"gone 1 0 160"_s;
        QTest::newRow("trusted at once") << u"tpe"_s << u"gone 1 1 160"_s;
        QTest::newRow("nothing to open") << u"peg"_s << u"shown 0 0 failed 220"_s;
        QTest::newRow("settings opened") << u"peog"_s << u"shown 0 0 220"_s;
        QTest::newRow("reduced motion in") << u"rpe"_s << u"shown 0 0 100"_s;
        QTest::newRow("reduced motion out") << u"rpece"_s << u"gone 1 0 80"_s;
        QTest::newRow("authorized once") << u"pestsse"_s << u"gone 1 1 160"_s;
        QTest::newRow("trusted after seconds") << u"pesstse"_s << u"gone 1 1 160"_s;
    }
    void transitions()
    {
        QFETCH(QString, script);
        QFETCH(QString, outcome);
        Guide guide;
        guide.run(script);
        const QWidget& window = guide.controller.window();
        const bool failed = window.findChild<QWidget*>(u"accessibility-guide-open-error"_s)->isVisible();
        QCOMPARE(u"%1 %2 %3 %4%5"_s.arg(window.isVisible() && guide.opacity == 1 ? u"shown" : u"gone")
                     .arg(guide.closes)
                     .arg(guide.authorized)
                     .arg(failed ? u"failed " : u"")
                     .arg(guide.lastFade),
                 outcome);
        QVERIFY(guide.easedRight);
    }

    // Window lists name it by what it is, in the interface language.
    void windowTitle()
    {
        Guide guide;
        AppLocalization::shared().select(AppLanguage::traditionalChinese);
        QCOMPARE(guide.controller.window().windowTitle(), u"如何設定快速貼上"_s);
        AppLocalization::shared().select(AppLanguage::english);
        QCOMPARE(guide.controller.window().windowTitle(), u"How to set up quick paste"_s);
    }

    void highlight_data()
    {
        QTest::addColumn<int>("kindIndex");
        QTest::addColumn<int>("width");
        for (const int width : {512, 1100})
            for (const int kind : {0, 1, 2})
                QTest::addRow("picture %d at %d", kind, width) << kind << width;
    }
    void highlight()
    {
        QFETCH(int, kindIndex);
        QFETCH(int, width);
        GuideIllustration picture{GuideIllustration::Kind(kindIndex)};
        picture.resize(width, picture.heightForWidth(width));
        const QRectF ring = picture.highlightRect(), control = picture.controlRect();
        QVERIFY(ring.adjusted(-1, -1, 1, 1).contains(control) &&
                control.adjusted(-1, -1, 1, 1).contains(ring));
    }
};

QTEST_MAIN(TestGuide)
#include "tst_guide.moc"

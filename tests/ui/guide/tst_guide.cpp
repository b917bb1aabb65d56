#include "l10n/Localization.h"
#include "support/ManualDelayTimer.h"
#include "ui/common/HistoryButton.h"
#include "ui/common/ReducedMotion.h"
#include "ui/guide/AccessibilityGuideView.h"
#include "ui/guide/AccessibilityGuideWindowController.h"
#include "ui/guide/GuideIllustration.h"

#include <QLabel>
#include <QtTest>

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;
using Controller = AccessibilityGuideWindowController;

namespace {

// A guide whose fades end only when the test says so, in any order.
struct Guide {
    QList<Controller::Fade> fades;
    ManualDelayTimer* watch = new ManualDelayTimer;
    ReducedMotion motion;
    int authorizeCalls = 0, authorized = 0, closes = 0, trustChecks = 0;
    bool opens = false;
    int trustedAfter = -1;
    std::unique_ptr<Controller> controller;

    Guide()
    {
        controller = std::make_unique<Controller>(
            [this] { return ++authorizeCalls, opens; }, [this] { ++authorized; }, [this] { ++closes; },
            [this] { return trustedAfter >= 0 && trustChecks++ >= trustedAfter; },
            Controller::Environment{[this](QWidget&, Controller::Fade fade) { fades.append(fade); },
                                    std::unique_ptr<DelayTimer>(watch), &motion});
    }
    void endFades()
    {
        for (const Controller::Fade& fade : std::exchange(fades, {}))
            if (fade.done)
                fade.done();
    }
    // p present, c close, i close without animation, e every pending fade ends.
    void run(QStringView script)
    {
        for (const QChar step : script) {
            if (step == u'p')
                controller->present();
            else if (step == u'c')
                controller->close();
            else if (step == u'i')
                controller->closeImmediately();
            else if (step == u'e')
                endFades();
        }
    }
};

} // namespace

class TestGuide : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { AppLocalization::shared().select(AppLanguage::english); }

    void transitions_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<bool>("visible");
        QTest::addColumn<int>("closes");
        QTest::newRow("presented") << u"pe"_s << true << 0;
        QTest::newRow("closed after its fade") << u"pece"_s << false << 1;
        QTest::newRow("still fading out") << u"pec"_s << true << 0;
        QTest::newRow("presented during the fade-out") << u"pecpe"_s << true << 0;
        QTest::newRow("closed twice") << u"peccee"_s << false << 1;
        QTest::newRow("closed again after coming back") << u"pecpce"_s << false << 1;
        QTest::newRow("closed while hidden") << u"c"_s << false << 1;
        QTest::newRow("closed without animation") << u"pecie"_s << false << 1;
        QTest::newRow("presented after closing") << u"pecepce"_s << false << 1;
    }
    void transitions()
    {
        QFETCH(QString, script);
        QFETCH(bool, visible);
        QFETCH(int, closes);
        Guide guide;
        guide.run(script);
        QCOMPARE(guide.controller->window().isVisible(), visible);
        QCOMPARE(guide.closes, closes);
    }

    void fadeTimes_data()
    {
        QTest::addColumn<bool>("reduced");
        QTest::addColumn<int>("in");
        QTest::addColumn<int>("out");
        QTest::newRow("motion") << false << 220 << 160;
        QTest::newRow("reduced motion") << true << 100 << 80;
    }
    void fadeTimes()
    {
        QFETCH(bool, reduced);
        QFETCH(int, in);
        QFETCH(int, out);
        Guide guide;
        guide.motion.setReduced(reduced);
        guide.run(u"pc");
        QCOMPARE(guide.fades.size(), 2);
        QCOMPARE(guide.fades[0].target, 1.0);
        QCOMPARE(guide.fades[0].duration.count(), in);
        QVERIFY(guide.fades[0].curve.valueForProgress(0.3) > 0.3); // eases out
        QCOMPARE(guide.fades[1].target, 0.0);
        QCOMPARE(guide.fades[1].duration.count(), out);
        QVERIFY(guide.fades[1].curve.valueForProgress(0.7) < 0.7); // eases in
    }

    void grantAccess_data()
    {
        QTest::addColumn<bool>("opens");
        QTest::newRow("settings opened") << true;
        QTest::newRow("nothing to open") << false;
    }
    void grantAccess()
    {
        QFETCH(bool, opens);
        Guide guide;
        guide.opens = opens;
        guide.run(u"pe");
        auto* error = guide.controller->window().findChild<QLabel*>(u"accessibility-guide-open-error"_s);
        QVERIFY(error && !error->isVisible());
        QTest::keyClick(&guide.controller->view(), Qt::Key_Return);
        QCOMPARE(guide.authorizeCalls, 1);
        QCOMPARE(error->isVisible(), !guide.opens);
        QVERIFY(error->text().contains(u"XTEST"));
        QVERIFY(guide.controller->window().isVisible() && !guide.controller->isClosing());
    }

    void permissionWatch_data()
    {
        QTest::addColumn<int>("untrustedChecks");
        QTest::newRow("trusted at once") << 0;
        QTest::newRow("trusted after three seconds") << 3;
    }
    void permissionWatch()
    {
        QFETCH(int, untrustedChecks);
        Guide guide;
        guide.trustedAfter = untrustedChecks;
        guide.run(u"pe");
        for (int second = 0; second < guide.trustedAfter; ++second) {
            QCOMPARE(guide.watch->delay(), 1000ms);
            QVERIFY(guide.watch->fire());
        }
        QCOMPARE(guide.authorized, 1);
        QVERIFY(guide.controller->isClosing());
        QVERIFY(!guide.watch->fire());
        guide.endFades();
        QCOMPARE(guide.authorized, 1);
        QCOMPARE(guide.closes, 1);
        QVERIFY(!guide.controller->window().isVisible());
    }

    void dismiss_data()
    {
        QTest::addColumn<bool>("escape");
        QTest::newRow("escape") << true;
        QTest::newRow("close button") << false;
    }
    void dismiss()
    {
        QFETCH(bool, escape);
        Guide guide;
        guide.run(u"pe");
        if (escape)
            QTest::keyClick(guide.controller->view().illustrations().first(), Qt::Key_Escape);
        else
            QTest::mouseClick(&guide.controller->view().closeButton(), Qt::LeftButton);
        guide.endFades();
        QCOMPARE(guide.closes, 1);
        QCOMPARE(guide.controller->view().closeButton().accessibleName(), u"Close"_s);
    }

    void highlight_data()
    {
        QTest::addColumn<int>("kindIndex");
        QTest::addColumn<int>("width");
        for (const int width : {512, 1100}) {
            QTest::addRow("switch %d", width) << int(GuideIllustration::Kind::extensionSwitch) << width;
            QTest::addRow("session %d", width) << int(GuideIllustration::Kind::session) << width;
            QTest::addRow("settings %d", width) << int(GuideIllustration::Kind::settings) << width;
        }
    }
    void highlight()
    {
        QFETCH(int, kindIndex);
        QFETCH(int, width);
        const auto kind = GuideIllustration::Kind(kindIndex);
        ReducedMotion motion;
        GuideIllustration picture(kind, nullptr, nullptr, &motion);
        picture.resize(width, picture.heightForWidth(width));
        const QRectF ring = picture.highlightRect(), control = picture.controlRect();
        const QRectF unit = GuideIllustration::screenshot(kind).highlight;
        QCOMPARE(ring.x() / picture.width(), unit.x());
        QCOMPARE(ring.height() / picture.height(), unit.height());
        for (const qreal gap : {ring.left() - control.left(), ring.top() - control.top(),
                                ring.right() - control.right(), ring.bottom() - control.bottom()})
            QVERIFY2(std::abs(gap) < 1, qPrintable(QString::number(gap)));
    }
};

QTEST_MAIN(TestGuide)
#include "tst_guide.moc"

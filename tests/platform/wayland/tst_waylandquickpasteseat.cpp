#include "platform/wayland/WaylandQuickPasteSeat.h"
#include "support/wayland/TapRecordText.h"

#include <QImage>
#include <QMutex>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Generous: the compositor shares two cores with the build and the sanitizers.
constexpr int patience = 10000;

bool run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, arguments);
    return process.waitForFinished(patience) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

} // namespace

class TstWaylandQuickPasteSeat : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void presentShowsFrame_data();
    void presentShowsFrame();
    void keysReachHandler_data();
    void keysReachHandler();
    void enterReportsHeldModifiers();
    void hideGivesKeyboardBack();
    void typesShortcut_data();
    void typesShortcut();

private:
    QStringList records() const
    {
        const QMutexLocker lock(&m_mutex);
        return m_records;
    }
    // Shows a frame and waits until the popup holds the keyboard (its first record).
    bool showPopup()
    {
        QImage frame(460, 600, QImage::Format_ARGB32_Premultiplied);
        frame.fill(Qt::darkCyan);
        m_seat->present(frame);
        if (!QTest::qWaitFor([this] { return !records().isEmpty(); }, patience))
            return false;
        const QMutexLocker lock(&m_mutex);
        m_records.removeFirst();
        return true;
    }
    bool fieldPrinted(const QString& line)
    {
        return QTest::qWaitFor(
            [&] {
                m_fieldOutput += QString::fromUtf8(m_field.readAllStandardOutput());
                return m_fieldOutput.contains(line);
            },
            patience);
    }

    // Types keys for the test: wtype on sway, which offers a virtual keyboard, fake input on KWin.
    QString m_typer;
    std::unique_ptr<WaylandQuickPasteSeat> m_seat;
    mutable QMutex m_mutex;
    QStringList m_records;
    QProcess m_field;
    QString m_fieldOutput;
    int m_framesDone = 0;
    int m_scaleChanges = 0;
};

void TstWaylandQuickPasteSeat::initTestCase()
{
    if (!qEnvironmentVariableIsEmpty("SWAYSOCK"))
        m_typer = QStringLiteral("wtype");
    else if (qEnvironmentVariable("XDG_CURRENT_DESKTOP") == QLatin1String("KDE"))
        m_typer = QStringLiteral(TEST_FAKE_INPUT_TYPER);
    else
        QSKIP("needs sway or KWin: run through tests/support/with-sway.sh or with-kwin.sh");
    QString reason;
    m_seat = WaylandQuickPasteSeat::create(qgetenv("WAYLAND_DISPLAY"), &reason);
    QVERIFY2(m_seat, qPrintable(reason));
    QTRY_VERIFY_WITH_TIMEOUT(m_seat->state() != WaylandQuickPasteSeat::State::connecting, 10'000);
    QCOMPARE(m_seat->state(), WaylandQuickPasteSeat::State::ready);
    // KWin offers fake input only to the programs it grants it: run by another, the seat says so.
    const bool granted = !qEnvironmentVariableIsSet("TEST_NOT_GRANTED");
    QVERIFY(m_seat->hasLayerShell());
    QCOMPARE(m_seat->canType(), granted);
    QCOMPARE(m_seat->typingNeedsGrant(), !granted);
    if (!granted)
        QSKIP("nothing to type with");
    m_seat->setEventHandler([this](TapEvent& record) {
        const QMutexLocker lock(&m_mutex);
        m_records.append(tapRecordText(record));
    });
    m_seat->onFrameDone = [this] { ++m_framesDone; };
    m_seat->onScaleChanged = [this] { ++m_scaleChanges; };
    m_field.start(QStringLiteral(TEST_TEXT_FIELD), {});
    QVERIFY(fieldPrinted(QStringLiteral("ready")));
    QVERIFY(!WaylandQuickPasteSeat::create("/nonexistent/wayland-0", &reason));
    QVERIFY(!reason.isEmpty());
}

void TstWaylandQuickPasteSeat::cleanup()
{
    m_seat->hide();
    m_field.readAllStandardOutput();
    m_fieldOutput.clear();
    const QMutexLocker lock(&m_mutex);
    m_records.clear();
}

void TstWaylandQuickPasteSeat::presentShowsFrame_data()
{
    QTest::addColumn<int>("scale");
    QTest::newRow("scale 2") << 2;
    QTest::newRow("scale 1") << 1;
}

// The frame shows centred on the output, as large as its pixels over the scale.
void TstWaylandQuickPasteSeat::presentShowsFrame()
{
    QFETCH(int, scale);
    if (m_typer != QLatin1String("wtype"))
        QSKIP("swaymsg and grim work on sway only");
    const int changes = m_scaleChanges;
    QVERIFY(run(QStringLiteral("swaymsg"), {QStringLiteral("output * scale %1").arg(scale)}));
    QTRY_COMPARE_WITH_TIMEOUT(m_seat->scale(), scale, patience);
    QTRY_COMPARE_WITH_TIMEOUT(m_scaleChanges, changes + 1, patience);
    const QSize output = m_seat->availableSize();
    QVERIFY(!output.isEmpty());

    const QColor colour(0x20, 0xa0, 0x60);
    QImage frame(200 * scale, 100 * scale, QImage::Format_ARGB32_Premultiplied);
    frame.setDevicePixelRatio(scale);
    frame.fill(colour);
    const int frames = m_framesDone;
    m_seat->present(frame);
    QTRY_VERIFY_WITH_TIMEOUT(m_framesDone > frames, patience);

    QTemporaryDir dir;
    const QPoint centre(output.width() / 2, output.height() / 2);
    for (const auto& [offset, inside] : {std::pair{QPoint(0, 0), true},
                                         {QPoint(95, 45), true},
                                         {QPoint(105, 0), false},
                                         {QPoint(0, 55), false}}) {
        const QPoint at = centre + offset;
        const QString shot = dir.filePath(QStringLiteral("shot.png"));
        QVERIFY(run(QStringLiteral("grim"),
                    {QStringLiteral("-g"), QStringLiteral("%1,%2 1x1").arg(at.x()).arg(at.y()), shot}));
        QCOMPARE(QImage(shot).pixelColor(0, 0) == colour, inside);
    }
}

void TstWaylandQuickPasteSeat::keysReachHandler_data()
{
    QTest::addColumn<QString>("keys");
    // A pattern of records.
    QTest::addColumn<QString>("expected");
    QTest::newRow("chord, z, Escape, let go") << "-M logo -M shift -k z -k Escape -m shift -m logo"
                                              << "F:W F:SW D:Z:SW U:Z:SW D:E:SW U:E:SW F:W F:";
    QTest::newRow("v and another key") << "-k v -k a"
                                       << "D:V: U:V: D:O: U:O:";
    // sway repeats after 600 ms by default.
    QTest::newRow("z held") << "-P z -s 1500 -p z"
                            << "D:Z: (D:Z\\*: )+U:Z:";
}

void TstWaylandQuickPasteSeat::keysReachHandler()
{
    QFETCH(QString, keys);
    QFETCH(QString, expected);
    QVERIFY(showPopup());
    QVERIFY(run(m_typer, keys.split(u' ')));
    const QRegularExpression pattern(QRegularExpression::anchoredPattern(expected));
    QTRY_VERIFY2_WITH_TIMEOUT(pattern.match(records().join(u' ')).hasMatch(),
                              qPrintable(records().join(u' ')), patience);
}

// Modifiers let go before the popup got the keyboard are seen as soon as it does.
void TstWaylandQuickPasteSeat::enterReportsHeldModifiers()
{
    QProcess chord;
    chord.start(m_typer, QStringLiteral("-M logo -M shift -k x -s 1500 -m shift -m logo").split(u' '));
    QVERIFY(fieldPrinted(QStringLiteral("key X %1").arg(int(Qt::MetaModifier | Qt::ShiftModifier))));
    QImage frame(100, 100, QImage::Format_ARGB32_Premultiplied);
    frame.fill(Qt::red);
    m_seat->present(frame);
    QTRY_COMPARE_WITH_TIMEOUT(records().join(u' '), QStringLiteral("F:SW F:W F:"), patience);
    QTRY_COMPARE_WITH_TIMEOUT(chord.state(), QProcess::NotRunning, patience);
}

void TstWaylandQuickPasteSeat::hideGivesKeyboardBack()
{
    QVERIFY(showPopup());
    m_seat->hide();
    QVERIFY(run(m_typer, {QStringLiteral("-k"), QStringLiteral("b")}));
    QVERIFY(fieldPrinted(QStringLiteral("key B 0")));
    QCOMPARE(records(), QStringList());
}

void TstWaylandQuickPasteSeat::typesShortcut_data()
{
    QTest::addColumn<PasteShortcut>("shortcut");
    QTest::addColumn<QString>("typed");
    QTest::newRow("Control+V") << PasteShortcut::controlV
                               << QStringLiteral("key V %1").arg(int(Qt::ControlModifier));
    QTest::newRow("Control+Shift+V")
        << PasteShortcut::controlShiftV
        << QStringLiteral("key V %1").arg(int(Qt::ControlModifier | Qt::ShiftModifier));
    QTest::newRow("Shift+Insert") << PasteShortcut::shiftInsert
                                  << QStringLiteral("key Ins %1").arg(int(Qt::ShiftModifier));
}

// Typed into the application in front, which pastes the clipboard with Control+V.
void TstWaylandQuickPasteSeat::typesShortcut()
{
    QFETCH(PasteShortcut, shortcut);
    QFETCH(QString, typed);
    const QString text = QStringLiteral("pasted by clipwell %1").arg(QLatin1String(QTest::currentDataTag()));
    QVERIFY(run(QStringLiteral("wl-copy"), {text}));
    // On sway the keymap the seat knows last is the one wtype makes up for the keys it types.
    QVERIFY(run(m_typer, QStringLiteral("-k v -k Insert").split(u' ')));
    QVERIFY(fieldPrinted(QStringLiteral("key Ins 0")));
    std::unique_ptr<KeystrokePoster::Keystroke> keystroke;
    QTRY_VERIFY_WITH_TIMEOUT((keystroke = m_seat->createKeystroke(shortcut)), patience);
    QVERIFY(keystroke->keysAreUp());
    QVERIFY(keystroke->post());
    QVERIFY(fieldPrinted(typed));
    if (shortcut == PasteShortcut::controlV)
        QVERIFY(fieldPrinted(text));
    // No modifier of the shortcut is left down.
    QVERIFY(run(m_typer, {QStringLiteral("-k"), QStringLiteral("b")}));
    QVERIFY(fieldPrinted(QStringLiteral("key B 0")));
}

QTEST_GUILESS_MAIN(TstWaylandQuickPasteSeat)
#include "tst_waylandquickpasteseat.moc"

#include "support/EntryBuilder.h"
#include "support/FakeWorkspace.h"
#include "ui/common/SourceApplicationIcon.h"
#include "ui/common/SourceApplicationIconCache.h"

#include <QAccessible>
#include <QPixmap>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

using Installed = QHash<QString, QString>;
using ByName = QHash<QString, QStringList>;
using Running = QList<RunningApplication>;

RunningApplication running(const QString& name, std::optional<QString> url, bool regular = true,
                           qint64 pid = 1)
{
    return RunningApplication{name, std::nullopt, pid, regular, std::move(url)};
}

QIcon filledIcon(const QColor& colour)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(colour);
    return QIcon(pixmap);
}

ClipboardEntry entryFrom(const std::optional<QString>& bundleIdentifier, const QString& name)
{
    ClipboardEntry entry = makeEntry(u"text"_s, 1, 0, name);
    entry.sourceBundleIdentifier = bundleIdentifier;
    return entry;
}

// Whether some pixel is clearly green, allowing for antialiased edges blended into the background.
bool containsGreen(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.green() - pixel.red() > 100 && pixel.green() - pixel.blue() > 100)
                return true;
        }
    }
    return false;
}

} // namespace

class TestApplicationIcons : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void applicationURL_data()
    {
        QTest::addColumn<std::optional<QString>>("bundleIdentifier");
        QTest::addColumn<QString>("name");
        QTest::addColumn<Installed>("installed");
        QTest::addColumn<Running>("runningApplications");
        QTest::addColumn<ByName>("byName");
        QTest::addColumn<std::optional<QString>>("expected");
        QTest::addColumn<int>("scans");
        QTest::addColumn<int>("probes");

        const std::optional<QString> none;
        const auto url = [](const char* path) { return std::optional<QString>(QString::fromUtf8(path)); };
        const Installed alpha{{u"org.alpha"_s, u"/alpha.desktop"_s}};
        const Running twoAlphas{running(u"Alpha"_s, u"/a1"_s), running(u"Alpha"_s, u"/a2"_s)};
        const ByName oneAlpha{{u"Alpha"_s, {u"/installed-alpha"_s}}};

        QTest::newRow("the identifier first, names never consulted")
            << url("org.alpha") << u"Alpha"_s << alpha << twoAlphas << oneAlpha << url("/alpha.desktop") << 0
            << 0;
        QTest::newRow("unknown identifier: one running application by name")
            << url("org.unknown") << u"Alpha"_s << alpha << Running{running(u"Alpha"_s, u"/a1"_s)} << ByName()
            << url("/a1") << 1 << 0;
        QTest::newRow("an empty identifier is no identifier")
            << url("") << u"Alpha"_s << Installed{{QString(), u"/empty"_s}}
            << Running{running(u"Alpha"_s, u"/a1"_s)} << ByName() << url("/a1") << 1 << 0;
        QTest::newRow("the unknown-application placeholder")
            << none << u"其他应用"_s << Installed() << Running{running(u"其他应用"_s, u"/x"_s)}
            << ByName{{u"其他应用"_s, {u"/x"_s}}} << none << 0 << 0;
        QTest::newRow("no name") << none << QString() << Installed() << Running{running(QString(), u"/x"_s)}
                                 << ByName{{QString(), {u"/x"_s}}} << none << 0 << 0;
        QTest::newRow("a path, not a name")
            << none << u"bin/tool"_s << Installed() << Running{running(u"bin/tool"_s, u"/x"_s)}
            << ByName{{u"bin/tool"_s, {u"/x"_s}}} << none << 0 << 0;
        QTest::newRow("several processes of one application")
            << none << u"Alpha"_s << Installed()
            << Running{running(u"Alpha"_s, u"/a1"_s, true, 1), running(u"Alpha"_s, u"/a1"_s, true, 2)}
            << oneAlpha << url("/a1") << 1 << 0;
        QTest::newRow("two running applications of that name: ambiguous, no folder probe")
            << none << u"Alpha"_s << Installed() << twoAlphas << oneAlpha << none << 1 << 0;
        QTest::newRow("background processes do not count")
            << none << u"Alpha"_s << Installed()
            << Running{running(u"Alpha"_s, u"/a1"_s, false), twoAlphas[1]} << oneAlpha << url("/a2") << 1
            << 0;
        QTest::newRow("nothing regular running: the folders")
            << none << u"Alpha"_s << Installed()
            << Running{running(u"Alpha"_s, u"/a1"_s, false), running(u"Alpha"_s, none),
                       running(u"Beta"_s, u"/b"_s)}
            << oneAlpha << url("/installed-alpha") << 1 << 1;
        QTest::newRow("two installed of that name: ambiguous")
            << none << u"Alpha"_s << Installed() << Running()
            << ByName{{u"Alpha"_s, {u"/installed-alpha"_s, u"/other-alpha"_s}}} << none << 1 << 1;
        QTest::newRow("not found anywhere")
            << none << u"Alpha"_s << Installed() << Running() << ByName() << none << 1 << 1;
    }
    void applicationURL()
    {
        QFETCH(std::optional<QString>, bundleIdentifier);
        QFETCH(QString, name);
        QFETCH(Installed, installed);
        QFETCH(Running, runningApplications);
        QFETCH(ByName, byName);
        QFETCH(std::optional<QString>, expected);
        QFETCH(int, scans);
        QFETCH(int, probes);
        FakeWorkspace workspace;
        workspace.installedByIdentifier = installed;
        workspace.running = runningApplications;
        workspace.installedByName = byName;
        const SourceApplicationIconCache cache(workspace);
        QCOMPARE(cache.applicationURL({bundleIdentifier, name}), expected);
        QCOMPARE(workspace.runningApplicationScans, scans);
        QCOMPARE(workspace.folderProbes, probes);
    }

    // An application's icon is loaded once, also when it has none, and kept while 127 others follow.
    void icon_data()
    {
        QTest::addColumn<int>("others");
        QTest::addColumn<QString>("identifier");
        QTest::addColumn<bool>("hasIcon");
        QTest::addColumn<int>("loads");
        QTest::newRow("found and loaded once") << 0 << u"org.painted"_s << true << 1;
        QTest::newRow("an application without an icon is asked once") << 0 << u"org.plain"_s << false << 1;
        QTest::newRow("unresolved: no icon to load") << 0 << u"org.unknown"_s << false << 0;
        QTest::newRow("128 kept") << 127 << u"org.painted"_s << true << 128;
        QTest::newRow("the 129th pushes the first out") << 128 << u"org.painted"_s << true << 130;
    }
    void icon()
    {
        QFETCH(int, others);
        QFETCH(QString, identifier);
        QFETCH(bool, hasIcon);
        QFETCH(int, loads);
        FakeWorkspace workspace;
        workspace.installedByIdentifier = {{u"org.painted"_s, u"/painted"_s}, {u"org.plain"_s, u"/plain"_s}};
        workspace.icons = {{u"/painted"_s, filledIcon(Qt::red)}};
        SourceApplicationIconCache cache(workspace);
        for (int call = 0; call < 3; ++call) {
            const std::optional<QIcon> icon = cache.icon({identifier, u"Name"_s});
            QCOMPARE(icon.has_value(), hasIcon);
            QVERIFY(!icon || icon->pixmap(QSize(8, 8), 1.0).toImage().pixelColor(4, 4) == QColor(Qt::red));
            for (int index = 0; call == 0 && index < others; ++index) {
                workspace.installedByIdentifier.insert(u"id%1"_s.arg(index), u"/app%1"_s.arg(index));
                cache.icon({u"id%1"_s.arg(index), QString()});
            }
        }
        QCOMPARE(workspace.iconLoads, loads);
    }

    void view_data()
    {
        QTest::addColumn<std::optional<QString>>("bundleIdentifier");
        QTest::addColumn<bool>("installCache");
        QTest::addColumn<bool>("applicationIcon");
        QTest::newRow("the application's icon") << std::optional<QString>(u"org.painted"_s) << true << true;
        QTest::newRow("unknown application: the kind symbol")
            << std::optional<QString>(u"org.unknown"_s) << true << false;
        QTest::newRow("no cache installed: the kind symbol")
            << std::optional<QString>(u"org.painted"_s) << false << false;
    }
    void view()
    {
        QFETCH(std::optional<QString>, bundleIdentifier);
        QFETCH(bool, installCache);
        QFETCH(bool, applicationIcon);
        FakeWorkspace workspace;
        workspace.installedByIdentifier = {{u"org.painted"_s, u"/painted"_s}};
        workspace.icons = {{u"/painted"_s, filledIcon(Qt::red)}};
        SourceApplicationIconCache cache(workspace);
        SourceApplicationIconCache::setShared(installCache ? &cache : nullptr);

        SourceApplicationIcon icon(entryFrom(bundleIdentifier, u"Painter"_s));
        icon.setColour(QColor(Qt::green));
        QCOMPARE(icon.size(), QSize(14, 14));
        if (applicationIcon) {
            QSignalSpy changed(&icon, &SourceApplicationIcon::iconChanged);
            QVERIFY(changed.wait(2000));
        } else {
            QTest::qWait(20);
        }
        QCOMPARE(icon.icon().has_value(), applicationIcon);
        const QImage shot = icon.grab().toImage();
        QCOMPARE(shot.pixelColor(7, 7) == QColor(Qt::red), applicationIcon);
        QCOMPARE(containsGreen(shot), !applicationIcon);
        QVERIFY(QAccessible::queryAccessibleInterface(&icon)->state().invisible);
        // Reused for an entry of an unknown application, it drops the icon.
        icon.setEntry(entryFrom(std::nullopt, u"其他应用"_s));
        QVERIFY(!icon.icon().has_value());
        SourceApplicationIconCache::setShared(nullptr);
    }
};

QTEST_MAIN(TestApplicationIcons)
#include "tst_applicationicons.moc"

// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// Under a real window manager (Debian's openbox in Xvfb), which frames the
// window only after its first resize: the gradient's bands are those of the
// framed outer height, the same after a minimise and restore, and the frame
// stands centred on the screen. What the program says stands clear of the
// window, frame and all, with its whole title in view.

#include "boxcatcher.h"
#include "windowrig.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <QWindow>

// The gradient for an outer height in pixels: 63 bands from magenta down, four
// steps darker each, at 15 twips a pixel. The row in the middle of a band, and
// the band's colour.
static int bandMiddle(int outerHeight, int band)
{
    const int bandTwips = qRound(outerHeight * 15.0 / 63);
    return (2 * band + 1) * bandTwips / 30;
}

static QColor bandColour(int band)
{
    return { qMax(0, 242 - 4 * band), 0, qMax(0, 192 - 4 * band) };
}

class tst_WindowManager : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void framedGradientAndCentre();
    void noticeClearOfTheWindowAndTitlesWhole();

private:
    QProcess m_openbox;
};

void tst_WindowManager::initTestCase()
{
    if (qgetenv("DISPLAY").isEmpty())
        QSKIP("needs an X display (run under xvfb-run)");
    m_openbox.start("openbox", { "--sm-disable" });
    QVERIFY2(m_openbox.waitForStarted(5000), "openbox is needed: apt-get install openbox");
    // A window manager announces itself on the root window, and openbox
    // manages windows only from the moment it publishes its client list: a
    // window mapped between the two could stay unmanaged and unmapped.
    QVERIFY(QTest::qWaitFor(
            [] {
                QProcess property;
                property.start("xprop",
                               { "-root", "_NET_SUPPORTING_WM_CHECK", "_NET_CLIENT_LIST" });
                property.waitForFinished(5000);
                const QByteArray said = property.readAllStandardOutput();
                return said.contains("window id") && !said.contains("not found");
            },
            10000));
}

void tst_WindowManager::cleanupTestCase()
{
    m_openbox.kill();
    m_openbox.waitForFinished(2000);
}

void tst_WindowManager::framedGradientAndCentre()
{
    Rig rig;
    frmWendrel &form = rig.form();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTRY_VERIFY_WITH_TIMEOUT(form.frameGeometry().height() > form.height(), 5000);

    const QRect screen = form.screen()->availableGeometry();
    QTRY_VERIFY2_WITH_TIMEOUT(
            qAbs(form.frameGeometry().center().x() - screen.center().x()) <= 1
                    && qAbs(form.frameGeometry().center().y() - screen.center().y()) <= 1,
            qPrintable(QStringLiteral("frame %1,%2 %3x%4")
                               .arg(form.frameGeometry().x())
                               .arg(form.frameGeometry().y())
                               .arg(form.frameGeometry().width())
                               .arg(form.frameGeometry().height())),
            5000);

    // Bands from the top to the bottom of the client area, left of the controls.
    QList<int> rows;
    QList<QColor> expected;
    for (int band : { 0, 15, 30, 45, 52 }) {
        rows << bandMiddle(form.frameGeometry().height(), band);
        expected << bandColour(band);
    }
    QVERIFY(rows.last() < form.height());
    const auto shown = [&form, &rows] {
        const QImage shot = form.screen()->grabWindow(form.winId()).toImage();
        QList<QColor> colours;
        for (int y : rows)
            colours << shot.pixelColor(4, y);
        return colours;
    };
    QTRY_COMPARE_WITH_TIMEOUT(shown(), expected, 5000);

    // Qt marks the window minimised at once; the window manager unmaps it
    // later. Restored before that, the late unmapping would hide it again.
    form.showMinimized();
    QTRY_VERIFY(form.isMinimized() && !form.windowHandle()->isExposed());
    form.showNormal();
    QTRY_VERIFY(!form.isMinimized());
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTRY_COMPARE_WITH_TIMEOUT(shown(), expected, 5000);
}

// A box's title bar holds the title beside an icon and three buttons, each as
// wide as the bar is high.
static bool titleFits(const QWidget *box)
{
    QFont bold = box->font();
    bold.setBold(true);
    const int bar = box->geometry().top() - box->frameGeometry().top();
    return box->frameGeometry().width() - 4 * bar
            >= QFontMetrics(bold).horizontalAdvance(box->windowTitle());
}

void tst_WindowManager::noticeClearOfTheWindowAndTitlesWhole()
{
    Rig rig;
    frmWendrel &form = rig.form();
    form.show();
    QTRY_VERIFY_WITH_TIMEOUT(form.frameGeometry().height() > form.height(), 5000);
    QtMessageBox boxes;
    boxes.setParentWindow(&form);
    boxes.showNotice("/dev/ttyUSB0 takes no data.", "Com Port Error");
    QCOMPARE(BoxCatcher::notices().size(), 1);
    const QMessageBox *notice = BoxCatcher::notices().constFirst();
    QTRY_VERIFY_WITH_TIMEOUT(notice->frameGeometry().height() > notice->height(), 5000);
    const QRect window = form.frameGeometry();
    const auto clear = [&window, notice] {
        const QRect box = notice->frameGeometry();
        return box.top() > window.bottom() || box.bottom() < window.top();
    };
    QTRY_VERIFY2_WITH_TIMEOUT(clear(),
                              qPrintable(QStringLiteral("window %1 to %2, notice %3 to %4")
                                                 .arg(window.top())
                                                 .arg(window.bottom())
                                                 .arg(notice->frameGeometry().top())
                                                 .arg(notice->frameGeometry().bottom())),
                              3000);
    QVERIFY(titleFits(notice));
    boxes.closeNotice();

    // Asked until the window manager has framed the box at its size, or for
    // three seconds.
    bool fits = false;
    int looks = 0;
    QTimer watch;
    bool framed = false;
    int waits = 0;
    QObject::connect(&watch, &QTimer::timeout, &watch, [&fits, &framed, &looks, &waits] {
        auto *modal = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!modal)
            return; // not there yet
        // Asked for three seconds once framed. Now and then, beside other
        // tests, openbox leaves a box unframed: after five seconds it is
        // closed and shown again, twice at the most, instead of waited in
        // for ever.
        framed = modal->frameGeometry().height() != modal->height();
        fits = framed && titleFits(modal);
        if (fits || (framed && ++looks == 60) || ++waits == 100)
            modal->button(QMessageBox::Ok)->click();
    });
    watch.start(50);
    for (int shown = 0; shown < 3 && !framed; ++shown) {
        looks = waits = 0;
        boxes.show("Port is in use!", "Com Port Error");
    }
    QVERIFY2(framed, "the window manager never framed the box");
    QVERIFY(fits);
}

QTEST_MAIN(tst_WindowManager)
#include "tst_windowmanager.moc"

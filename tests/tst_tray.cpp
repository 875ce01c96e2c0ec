// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// Hiding to the notification area and coming back: the order of effects, the
// decoding of the mouse message, the close that always deletes the icon, and
// how tray activations become mouse messages.

#include "sessionbus.h"
#include "windowrig.h"

#include "desktop/qtnotifyicon.h"
#include "grad/grad.h"
#include "window/reversedscrollbar.h"

#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>

class tst_Tray : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // First: the session bus is the test's own only if nothing asked for one before.
    void notificationsReplaceTheLast();
    void loadFillsTheRecord();
    void hideThenAdd();
    void decodeMouseMessage_data();
    void decodeMouseMessage();
    void doubleClickOnTheIconRestores();
    void closeAlwaysDeletesAndGoesAhead_data();
    void closeAlwaysDeletesAndGoesAhead();
    void noNotificationAreaMinimisesInstead_data();
    void noNotificationAreaMinimisesInstead();
    void activationsBecomeMouseMessages();
    void troubleToldWhereNoNotificationGoes_data();
    void troubleToldWhereNoNotificationGoes();
};

void tst_Tray::loadFillsTheRecord()
{
    Rig rig;
    const NotifyIconRecord &record = Grad::TrayIconData;
    QCOMPARE(record.cbSize, 88);
    QCOMPARE(record.hWnd, std::int32_t(rig.form().winId()));
    QCOMPARE(record.uID, record.hIcon);
    QCOMPARE(record.hIcon, std::int32_t(rig.form().windowIcon().cacheKey()));
    QCOMPARE(record.uFlags, 7);
    QCOMPARE(record.uCallbackMessage, 512);
    QCOMPARE(record.szTip, QStringLiteral("Wendrel") + QChar(0) + QString(56, u' '));
    QVERIFY(rig.tray.records.isEmpty()); // nothing is added at load
}

void tst_Tray::hideThenAdd()
{
    Rig rig;
    rig.form().show();
    rig.form().Command5_Click();
    QVERIFY(!rig.form().isVisible());
    QCOMPARE(rig.log.entries, QStringList{ "shell:0:hidden" }); // hidden before the add
    QCOMPARE(rig.tray.records.value(0), Grad::TrayIconData.toBytes());
    QCOMPARE(rig.tray.records.value(0).mid(24, 8), QByteArray("Wendrel\0", 8));
    QVERIFY(rig.tray.shown);
}

void tst_Tray::decodeMouseMessage_data()
{
    QTest::addColumn<double>("messages");
    QTest::addColumn<bool>("restores");
    QTest::newRow("515") << 515.0 << true;
    QTest::newRow("514.5 rounds to 514") << 514.5 << false;
    QTest::newRow("515.5 rounds to 516") << 515.5 << false;
    QTest::newRow("515.4") << 515.4 << true;
    QTest::newRow("512 movement") << 512.0 << false;
    QTest::newRow("514 left up") << 514.0 << false;
    QTest::newRow("516 right down") << 516.0 << false;
    QTest::newRow("517 right up") << 517.0 << false;
    QTest::newRow("518 right double") << 518.0 << false;
}

void tst_Tray::decodeMouseMessage()
{
    QFETCH(double, messages);
    QFETCH(bool, restores);
    Rig rig;
    rig.form().show();
    rig.form().Command5_Click();
    rig.log.entries.clear();
    rig.form().Form_MouseMove(0, 0, float(messages) * rig.form().TwipsPerPixelX(), 0);
    QCOMPARE(rig.form().isVisible(), restores);
    // Visible again before the icon goes.
    QCOMPARE(rig.log.entries, restores ? QStringList{ "shell:2:visible" } : QStringList{});
    QCOMPARE(rig.tray.shown, !restores);
}

void tst_Tray::doubleClickOnTheIconRestores()
{
    Rig rig;
    rig.form().show();
    rig.form().Command5_Click();
    rig.tray.mouse(MouseMessage::LeftButtonUp);
    rig.tray.mouse(MouseMessage::RightButtonUp);
    QVERIFY(!rig.form().isVisible());
    rig.tray.mouse(MouseMessage::LeftButtonDoubleClick);
    QVERIFY(rig.form().isVisible());
    QVERIFY(!rig.tray.shown);
    // The record added and the record deleted name the same window and icon.
    QCOMPARE(rig.tray.records.first(), rig.tray.records.last());
}

void tst_Tray::closeAlwaysDeletesAndGoesAhead_data()
{
    QTest::addColumn<bool>("hidden");
    QTest::newRow("window shown, no icon") << false;
    QTest::newRow("window hidden, icon shown") << true;
}

void tst_Tray::closeAlwaysDeletesAndGoesAhead()
{
    QFETCH(bool, hidden);
    Rig rig;
    rig.form().show();
    if (hidden)
        rig.form().Command5_Click();
    rig.log.entries.clear();
    QVERIFY(rig.form().close()); // never cancelled
    QCOMPARE(rig.log.only("shell:").size(), 1);
    QVERIFY(rig.log.entries.first().startsWith("shell:2:"));
    QVERIFY(!rig.tray.shown);
    QVERIFY(rig.form().hasEnded());
    QCOMPARE(rig.lifetime.statuses, QList<int>{ 0 }); // the program ends with its window
}

void tst_Tray::noNotificationAreaMinimisesInstead_data()
{
    QTest::addColumn<bool>("windowManager");
    QTest::newRow("a window manager") << true;
    QTest::newRow("no window manager either") << false;
}

// Without a window manager nothing would take the window away: it stays, on
// screen in every sense, its lamps running and a loss told beside it.
void tst_Tray::noNotificationAreaMinimisesInstead()
{
    QFETCH(bool, windowManager);
    Rig rig;
    rig.tray.trayAvailable = false;
    rig.tray.minimiseAvailable = windowManager;
    rig.form().show();
    QVERIFY(QTest::qWaitForWindowExposed(&rig.form()));
    rig.c().VScroll3->setSetting(1);
    rig.form().Command2_Click();
    rig.form().Command5_Click();
    QVERIFY(rig.tray.records.isEmpty());
    QVERIFY(rig.form().isVisible()); // on the taskbar, or on the screen
    QTRY_COMPARE(rig.form().isMinimized(), windowManager);
    QCOMPARE(rig.c().Timer2->isActive(), !windowManager);
    rig.serial.loseDevice();
    QCOMPARE(rig.log.only("notice:").size(), windowManager ? 0 : 1);
}

// XEmbed trays report a double-click; D-Bus trays report two single
// activations, which count as one double-click when they come close together.
void tst_Tray::activationsBecomeMouseMessages()
{
    QtNotifyIcon icon{ QIcon() };
    QList<std::int32_t> messages;
    icon.setMouseHandler([&](std::int32_t message) { messages << message; });

    icon.activate(QSystemTrayIcon::Trigger, 400);
    QCOMPARE(messages, QList<std::int32_t>{ 514 }); // one alone does nothing
    icon.activate(QSystemTrayIcon::Trigger, 400);
    QCOMPARE(messages.last(), 515);
    icon.activate(QSystemTrayIcon::DoubleClick, 400); // the same click told twice
    QCOMPARE(messages.count(515), 1);

    messages.clear();
    icon.activate(QSystemTrayIcon::Trigger, 400);
    QTest::qWait(60);
    icon.activate(QSystemTrayIcon::Trigger, 50); // too slow for the interval
    QCOMPARE(messages, (QList<std::int32_t>{ 514, 514 }));

    messages.clear();
    icon.activate(QSystemTrayIcon::DoubleClick, 400); // a plain XEmbed double-click
    icon.activate(QSystemTrayIcon::Context, 400);
    icon.activate(QSystemTrayIcon::MiddleClick, 400);
    QCOMPARE(messages, (QList<std::int32_t>{ 515, 517, 520 }));
}

void tst_Tray::troubleToldWhereNoNotificationGoes_data()
{
    QTest::addColumn<bool>("hidden");
    QTest::addColumn<bool>("turnedAwayLater");
    QTest::newRow("minimised, no notification at all") << false << false;
    QTest::newRow("hidden, the notification turned away") << true << true;
}

// Off screen on a desktop with no notification service, a loss is not lost:
// the notice shows when the window is on screen again.
void tst_Tray::troubleToldWhereNoNotificationGoes()
{
    QFETCH(bool, hidden);
    QFETCH(bool, turnedAwayLater);
    Rig rig;
    rig.tray.notificationsShow = turnedAwayLater;
    rig.form().show();
    rig.c().VScroll3->setSetting(1);
    rig.form().Command2_Click();
    if (hidden)
        rig.form().Command5_Click();
    else
        rig.form().showMinimized();
    rig.serial.loseDevice();
    QCOMPARE(rig.log.only("notify:Com Port Error").size(), 1);
    if (turnedAwayLater)
        rig.tray.turnAway("Com Port Error", rig.log.only("notify:").value(0).section(':', 2));
    QVERIFY(rig.log.only("notice:").isEmpty());
    if (hidden)
        rig.tray.mouse(MouseMessage::LeftButtonDoubleClick);
    else
        rig.form().showNormal();
    QTRY_COMPARE(rig.log.only("notice:Com Port Error").size(), 1);
    QVERIFY(rig.log.only("notice:").value(0).contains("/dev/fake1 was lost"));
}

// Each notification replaces the last: the service is asked with the number
// it gave the one before. With no service and no icon to show a balloon, the
// message goes back to the window.
void tst_Tray::notificationsReplaceTheLast()
{
    PrivateSessionBus privateBus;
    QVERIFY2(privateBus.start(), "dbus-daemon is needed: apt-get install dbus-daemon");
    qputenv("DBUS_SESSION_BUS_ADDRESS", privateBus.address().toLocal8Bit());
    QtNotifyIcon icon{ QIcon() };
    QStringList turnedAway;
    icon.setUndeliveredHandler(
            [&turnedAway](const QString &title, const QString &) { turnedAway << title; });
    QVERIFY(icon.showMessage("Com Port Error", "gone"));
    QTRY_COMPARE(turnedAway, QStringList{ "Com Port Error" });

    NotificationService service;
    QVERIFY(service.serveOn(privateBus.connection()));
    QVERIFY(icon.showMessage("Com Port Error", "lost"));
    QTRY_COMPARE(service.replaced.size(), 1);
    QTest::qWait(100); // the answer, 41, comes back
    QVERIFY(icon.showMessage("Wendrel", "back"));
    QTRY_COMPARE(service.replaced, (QList<uint>{ 0, 41 }));
    QCOMPARE(turnedAway.size(), 1);
}

QTEST_MAIN(tst_Tray)
#include "tst_tray.moc"

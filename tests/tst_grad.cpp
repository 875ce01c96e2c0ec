// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// The gradient painter against a recording target, and the notification-icon
// record in its 88-byte form.

#include "engine/runtimeerror.h"
#include "grad/grad.h"

#include <QTest>

struct Box
{
    Integer x1, y1, x2, y2;
    Long colour;
};

class RecordingTarget : public DrawTarget
{
public:
    RecordingTarget(float height, float width) : m_height(height), m_width(width) { }
    float Height() const override
    {
        ++heightReads;
        return m_height;
    }
    float Width() const override
    {
        ++widthReads;
        return m_width;
    }
    void Line(Integer option, Integer x1, Integer y1, Integer x2, Integer y2, Long colour) override
    {
        QCOMPARE(option, Grad::FilledBox);
        boxes.push_back({ x1, y1, x2, y2, colour });
    }

    mutable int heightReads = 0;
    mutable int widthReads = 0;
    std::vector<Box> boxes;

private:
    float m_height;
    float m_width;
};

static Long rgb(int r, int g, int b)
{
    return r + 256 * g + 65536 * b;
}

class tst_Grad : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void bandColours_data();
    void bandColours();
    void downwardsFromTheTop();
    void upwardsFromTheBottom_data();
    void upwardsFromTheBottom();
    void colourArgumentsEndAtZero();
    void tooTallRaisesOverflow();
    void recordAfterLoad();
    void recordAsBytes();
    void recordRoundTrip();
};

void tst_Grad::bandColours_data()
{
    QTest::addColumn<int>("band");
    QTest::addColumn<Long>("colour");
    QTest::newRow("1") << 1 << Long(12583154);
    QTest::newRow("2") << 2 << Long(12321006);
    QTest::newRow("20") << 20 << rgb(242 - 76, 0, 192 - 76);
    QTest::newRow("48") << 48 << Long(262198);
    QTest::newRow("49") << 49 << Long(50);
    QTest::newRow("54") << 54 << rgb(30, 0, 0);
    QTest::newRow("61") << 61 << Long(2);
    QTest::newRow("62") << 62 << Long(0);
    QTest::newRow("63") << 63 << Long(0);
}

void tst_Grad::bandColours()
{
    QFETCH(int, band);
    QFETCH(Long, colour);
    RecordingTarget target(2565, 4815);
    Long red = 242, green = 0, blue = 192;
    Integer direction = Grad::True;
    Grad::PaintGradient(target, red, green, blue, direction);
    QCOMPARE(int(target.boxes.size()), 63);
    QCOMPARE(target.boxes[band - 1].colour, colour);
}

// The window's own call: 2565 twips tall outside gives 41-twip bands reaching 2583.
void tst_Grad::downwardsFromTheTop()
{
    RecordingTarget target(2565, 4815);
    Long red = 242, green = 0, blue = 192;
    Integer direction = Grad::True;
    Grad::PaintGradient(target, red, green, blue, direction);
    QCOMPARE(target.widthReads, 1); // the right edge is read once
    const Box &first = target.boxes.front();
    QCOMPARE(QList<int>({ first.x1, first.y1, first.x2, first.y2 }),
             QList<int>({ 0, 0, 4815, 41 }));
    QCOMPARE(first.colour, Long(0xC000F2));
    const Box &last = target.boxes.back();
    QCOMPARE(QList<int>({ last.y1, last.y2 }), QList<int>({ 62 * 41, 63 * 41 }));
    QCOMPARE(last.y2, Integer(2583));
    for (size_t i = 1; i < target.boxes.size(); ++i) {
        QCOMPARE(target.boxes[i].y1, target.boxes[i - 1].y2); // neighbours share an edge
        QCOMPARE(target.boxes[i].x2, Integer(4815));
    }
    // The lowest band that still shows in a 2190-twip drawing area.
    int lowestVisible = 0;
    for (size_t i = 0; i < target.boxes.size(); ++i)
        if (target.boxes[i].y1 < 2190)
            lowestVisible = int(i) + 1;
    QCOMPARE(lowestVisible, 54);
}

void tst_Grad::upwardsFromTheBottom_data()
{
    QTest::addColumn<Integer>("direction");
    QTest::newRow("1") << Integer(1);
    QTest::newRow("0") << Integer(0);
}

void tst_Grad::upwardsFromTheBottom()
{
    QFETCH(Integer, direction);
    RecordingTarget target(2565, 4815);
    Long red = 242, green = 0, blue = 192;
    Grad::PaintGradient(target, red, green, blue, direction);
    QCOMPARE(target.boxes.front().y1, Integer(2565 - 41));
    QCOMPARE(target.boxes.front().y2, Integer(2565));
    for (size_t i = 1; i < target.boxes.size(); ++i)
        QCOMPARE(target.boxes[i].y1, Integer(target.boxes[i - 1].y1 - 41));
    QCOMPARE(target.boxes.front().colour, Long(0xC000F2));
}

void tst_Grad::colourArgumentsEndAtZero()
{
    RecordingTarget target(2565, 4815);
    Long red = 242, green = 0, blue = 192;
    Integer direction = Grad::True;
    Grad::PaintGradient(target, red, green, blue, direction);
    QCOMPARE(QList<Long>({ red, green, blue }), QList<Long>({ 0, 0, 0 }));
    for (const Box &box : target.boxes) {
        QCOMPARE((box.colour >> 8) & 0xff, 0); // green stays 0
        QVERIFY(box.colour >= 0);
    }
}

void tst_Grad::tooTallRaisesOverflow()
{
    RecordingTarget target(40000, 4815);
    Long red = 242, green = 0, blue = 192;
    Integer direction = Grad::True;
    QVERIFY_THROWS_EXCEPTION(RuntimeError,
                             Grad::PaintGradient(target, red, green, blue, direction));
}

void tst_Grad::recordAfterLoad()
{
    NotifyIconRecord record;
    Grad::fillTrayIconData(record, 0x1234567, 0x0ABCDEF);
    QCOMPARE(record.cbSize, 88);
    QCOMPARE(record.hWnd, 0x1234567);
    QCOMPARE(record.uID, 0x0ABCDEF);
    QCOMPARE(record.hIcon, 0x0ABCDEF);
    QCOMPARE(record.uFlags, 7);
    QCOMPARE(record.uCallbackMessage, 512);
    QCOMPARE(record.szTip.size(), 64);
    QCOMPARE(record.szTip, QStringLiteral("Wendrel") + QChar(0) + QString(56, u' '));
}

void tst_Grad::recordAsBytes()
{
    NotifyIconRecord record;
    Grad::fillTrayIconData(record, 0x01020304, -2);
    const QByteArray bytes = record.toBytes();
    QCOMPARE(bytes.size(), 88);
    QCOMPARE(bytes.left(4), QByteArray::fromHex("58000000"));   // cbSize 88 first
    QCOMPARE(bytes.mid(4, 4), QByteArray::fromHex("04030201")); // hWnd, little-endian
    QCOMPARE(bytes.mid(8, 4), QByteArray::fromHex("feffffff")); // uID
    QCOMPARE(bytes.mid(12, 4), QByteArray::fromHex("07000000"));
    QCOMPARE(bytes.mid(16, 4), QByteArray::fromHex("00020000"));
    QCOMPARE(bytes.mid(20, 4), QByteArray::fromHex("feffffff")); // hIcon
    QCOMPARE(bytes.mid(24, 8), QByteArray("Wendrel\0", 8));
    QCOMPARE(bytes.mid(32), QByteArray(56, ' '));
}

void tst_Grad::recordRoundTrip()
{
    NotifyIconRecord record;
    Grad::fillTrayIconData(record, 77, 99);
    const NotifyIconRecord back = NotifyIconRecord::fromBytes(record.toBytes());
    QCOMPARE(back.toBytes(), record.toBytes());
    QCOMPARE(back.szTip, record.szTip);
    QCOMPARE(back.hIcon, 99);
}

QTEST_APPLESS_MAIN(tst_Grad)
#include "tst_grad.moc"

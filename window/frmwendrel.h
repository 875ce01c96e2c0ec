// frmWendrel, the program's one window: its controls, its state record and all
// fourteen event handlers. Qt events reach the handlers through dispatch(), which
// turns a run-time error nobody caught into the standard error box and the end.
//
//   frmWendrel ── Controls (buttons, text boxes, ReversedScrollBar, lamps, timers)
//              ├─ WindowState (the record the handlers share)
//              └─ Platform (SerialComm = MSComm1, TickCount, MessageBox, Beep,
//                           NotifyIcon, Lifetime)
#pragma once

#include "pacer.h"
#include "seams.h"
#include "windowstate.h"

#include "platform/checked.h"
#include "platform/commandline.h"

#include <QColor>
#include <QList>
#include <QPixmap>
#include <QRect>
#include <QTimer>
#include <QString>
#include <QWidget>

#include <array>
#include <memory>
#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class ReversedScrollBar;
struct PortRowTwips;
class RuntimeError;
class SerialError;
class SerialComm;

// A rectangle frame drawn with a 2-pixel border and no fill; it takes no clicks.
class ShapeBox : public QWidget
{
public:
    explicit ShapeBox(QWidget *parent);

protected:
    void paintEvent(QPaintEvent *event) override;
};

class frmWendrel : public QWidget
{
public:
    struct Controls
    {
        QPushButton *Command1 = nullptr; // E&xit
        QPushButton *Command2 = nullptr; // St&art / S&top / &Start
        QPushButton *Command3 = nullptr; // &1
        QPushButton *Command4 = nullptr; // &2
        QPushButton *Command5 = nullptr; // &Hide
        QLineEdit *Text1 = nullptr;
        QLineEdit *Text2 = nullptr;
        QLineEdit *Text3 = nullptr;
        ReversedScrollBar *VScroll1 = nullptr; // hours 0..24
        ReversedScrollBar *VScroll2 = nullptr; // minutes 0..59
        ReversedScrollBar *VScroll3 = nullptr; // seconds 0..59
        QLabel *Label1 = nullptr;
        QLabel *Label2 = nullptr;
        QLabel *Label3 = nullptr;
        QLabel *Label4 = nullptr;
        QLabel *Label5 = nullptr;
        QLabel *Label6 = nullptr;
        ShapeBox *Shape1 = nullptr;
        ShapeBox *Shape2 = nullptr;
        QTimer *Timer1 = nullptr; // countdown and ping, 250 ms
        QTimer *Timer2 = nullptr; // lamp chaser, 100 ms
        QCheckBox *chkSound = nullptr;
        QLabel *Com1 = nullptr;
        QLabel *Com2 = nullptr;
        QLabel *LightOn = nullptr;
        QLabel *LightOff = nullptr;
        std::array<QLabel *, 12> Image1{};
    };

    explicit frmWendrel(const Platform &platform);
    ~frmWendrel() override;

    const Controls &controls() const { return m_controls; }
    const WindowState &state() const { return m_state; }
    WindowState &state() { return m_state; }
    // True once the program has ended (Exit, a close, or a fatal error):
    // no handler runs any more.
    bool hasEnded() const { return m_ended; }

    static inline const QString Caption = QStringLiteral("Wendrel");

    // The client area in twips and the window's twips per screen pixel.
    static constexpr int ClientWidthTwips = 4725;
    static constexpr int ClientHeightTwips = 2190;
    float TwipsPerPixelX() const;
    float TwipsPerPixelY() const;

    // chkSound's value: 0 unchecked, 1 checked, 2 grayed.
    Integer chkSoundValue() const;

    // The event handlers.
    void Form_Load();
    void Form_Resize();
    void Form_MouseMove(Integer button, Integer shift, float x, float y);
    void Form_QueryUnload(Integer &cancel, Integer unloadMode);
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void VScroll1_Change();
    void VScroll2_Change();
    void VScroll3_Change();
    void Timer1_Timer();
    void Timer2_Timer();

    // Runs a handler as the event loop would: skipped once the program has
    // ended, and an error it does not catch ends the program.
    template<typename Handler>
    void dispatch(Handler &&handler);

    // A run whose device fails (unplugged, hung up, a write error) does not
    // end: it waits for the device, trying to open it again every second, and
    // pings at once when it is back. Stop ends the wait as it ends any run.
    void portLost(const SerialError &error);
    void retryLostPort();

    // What the command line asks for at start (an interval, a port, Audible,
    // Start, Hide), done after the load through the handlers a user's actions
    // run. A run started this way waits for a device that is not there yet.
    void applyStartOptions(const StartOptions &options);
    Pacer &pacer() { return *m_pacer; }
    bool isWaitingForDevice() const
    {
        return m_reconnectTimer != nullptr && m_reconnectTimer->isActive();
    }
    static constexpr int ReconnectPeriodMs = 1000;
    // A device lost again within this time of coming back is not told again,
    // nor one that has stayed away for less than this since an untold loss.
    static constexpr Long QuietAfterReturnMs = 60000;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    class Canvas;

    void createPortGroup();
    void createPortRow(int port, const PortRowTwips &at, ShapeBox *&frame, QPushButton *&button,
                       QLabel *&label, QLabel *&lamp);
    void createButtonColumn();
    void createIntervalRow();
    void createSoundOption();
    void createLamps();
    void createTimers();
    void setTabOrder();
    void connectHandlers();
    QRect place(int left, int top, int width, int height) const;
    void centreOnScreen();
    void paintBackground();
    QRect screenPart() const;

    void startPinging();
    void stopPinging();
    void returnToIdleAfterFailedStart(const QString &captionBefore);
    void reportPortError(const RuntimeError &error, bool starting, const QString &captionBefore);
    bool sendCarriageReturn();
    void showCountdown();
    void endWaitForDevice();
    void tellLoss();
    void waitForDeviceAtStart(const SerialError &error);
    void waitFor(const QString &device, const QString &reached, const QString &message);
    void lockSettings(bool locked);
    void setStartAtLogin(bool on);
    void tellSelectedPort(Integer port);
    void describeTimeBoxes(bool countingDown);
    QString portDevice() const;
    bool isOnScreen() const;
    QLabel *rowLamp(Integer index) const;
    void light(QLabel *lamp);
    void darken(QLabel *lamp);
    void callShell(std::int32_t message);
    void onTrayMouse(std::int32_t mouseMessage);
    void choosePortDevice(Integer port, const QPoint &where);
    void endNow(int status);
    void raiseFatal(const RuntimeError &error);

    Controls m_controls;
    WindowState m_state;
    const Platform m_platform;
    struct Band
    {
        QRect rect;
        QColor colour;
    };
    QList<Band> m_bands;      // the last gradient painted, in the order painted
    QSize m_paintedOuterSize; // the outer size the background was painted for
    bool m_centredInFrame = false;
    std::unique_ptr<Pacer> m_pacer;
    QTimer *m_reconnectTimer = nullptr;
    QString m_lostDevice;
    QString m_lostReached; // the system device the run reached before the loss
    QString m_lostMessage;
    bool m_lossTold = false;        // the user was told of the present loss
    bool m_unattendedStart = false; // Start pressed by the command line
    int m_untoldRetries = 0;
    std::optional<Long> m_lastReturnTick;
    bool m_ended = false;
};

#include "platform/runtimeerror.h"

template<typename Handler>
void frmWendrel::dispatch(Handler &&handler)
{
    if (m_ended)
        return;
    try {
        handler();
    } catch (const RuntimeError &error) {
        raiseFatal(error);
    }
}

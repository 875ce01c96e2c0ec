#include "messagebox.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QScreen>

#include <algorithm>

#include <canberra.h>

#include <condition_variable>
#include <mutex>
#include <thread>

QtMessageBox::~QtMessageBox()
{
    delete m_notice.data();
}

// A hidden window cannot own a visible box, so a box raised while the window
// sits in the tray stands on its own.
QWidget *QtMessageBox::visibleParent() const
{
    return (m_window && m_window->isVisible()) ? m_window.data() : nullptr;
}

void QtMessageBox::show(const QString &text, const QString &title)
{
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, visibleParent());
    box.exec();
}

// Not modal: the window's Stop stays within reach while the notice stands.
void QtMessageBox::showNotice(const QString &text, const QString &title)
{
    if (!m_notice) {
        m_notice = new QMessageBox(QMessageBox::NoIcon, title, text, QMessageBox::Ok,
                                   visibleParent());
        m_notice->setAttribute(Qt::WA_DeleteOnClose);
        m_notice->setWindowModality(Qt::NonModal);
    }
    m_notice->setWindowTitle(title);
    m_notice->setText(text);
    m_notice->show();
    placeBesideWindow();
    m_notice->raise();
    m_notice->activateWindow();
}

// Centred on the window, a notice would hide the Stop it tells the user of:
// it stands below the window, or above it where the screen ends first.
void QtMessageBox::placeBesideWindow()
{
    if (!m_window || !m_window->isVisible() || !m_window->screen())
        return;
    const QRect window = m_window->frameGeometry();
    const QRect screen = m_window->screen()->availableGeometry();
    const QSize box = m_notice->frameGeometry().size();
    const int gap = 8;
    const int left = std::clamp(window.center().x() - box.width() / 2, screen.left(),
                                std::max(screen.left(), screen.right() + 1 - box.width()));
    int top = window.bottom() + 1 + gap;
    if (top + box.height() > screen.bottom() + 1)
        top = std::max(screen.top(), window.top() - gap - box.height());
    m_notice->move(left, top);
}

void QtMessageBox::closeNotice()
{
    if (m_notice)
        m_notice->close();
}

// The worker outlives the beep object when it is stuck in the sound server at
// the end of the program: nobody waits for it, and the process ends around it.
struct QtBeep::Worker
{
    std::mutex mutex;
    std::condition_variable wanted;
    bool pending = false; // a sound asked for and not yet played
    bool busy = false;    // asked for or playing
    bool stopping = false;
    ca_context *sounds = nullptr;

    void run()
    {
        for (;;) {
            {
                std::unique_lock<std::mutex> lock(mutex);
                wanted.wait(lock, [this] { return pending || stopping; });
                if (stopping)
                    break;
                pending = false;
            }
            const bool played = play();
            std::lock_guard<std::mutex> lock(mutex);
            busy = false;
            // The toolkit's beep belongs to the user-interface thread.
            if (!played && !stopping && qApp)
                QMetaObject::invokeMethod(
                        qApp, [] { QApplication::beep(); }, Qt::QueuedConnection);
        }
        if (sounds)
            ca_context_destroy(sounds);
    }

    // Playing starts in the sound server's own time; only a refusal comes back here.
    bool play()
    {
        if (!sounds && ca_context_create(&sounds) == CA_SUCCESS) {
            ca_context_change_props(sounds, CA_PROP_APPLICATION_NAME, name.constData(),
                                    CA_PROP_APPLICATION_ID, id.constData(), nullptr);
        }
        return sounds
                && ca_context_play(sounds, 0, CA_PROP_EVENT_ID, "bell", CA_PROP_EVENT_DESCRIPTION,
                                   "Camera pinged", nullptr)
                == CA_SUCCESS;
    }

    QByteArray name = QGuiApplication::applicationName().toUtf8();
    QByteArray id = QGuiApplication::desktopFileName().toUtf8();
    std::thread thread;
};

QtBeep::QtBeep() = default;

QtBeep::~QtBeep()
{
    if (!m_worker)
        return;
    {
        std::lock_guard<std::mutex> lock(m_worker->mutex);
        m_worker->stopping = true;
    }
    m_worker->wanted.notify_one();
    // An idle worker ends at once; one held by a stuck sound server is left to
    // the end of the process, which never waits for a sound.
    bool idle = false;
    {
        std::lock_guard<std::mutex> lock(m_worker->mutex);
        idle = !m_worker->busy;
    }
    if (idle)
        m_worker->thread.join();
    else
        m_worker->thread.detach();
}

void QtBeep::beep()
{
    if (!m_worker) {
        m_worker = std::make_shared<Worker>();
        m_worker->thread = std::thread([worker = m_worker] { worker->run(); });
    }
    {
        std::lock_guard<std::mutex> lock(m_worker->mutex);
        if (m_worker->busy)
            return;
        m_worker->busy = true;
        m_worker->pending = true;
    }
    m_worker->wanted.notify_one();
}

bool QtBeep::isBusy() const
{
    if (!m_worker)
        return false;
    std::lock_guard<std::mutex> lock(m_worker->mutex);
    return m_worker->busy;
}

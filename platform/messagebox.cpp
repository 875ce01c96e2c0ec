#include "messagebox.h"

#include <QApplication>
#include <QMessageBox>

#include <canberra.h>

void QtMessageBox::show(const QString &text, const QString &title)
{
    // A hidden window cannot own a visible box, so a box raised while the window
    // sits in the tray stands on its own.
    QWidget *parent = (m_window && m_window->isVisible()) ? m_window.data() : nullptr;
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
    box.exec();
}

QtBeep::~QtBeep()
{
    if (m_sounds)
        ca_context_destroy(m_sounds);
}

void QtBeep::beep()
{
    if (!m_sounds && ca_context_create(&m_sounds) == CA_SUCCESS) {
        const QByteArray name = QGuiApplication::applicationName().toUtf8();
        const QByteArray id = QGuiApplication::desktopFileName().toUtf8();
        ca_context_change_props(m_sounds, CA_PROP_APPLICATION_NAME, name.constData(),
                                CA_PROP_APPLICATION_ID, id.constData(), nullptr);
    }
    // Playing starts in the sound server's own time; only a refusal comes back here.
    if (m_sounds
        && ca_context_play(m_sounds, 0, CA_PROP_EVENT_ID, "bell", CA_PROP_EVENT_DESCRIPTION,
                           "Camera pinged", nullptr)
                == CA_SUCCESS)
        return;
    QApplication::beep();
}

#include "messagebox.h"

#include <QApplication>
#include <QMessageBox>

void QtMessageBox::show(const QString &text, const QString &title)
{
    // A hidden window cannot own a visible box, so a box raised while the window
    // sits in the tray stands on its own.
    QWidget *parent = (m_window && m_window->isVisible()) ? m_window.data() : nullptr;
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
    box.exec();
}

void QtBeep::beep()
{
    QApplication::beep();
}

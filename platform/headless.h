// With no display at all (a service on a rig nobody sits at), what would be a
// box or a desktop notification is a line on standard error, and nothing
// hides or minimises.
#pragma once

#include "messagebox.h"
#include "notifyicon.h"

class StandardErrorMessages : public MessageBox
{
public:
    void show(const QString &text, const QString &title) override;
    void showNotice(const QString &text, const QString &title) override;
    void closeNotice() override { }
};

class NoNotificationArea : public NotifyIcon
{
public:
    std::int32_t Shell_NotifyIconA(std::int32_t, QByteArray &) override { return 0; }
    bool available() const override { return false; }
    bool canMinimise() const override { return false; }
    bool showMessage(const QString &title, const QString &text) override;
    void setMouseHandler(MouseHandler) override { }
};

#include "headless.h"

#include <cstdio>

// One line each: "Com Port Error: The connection to ... was lost (...)".
static void say(const QString &title, const QString &text)
{
    QString line = text;
    line.replace(QStringLiteral("\n\n"), QStringLiteral(" ")).replace(QLatin1Char('\n'), u' ');
    std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(line));
    std::fflush(stderr);
}

void StandardErrorMessages::show(const QString &text, const QString &title)
{
    say(title, text);
}

void StandardErrorMessages::showNotice(const QString &text, const QString &title)
{
    say(title, text);
}

bool NoNotificationArea::showMessage(const QString &title, const QString &text)
{
    say(title, text);
    return true;
}

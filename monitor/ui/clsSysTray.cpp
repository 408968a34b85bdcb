#include "monitor/ui/clsSysTray.h"

#include <QCursor>
#include <QMenu>
#include <QWidget>

clsSysTray::clsSysTray(QObject* parent) : QObject(parent)
{
    connect(&m_icon, &QSystemTrayIcon::activated, this, &clsSysTray::activated);
}

clsSysTray::~clsSysTray()
{
    RemoveFromSysTray();
}

void clsSysTray::setSourceWindow(QWidget* window)
{
    m_window = window;
    if (window)
        m_icon.setIcon(window->windowIcon());
}

bool clsSysTray::trayAvailable()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void clsSysTray::MinToSysTray()
{
    if (!m_window)
        return;
    if (!trayAvailable()) {
        // Hiding the window with no icon to bring it back would lose it: leave it minimised on the task bar.
        if (!m_window->isMinimized())
            m_window->showMinimized();
        return;
    }
    m_icon.setIcon(m_window->windowIcon());
    if (m_icon.toolTip().isEmpty())
        m_icon.setToolTip(m_window->windowTitle());
    m_icon.show();
    m_window->hide();
}

void clsSysTray::ShowNormal()
{
    if (m_window) {
        m_window->showNormal();
        m_window->raise();
        m_window->activateWindow();
    }
    RemoveFromSysTray();
}

void clsSysTray::RemoveFromSysTray()
{
    m_icon.hide();
}

void clsSysTray::ChangeIcon(const QIcon& icon)
{
    m_icon.setIcon(icon);
}

void clsSysTray::ChangeToolTip(const QString& text)
{
    m_icon.setToolTip(text);
}

void clsSysTray::activated(QSystemTrayIcon::ActivationReason reason)
{
    // The desktop reports clicks, double-clicks and the context request; the button-up halves are not reported
    // separately, so they follow their button-down.
    switch (reason) {
    case QSystemTrayIcon::DoubleClick:
        if (DefaultDblClk)
            ShowNormal();
        emit LButtonDblClk();
        break;
    case QSystemTrayIcon::Trigger:
        emit LButtonDown();
        emit LButtonUp();
        break;
    case QSystemTrayIcon::Context:
        emit RButtonDown();
        if (m_menu)
            m_menu->popup(QCursor::pos());
        emit RButtonUp();
        break;
    case QSystemTrayIcon::MiddleClick:
    case QSystemTrayIcon::Unknown:
        break;
    }
}

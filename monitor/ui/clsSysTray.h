#pragma once

#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QWidget>

// The notification-area icon of a window. Minimising sends the window to the tray; a double-click (when
// DefaultDblClk is on) or ShowNormal brings it back. Where the desktop has no tray, the window is never hidden, so
// it always stays reachable.
class clsSysTray : public QObject {
    Q_OBJECT
public:
    explicit clsSysTray(QObject* parent = nullptr);
    ~clsSysTray() override;

    void setSourceWindow(QWidget* window);
    QWidget* SourceWindow() const { return m_window; }
    bool DefaultDblClk = false;

    // True when the desktop shows tray icons; without one MinToSysTray leaves the window minimised on the task bar.
    static bool trayAvailable();

    void MinToSysTray();
    void ShowNormal();
    void RemoveFromSysTray();
    void ChangeIcon(const QIcon& icon);
    void ChangeToolTip(const QString& text);
    // The menu shown when the right button goes down on the icon.
    void setPopupMenu(QMenu* menu) { m_menu = menu; }

    bool isInTray() const { return m_icon.isVisible(); }
    QSystemTrayIcon& icon() { return m_icon; }

signals:
    void LButtonDblClk();
    void LButtonDown();
    void LButtonUp();
    void RButtonDblClk();
    void RButtonDown();
    void RButtonUp();

private:
    void activated(QSystemTrayIcon::ActivationReason reason);

    QSystemTrayIcon m_icon;
    QPointer<QWidget> m_window;
    QPointer<QMenu> m_menu;
};

#include "shell/AboutBox.h"

#include "TavrikVersion.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

QStringList AboutBox::systemInfoTools()
{
    return {QStringLiteral("gnome-system-monitor"), QStringLiteral("hardinfo"), QStringLiteral("kinfocenter"),
            QStringLiteral("xfce4-taskmanager"),    QStringLiteral("lxtask"),   QStringLiteral("mate-system-monitor")};
}

QString AboutBox::findSystemInfoTool()
{
    for (const QString& tool : systemInfoTools()) {
        const QString path = QStandardPaths::findExecutable(tool);
        if (!path.isEmpty())
            return path;
    }
    return {};
}

AboutBox::AboutBox(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About " TAVRIK_PRODUCT));
    auto* name = new QLabel(QStringLiteral("<h2>" TAVRIK_PRODUCT "</h2>"), this);
    auto* version = new QLabel(QStringLiteral("Version " TAVRIK_VERSION "<br>" TAVRIK_LEGAL), this);
    version->setObjectName(QStringLiteral("lblVersion"));
    auto* link = new QLabel(QStringLiteral("<a href=\"" TAVRIK_HOMEPAGE "\">" TAVRIK_HOMEPAGE "</a>"), this);
    link->setObjectName(QStringLiteral("lblLink"));
    link->setOpenExternalLinks(true);
    link->setTextInteractionFlags(Qt::TextBrowserInteraction);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    QPushButton* info = buttons->addButton(QStringLiteral("&System Info..."), QDialogButtonBox::ActionRole);
    info->setObjectName(QStringLiteral("cmdSysInfo"));
    const QString tool = findSystemInfoTool();
    info->setEnabled(!tool.isEmpty());
    info->setToolTip(tool.isEmpty() ? QStringLiteral("No system information tool is installed") : tool);
    connect(info, &QPushButton::clicked, this, [tool] { QProcess::startDetached(tool, {}); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(name);
    layout->addWidget(version);
    layout->addWidget(link);
    layout->addWidget(buttons);
}

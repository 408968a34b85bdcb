#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

// The program's icon resources by name: "A_" (the normal icon), "YELLOW" (probe under way), "RED" (failure) and the
// colour-scale names "SALAT" … "DARKRED". Each name has a distinct colour; unknown names give the normal icon.
QIcon statusIcon(const QString& name);
QColor statusIconColor(const QString& name);

// The mode pictures "PING" and "TRACE".
QPixmap modePicture(const QString& name);

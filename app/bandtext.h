#pragma once

#include "widgets/widgets.h"

#include <QLabel>

namespace app {

// The product's name and purpose, as the main window's header and the About window show them.
inline const QString kProductName = QStringLiteral("VelTor");
inline const QString kProductPurpose =
    QStringLiteral("введение домашней бухгалтерии\nучёт прихода денежных средств и их расход");

// A text on a white band, in Tahoma of the size given.
inline QLabel *bandText(QWidget *band, const char *name, const QString &text, int pointSize)
{
    auto *label = new QLabel(text, band);
    label->setObjectName(QLatin1String(name));
    label->setFont(ui::tahoma(pointSize));
    return label;
}

} // namespace app

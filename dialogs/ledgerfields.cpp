#include "ledgerfields.h"

#include "widgets/dialogframe.h"
#include "widgets/widgets.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace dialogs {

LedgerFields makeLedgerFields(QWidget *container, bool tooltips)
{
    LedgerFields fields;
    fields.file = new QLineEdit(container);
    fields.file->setObjectName(QStringLiteral("Edit2"));
    fields.browse = ui::browseButton(container, tooltips);
    fields.password = new QLineEdit(container);
    fields.password->setObjectName(QStringLiteral("Edit1"));
    ui::makePasswordField(fields.password);
    fields.password->setMaxLength(15);
    fields.description = new QLineEdit(container);
    fields.description->setObjectName(QStringLiteral("Edit3"));
    fields.description->setMaxLength(25);

    fields.grid = new QGridLayout;
    // These fields are named for screen readers by their whole caption, colon and all.
    const auto addRow = [&](int row, const QString &caption, QLineEdit *field) {
        ui::addLabelledField(fields.grid, row, caption, field, Qt::Alignment(), caption);
    };
    addRow(0, QStringLiteral("База данных:"), fields.file);
    fields.grid->addWidget(fields.browse, 0, 2);
    addRow(1, QStringLiteral("Пароль:"), fields.password);
    fields.grid->addWidget(new QLabel(QStringLiteral("(на открытие базы данных)"), container), 1, 2);
    addRow(2, QStringLiteral("Описание:"), fields.description);
    fields.grid->setColumnStretch(1, 1);
    return fields;
}

} // namespace dialogs

#include "restoredialog.h"

#include "widgets/messages.h"
#include "ledger/regional.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace app {

namespace {

using ledger::backup::Copy;
using ledger::backup::Kind;

QString kindText(Kind kind)
{
    switch (kind) {
    case Kind::Daily:
        return QStringLiteral("ежедневная");
    case Kind::BeforeUpgrade:
        return QStringLiteral("перед обновлением");
    case Kind::BeforeConversion:
        return QStringLiteral("перед преобразованием");
    case Kind::BeforeRestore:
        return QStringLiteral("перед восстановлением");
    case Kind::BeforeRepair:
        return QStringLiteral("перед исправлением");
    }
    return {};
}

} // namespace

QString RestoreDialog::takenText(const Copy &copy)
{
    if (copy.kind == Kind::Daily)
        return regional::shortDate(copy.taken.date());
    return regional::dateTimeText(copy.taken);
}

QString RestoreDialog::sizeText(qint64 bytes)
{
    const QString comma = QString(regional::kDecimalSeparator);
    if (bytes < 1024)
        return QStringLiteral("%1 байт").arg(bytes);
    if (bytes < 1024 * 1024)
        return QStringLiteral("%1 КБ").arg(QString::number(bytes / 1024.0, 'f', 0));
    return QStringLiteral("%1 МБ").arg(QString::number(bytes / (1024.0 * 1024.0), 'f', 1).replace(QLatin1Char('.'), comma));
}

RestoreDialog::RestoreDialog(const QString &ledgerPath, const QList<Copy> &copies, QWidget *parent)
    : QDialog(parent)
    , m_copies(copies)
{
    setObjectName(QStringLiteral("RestoreDialog"));
    setWindowTitle(QStringLiteral("Восстановление из копии"));
    resize(520, 340);

    auto *label = new QLabel(copies.isEmpty()
                                 ? QStringLiteral("У базы данных «%1» ещё нет резервных копий.")
                                       .arg(QDir::toNativeSeparators(ledgerPath))
                                 : QStringLiteral("Резервные копии базы данных «%1»:").arg(QDir::toNativeSeparators(ledgerPath)),
                             this);
    label->setObjectName(QStringLiteral("BackupLabel"));
    label->setWordWrap(true);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("BackupList"));
    m_list->setRootIsDecorated(false);
    m_list->setAllColumnsShowFocus(true);
    m_list->setHeaderLabels({QStringLiteral("Дата"), QStringLiteral("Записей"), QStringLiteral("Размер"),
                             QStringLiteral("Копия")});
    for (const Copy &copy : copies) {
        auto *item = new QTreeWidgetItem(m_list);
        item->setText(0, takenText(copy));
        item->setText(1, copy.entries < 0 ? QStringLiteral("не читается") : QString::number(copy.entries));
        item->setText(2, sizeText(copy.size));
        // A copy of the earlier naming may be another ledger's of this file name.
        item->setText(3, copy.owner == ledger::backup::Owner::This ? kindText(copy.kind)
                                                                    : kindText(copy.kind) + QStringLiteral(", без пути базы"));
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        item->setToolTip(0, QDir::toNativeSeparators(copy.path));
        if (copy.entries < 0)
            item->setFlags(item->flags() & ~Qt::ItemIsEnabled);
    }
    m_list->header()->resizeSection(0, 150);
    m_list->header()->resizeSection(1, 80);
    m_list->header()->resizeSection(2, 90);

    auto *buttons = new QDialogButtonBox(this);
    m_restore = buttons->addButton(QStringLiteral("Восстановить"), QDialogButtonBox::AcceptRole);
    m_restore->setObjectName(QStringLiteral("RestoreButton"));
    m_restore->setDefault(true);
    QPushButton *cancel = buttons->addButton(QStringLiteral("Отмена"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("CancelButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, [this] { updateButton(); });
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, [this] {
        if (chosen())
            accept();
    });

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_list, 1);
    layout->addWidget(buttons);
    updateButton();
}

const Copy *RestoreDialog::chosen() const
{
    const QTreeWidgetItem *item = m_list->currentItem();
    if (!item || !item->isSelected() || !(item->flags() & Qt::ItemIsEnabled))
        return nullptr;
    const int row = m_list->indexOfTopLevelItem(const_cast<QTreeWidgetItem *>(item));
    return row >= 0 && row < m_copies.size() ? &m_copies[row] : nullptr;
}

void RestoreDialog::updateButton()
{
    m_restore->setEnabled(chosen() != nullptr);
}

} // namespace app

#include "settingsdialog.h"

#include "settingsstore.h"

#include "app/common/dialogs.h"
#include "app/common/guard.h"
#include "app/common/widgets.h"
#include "ledger/bookkeeping.h"
#include "ledger/dialogs/ledgerfields.h"
#include "ledger/paths.h"
#include "ledger/session.h"

#include <QCheckBox>
#include <QDir>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace app {

SettingsDialog::SettingsDialog(SettingsStore &store, ledger::Session &session, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
    , m_store(store)
    , m_session(session)
{
    setObjectName(QStringLiteral("TForm7"));
    setWindowTitle(QStringLiteral("Настройки"));
    setFixedSize(421, 339);
    // The window's fixed size was laid out for small dialog type; keep the texts that size.
    QFont small = font();
    small.setPixelSize(11);
    setFont(small);

    QWidget *band = ui::headerBand(this, QStringLiteral("settings-band"), QStringLiteral("Настройки программы"),
                                   QStringLiteral("Настройки работы программы, установка пароля на открытие и "
                                                  "описание базы данных"),
                                   72);
    QFrame *line = ui::horizontalLine(this);

    const ledger::LedgerFields fields = ledger::makeLedgerFields(this, true);
    QGridLayout *grid = fields.grid;
    m_file = fields.file;
    m_password = fields.password;
    m_description = fields.description;
    QPushButton *browseButton = fields.browse;

    auto *group = new QGroupBox(QStringLiteral("Интерфейс"), this);
    m_highlight = new QCheckBox(QStringLiteral("Подсвечивать в журнале информацию о доходе"), group);
    m_highlight->setObjectName(QStringLiteral("CheckBox1"));
    m_internet = new QCheckBox(QStringLiteral("Подключаться к Интернет для получения данных о курсе валют"), group);
    m_internet->setObjectName(QStringLiteral("CheckBox2"));
    auto *groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(m_highlight);
    groupLayout->addWidget(m_internet);

    QPushButton *cancel = nullptr;
    QHBoxLayout *buttons = ui::okCancelRow(this, &m_ok, &cancel);

    auto *body = new QVBoxLayout;
    body->setContentsMargins(10, 4, 10, 8);
    body->addLayout(grid);
    body->addWidget(group);
    body->addStretch();
    body->addLayout(buttons);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(band);
    layout->addWidget(line);
    layout->addLayout(body, 1);

    // Where the system's font is wider than the one the window was drawn for, the window
    // grows rather than cut its texts off.
    setFixedSize(qMax(421, sizeHint().width()), 339);

    // Read once, when the dialog is made; after that only the user changes them.
    m_internet->setChecked(m_store.readYesNo(QStringLiteral("inet"), true));
    m_highlight->setChecked(m_store.readYesNo(QStringLiteral("hint"), true));
    m_session.setIncomeHighlight(m_highlight->isChecked());

    connect(m_highlight, &QCheckBox::toggled, this, [this](bool on) { m_session.setIncomeHighlight(on); });
    connect(m_file, &QLineEdit::textChanged, this, [this](const QString &text) { m_ok->setEnabled(!text.isEmpty()); });
    connect(browseButton, &QPushButton::clicked, this, ui::guarded(this, [this] { browse(); }));
    connect(m_ok, &QPushButton::clicked, this, ui::guarded(this, [this] { save(); }));
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void SettingsDialog::setLedgerFields(const QString &path, const std::optional<QString> &password,
                                     const std::optional<QString> &description)
{
    m_file->setText(path);
    if (password)
        m_password->setText(*password);
    if (description)
        m_description->setText(*description);
}

QString SettingsDialog::description() const
{
    return m_description->text();
}

void SettingsDialog::setPasswordAndDescription(const QString &password, const QString &description)
{
    m_password->setText(password);
    m_description->setText(description);
}

void SettingsDialog::browse()
{
    const QString chosen = ui::chooseFile({this, false, QStringLiteral("Файлы базы данных (*.tor)"), QString()});
    if (!chosen.isEmpty())
        m_file->setText(ledger::paths::stripApplicationFolder(QDir::toNativeSeparators(chosen)));
}

void SettingsDialog::save()
{
    m_store.writeText(QStringLiteral("db"), m_file->text());
    m_store.writeYesNo(QStringLiteral("inet"), m_internet->isChecked());
    m_store.writeYesNo(QStringLiteral("hint"), m_highlight->isChecked());
    // With no ledger open there is no header to write into.
    if (m_session.isOpen())
        ledger::writeHeader(m_session.connection(), m_description->text(), m_password->text());
    accept();
}

} // namespace app

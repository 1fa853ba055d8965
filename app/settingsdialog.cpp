#include "settingsdialog.h"

#include "settingsstore.h"

#include "widgets/dialogframe.h"
#include "widgets/dialogs.h"
#include "widgets/guard.h"
#include "widgets/widgets.h"
#include "ledger/bookkeeping.h"
#include "dialogs/ledgerfields.h"
#include "ledger/paths.h"
#include "ledger/session.h"

#include <QCheckBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QValidator>
#include <QVBoxLayout>

namespace app {

// What a header field shows of the ledger, and what the user makes of it. A converted old
// ledger may hold a longer password or description than the field takes: it is shown whole
// and may be shortened or put back as it was, while what the user types is held to the
// field's limit. OK writes a field only when its text differs from what it showed.
class StoredText : public QValidator
{
public:
    StoredText(QLineEdit *field, int limit)
        : QValidator(field)
        , m_field(field)
        , m_limit(limit)
    {
        m_stored = m_previous = field->text();
        connect(field, &QLineEdit::textChanged, this, [this](const QString &text) { m_previous = text; });
        field->setValidator(this);
    }

    void show(const QString &stored)
    {
        m_stored = stored;
        // The field's own limit would cut the value as it is put in.
        m_field->setMaxLength(qMax(m_limit, int(stored.size())));
        m_field->setText(stored);
    }
    bool isChanged() const { return m_field->text() != m_stored; }
    // The field's text is what the ledger now holds.
    void keep() { m_stored = m_field->text(); }

    State validate(QString &input, int &) const override
    {
        return input.size() <= m_limit || input == m_stored || isShortened(input) ? Acceptable : Invalid;
    }

private:
    // The previous text with one stretch taken out of it (Backspace, Delete, a cut).
    bool isShortened(const QString &input) const
    {
        if (input.size() >= m_previous.size())
            return false;
        qsizetype head = 0;
        while (head < input.size() && input.at(head) == m_previous.at(head))
            ++head;
        return QStringView(input).mid(head) == QStringView(m_previous).right(input.size() - head);
    }

    QLineEdit *m_field;
    int m_limit;
    QString m_stored;
    QString m_previous;
};

namespace {
const ui::Header kHeader{QStringLiteral("settings-band"), QStringLiteral("Настройки программы"),
                         QStringLiteral("Настройки работы программы, установка пароля на открытие и описание базы "
                                        "данных"),
                         72};
} // namespace

SettingsDialog::SettingsDialog(SettingsStore &store, ledger::Session &session, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
    , m_store(store)
    , m_session(session)
{
    ui::fixDialog(this, QStringLiteral("TForm7"), QStringLiteral("Настройки"), QSize(421, 339));
    ui::keepSmallText(this);
    QVBoxLayout *body = ui::frameDialog(this, kHeader, {QMargins(), 4, QMargins(10, 4, 10, 8)}).body;

    const dialogs::LedgerFields fields = dialogs::makeLedgerFields(this, true);
    m_file = fields.file;
    m_password = fields.password;
    m_description = fields.description;
    m_storedPassword = new StoredText(m_password, m_password->maxLength());
    m_storedDescription = new StoredText(m_description, m_description->maxLength());
    QPushButton *browseButton = fields.browse;
    body->addLayout(fields.grid);
    body->addWidget(buildInterfaceGroup());
    body->addStretch();
    QPushButton *cancel = nullptr;
    body->addLayout(ui::okCancelRow(this, &m_ok, &cancel));

    // Where the system's font is wider than the one the window was drawn for, the window
    // grows rather than cut its texts off.
    setFixedSize(qMax(421, sizeHint().width()), 339);

    // Read once, when the dialog is made; after that only the user changes them.
    m_internet->setChecked(m_store.internetEnabled());
    m_highlight->setChecked(m_store.incomeHighlight());
    m_session.setIncomeHighlight(m_highlight->isChecked());

    connect(m_highlight, &QCheckBox::toggled, this, [this](bool on) { m_session.setIncomeHighlight(on); });
    connect(m_file, &QLineEdit::textChanged, this, [this](const QString &text) { m_ok->setEnabled(!text.isEmpty()); });
    connect(browseButton, &QPushButton::clicked, this, ui::guarded(this, [this] { browse(); }));
    connect(m_ok, &QPushButton::clicked, this, ui::guarded(this, [this] { save(); }));
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

QGroupBox *SettingsDialog::buildInterfaceGroup()
{
    auto *group = new QGroupBox(QStringLiteral("Интерфейс"), this);
    m_highlight = new QCheckBox(QStringLiteral("Подсвечивать в журнале информацию о доходе"), group);
    m_highlight->setObjectName(QStringLiteral("CheckBox1"));
    m_internet = new QCheckBox(QStringLiteral("Подключаться к Интернет для получения данных о курсе валют"), group);
    m_internet->setObjectName(QStringLiteral("CheckBox2"));
    auto *groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(m_highlight);
    groupLayout->addWidget(m_internet);
    return group;
}

void SettingsDialog::setLedgerFields(const QString &path, const std::optional<QString> &password,
                                     const std::optional<QString> &description)
{
    m_file->setText(path);
    if (password)
        m_storedPassword->show(*password);
    if (description)
        m_storedDescription->show(*description);
}

QString SettingsDialog::description() const
{
    return m_description->text();
}

void SettingsDialog::setPasswordAndDescription(const QString &password, const QString &description)
{
    m_storedPassword->show(password);
    m_storedDescription->show(description);
}

void SettingsDialog::browse()
{
    const QString chosen = ui::chooseFile({this, false, QStringLiteral("Файлы базы данных (*.tor)"), QString(), true});
    if (!chosen.isEmpty())
        m_file->setText(ledger::paths::stripApplicationFolder(QDir::toNativeSeparators(chosen)));
}

void SettingsDialog::save()
{
    m_store.setLedgerPath(m_file->text());
    m_store.setInternetEnabled(m_internet->isChecked());
    m_store.setIncomeHighlight(m_highlight->isChecked());
    // With no ledger open there is no header to write into. What the user left as shown
    // is not written back: a field that kept another ledger's value (this one's is NULL)
    // stays out of this ledger.
    if (m_session.isOpen()) {
        const auto changed = [](StoredText *stored, QLineEdit *field) {
            return stored->isChanged() ? std::optional<QString>(field->text()) : std::nullopt;
        };
        ledger::changeHeader(m_session.connection(), changed(m_storedDescription, m_description),
                             changed(m_storedPassword, m_password));
        m_storedPassword->keep();
        m_storedDescription->keep();
    }
    accept();
}

} // namespace app

#include "address.h"

#include "ledger/regional.h"

#include <QtGlobal>

namespace rates {

QString baseAddress()
{
    QString base = qEnvironmentVariable(kAddressVariable).trimmed();
    if (base.isEmpty())
        base = kBankAddress;
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    return base;
}

QString requestUrl(const QDate &day, const QString &base)
{
    return base + QStringLiteral("/currency_base/D_print.asp?date_req=") + regional::shortDate(day);
}

QString xmlUrl(const QDate &day, const QString &base)
{
    return base + QStringLiteral("/scripts/XML_daily.asp?date_req=") + day.toString(QStringLiteral("dd/MM/yyyy"));
}

} // namespace rates

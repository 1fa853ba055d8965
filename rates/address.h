#pragma once

#include <QDate>
#include <QString>

// Where the day's rates are asked for.
namespace rates {

// The central bank's site. VELTOR_RATES_URL replaces it (tests and manual runs point it at a
// server on this machine).
inline const QString kBankAddress = QStringLiteral("http://www.cbr.ru");
inline constexpr char kAddressVariable[] = "VELTOR_RATES_URL";

// VELTOR_RATES_URL when set and not empty, otherwise kBankAddress; without a trailing "/".
QString baseAddress();

// The daily rate page for `day`: base + "/currency_base/D_print.asp?date_req=" + dd.MM.yyyy.
QString requestUrl(const QDate &day, const QString &base = baseAddress());

} // namespace rates

#pragma once

#include <QDate>
#include <QString>

// Where the day's rates are asked for.
namespace rates {

// The central bank's site. VELTOR_RATES_URL replaces it (tests and manual runs point it at a
// server on this machine).
inline const QString kBankAddress = QStringLiteral("https://www.cbr.ru");
inline constexpr char kAddressVariable[] = "VELTOR_RATES_URL";
// A PEM file of the certificates to trust instead of the system's (/etc/ssl/certs): only for
// tests, whose loopback server has a certificate of its own making.
inline constexpr char kCertificatesVariable[] = "VELTOR_RATES_CA_FILE";

// VELTOR_RATES_URL when set and not empty, otherwise kBankAddress; without a trailing "/".
QString baseAddress();

// The daily rate page for `day`: base + "/currency_base/D_print.asp?date_req=" + dd.MM.yyyy.
QString requestUrl(const QDate &day, const QString &base = baseAddress());

// The bank's XML service of the day's rates: base + "/scripts/XML_daily.asp?date_req=" +
// dd/MM/yyyy.
QString xmlUrl(const QDate &day, const QString &base = baseAddress());

} // namespace rates

// libFuzzer target: random bytes as a bank statement in CSV or OFX. The first byte picks a
// header put before the rest (T-Bank, Sber, Alfa, OFX 1, OFX 2 or none), so that the
// fuzzer reaches the rows of every format, not only the recognition of the header.
#include "importcheck.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    static const QByteArray headers[] = {
        QByteArray("Дата операции;Дата платежа;Номер карты;Статус;Сумма операции;Валюта операции;Сумма платежа;"
                   "Валюта платежа;Кэшбэк;Категория;MCC;Описание;Бонусы (включая кэшбэк)\n"),
        QByteArray("Тип карты;Номер карты;Дата совершения операции;Дата обработки операции;Код авторизации;Тип операции;"
                   "Город совершения операции;Страна совершения операции;Описание;Валюта операции;Сумма в валюте "
                   "операции;Сумма в валюте счета;\n"),
        QByteArray("\xD2\xE8\xEF \xF1\xF7\xB8\xF2\xE0;\xCD\xEE\xEC\xE5\xF0 \xF1\xF7\xE5\xF2\xE0;\xC2\xE0\xEB\xFE\xF2\xE0;"
                   "\xC4\xE0\xF2\xE0 \xEE\xEF\xE5\xF0\xE0\xF6\xE8\xE8;\xD0\xE5\xF4\xE5\xF0\xE5\xED\xF1 \xEF\xF0\xEE\xE2\xEE"
                   "\xE4\xEA\xE8;\xCE\xEF\xE8\xF1\xE0\xED\xE8\xE5 \xEE\xEF\xE5\xF0\xE0\xF6\xE8\xE8;\xCF\xF0\xE8\xF5\xEE\xE4;"
                   "\xD0\xE0\xF1\xF5\xEE\xE4;\n"),
        QByteArray("OFXHEADER:100\nDATA:OFXSGML\n\n<OFX><BANKMSGSRSV1><STMTTRNRS><STMTRS><BANKTRANLIST>\n"),
        QByteArray("<?xml version=\"1.0\"?><OFX><CREDITCARDMSGSRSV1><CCSTMTTRNRS><CCSTMTRS><BANKTRANLIST>"),
        QByteArray(),
    };
    const QByteArray &header = headers[data[0] % std::size(headers)];
    const QByteArray bytes = header + QByteArray(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1));
    fuzzcheck::readChecked([&] { return imports::readStatement(bytes, QStringLiteral("выписка.csv")); });
    return 0;
}

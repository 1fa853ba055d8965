// Money and the Russian regional texts: what the user types and what the program shows.
#include "ledger/error.h"
#include "ledger/money.h"
#include "ledger/regional.h"
#include "ledger/uint128.h"

#include <QTest>

using ledger::Money;

namespace {
Money m(qint64 ticks) { return Money::fromTicks(ticks); }
}

class MoneyTest : public QObject
{
    Q_OBJECT

private slots:
    void parsesRussianNumbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("ticks");
        QTest::newRow("whole") << "150" << qint64(1500000);
        QTest::newRow("comma") << "12,5" << qint64(125000);
        QTest::newRow("four decimals") << "0,3333" << qint64(3333);
        QTest::newRow("rounded up") << "1,23456" << qint64(12346);
        QTest::newRow("tie to even, down") << "0,33325" << qint64(3332);
        QTest::newRow("tie to even, up") << "0,33335" << qint64(3334);
        QTest::newRow("above a tie") << "0,333250001" << qint64(3333);
        QTest::newRow("negative") << "-80" << qint64(-800000);
        QTest::newRow("leading comma") << ",5" << qint64(5000);
        QTest::newRow("trailing comma") << "5," << qint64(50000);
        QTest::newRow("zero as 0,0") << "0,0" << qint64(0);
        QTest::newRow("leading zeros") << "007" << qint64(70000);
        QTest::newRow("largest") << "922337203685477,5807" << std::numeric_limits<qint64>::max();
        QTest::newRow("smallest") << "-922337203685477,5808" << std::numeric_limits<qint64>::min();
    }
    void parsesRussianNumbers()
    {
        QFETCH(QString, text);
        QFETCH(qint64, ticks);
        QCOMPARE(regional::parseMoney(text).ticks(), ticks);
    }

    void refusesWhatIsNoNumber_data()
    {
        QTest::addColumn<QString>("text");
        for (const char *t : {"", ",", "1,2,3", "1.5", "abc", "12a", "--1", "1 000", "922337203685477,5808",
                              "99999999999999999999999", "1e5", "٣"})
            QTest::newRow(t[0] ? t : "empty") << QString::fromUtf8(t);
    }
    void refusesWhatIsNoNumber()
    {
        QFETCH(QString, text);
        QVERIFY(!regional::tryParseMoney(text));
        try {
            regional::parseMoney(text);
            QFAIL("no error raised");
        } catch (const ledger::ConversionError &e) {
            QCOMPARE(e.text(), QStringLiteral("'%1' is not a valid floating point value").arg(text));
        }
    }

    void writesTheFourTextForms()
    {
        QCOMPARE(regional::moneyText(m(1500000)), QStringLiteral("150"));
        QCOMPARE(regional::moneyText(m(125000)), QStringLiteral("12,5"));
        QCOMPARE(regional::moneyText(m(3333)), QStringLiteral("0,3333"));
        QCOMPARE(regional::moneyText(m(-800000)), QStringLiteral("-80"));
        QCOMPARE(regional::moneyText(Money::min()), QStringLiteral("-922337203685477,5808"));

        QCOMPARE(regional::amountText(m(12345000)), QStringLiteral("1234,50"));
        QCOMPARE(regional::amountText(m(-800000)), QStringLiteral("-80,00"));
        QCOMPARE(regional::amountText(m(0)), QStringLiteral("0,00"));
        QCOMPARE(regional::amountText(m(3333)), QStringLiteral("0,33"));
        QCOMPARE(regional::amountText(m(-50)), QStringLiteral("0,00")); // -0,005 rounds to even 0
        QCOMPARE(regional::amountText(m(150)), QStringLiteral("0,02"));  // 0,015 ties to even
        QCOMPARE(regional::amountText(m(250)), QStringLiteral("0,02"));  // 0,025 ties to even

        QCOMPARE(regional::rateText(m(301234)), QStringLiteral("30,1234"));
        QCOMPARE(regional::rateText(m(305000)), QStringLiteral("30,5000"));
        QCOMPARE(regional::rateText(m(0)), QStringLiteral("0,0000"));

        QCOMPARE(regional::sqlNumber(m(301234)), QStringLiteral("30.1234"));
        QCOMPARE(regional::sqlNumber(m(405000)), QStringLiteral("40.5"));
        QCOMPARE(regional::sqlNumber(m(450000)), QStringLiteral("45"));

        const QString nbsp(QChar(0x00A0));
        QCOMPARE(regional::groupedText(m(12345678)), QStringLiteral("1") + nbsp + QStringLiteral("234,568"));
        QCOMPARE(regional::groupedText(m(10000000000)), QStringLiteral("1") + nbsp + "000" + nbsp + "000");
        QCOMPARE(regional::groupedText(m(250000)), QStringLiteral("25"));
        // The extremes round past the 64-bit range and are still written.
        QCOMPARE(regional::groupedText(Money::max()), QStringLiteral("922") + nbsp + "337" + nbsp + "203" + nbsp + "685"
                                                          + nbsp + "477,581");
        QCOMPARE(regional::groupedText(Money::min()).left(4), QStringLiteral("-922"));
        QCOMPARE(regional::amountText(Money::max()), QStringLiteral("922337203685477,58"));
    }

    void multipliesExactlyWithTiesToEven()
    {
        QCOMPARE(m(3333).times(m(30000)), m(9999));          // 0,3333 x 3
        QCOMPARE(m(25000).times(m(100000)), m(250000));      // 2,5 x 10
        QCOMPARE(m(3333).times(m(5000)), m(1666));           // 0,16665 -> 0,1666
        QCOMPARE(m(3335).times(m(5000)), m(1668));           // 0,16675 -> 0,1668
        QCOMPARE(m(-3333).times(m(5000)), m(-1666));
        QCOMPARE(Money::max().times(m(10000)), Money::max());
        QVERIFY_THROWS_EXCEPTION(ledger::ArithmeticError, Money::max().times(m(20000)));
        QVERIFY_THROWS_EXCEPTION(ledger::ArithmeticError, Money::max() + m(1));
        QCOMPARE(m(1) + m(2), m(3));
    }

    void multipliesAtTheEdgesOfTheRange()
    {
        // 92 233 720 368,5477 x 10 000 needs more than 64 bits before the division by the scale.
        QCOMPARE(m(922337203685477).times(m(100000000)), m(9223372036854770000));
        QCOMPARE(m(3037000499).times(m(3037000499)), m(922337203092625)); // 303700,0499^2 rounded
        QCOMPARE(Money::min().times(m(10000)), Money::min());
        QCOMPARE(m(-10000).times(Money::max()), m(-9223372036854775807));
        QCOMPARE(Money::min().times(m(-5000)), m(4611686018427387904));     // half of 2^63, exactly
        QVERIFY_THROWS_EXCEPTION(ledger::ArithmeticError, Money::min().times(m(-10000)));
        QVERIFY_THROWS_EXCEPTION(ledger::ArithmeticError, Money::min() - m(1));
        QCOMPARE(Money::min() + Money::max(), m(-1));
        QCOMPARE(Money::fromUnits(-922337203685477), m(-9223372036854770000));
        QVERIFY_THROWS_EXCEPTION(ledger::ArithmeticError, Money::fromUnits(922337203685478));
        // Rounding may step past the range: 922 337 203 685 477,5807 to whole roubles does not fit.
        QCOMPARE(Money::max().rounded(2), m(9223372036854775800));
        QVERIFY_THROWS_EXCEPTION(ledger::ArithmeticError, Money::max().rounded(0));
        QCOMPARE(m(-25000).rounded(0), m(-20000)); // -2,5 ties to even
        QCOMPARE(m(-35000).rounded(0), m(-40000));
    }

    void keepsAll128BitsOfAProduct()
    {
        using ledger::UInt128;
        const quint64 all = ~quint64(0);
        QCOMPARE(UInt128::product(all, all), UInt128(all - 1, 1)); // (2^64 - 1)^2
        QCOMPARE(UInt128::product(quint64(1) << 32, quint64(1) << 32), UInt128(1, 0));
        QCOMPARE(UInt128::product(0xFFFFFFFFu, 0xFFFFFFFFu), UInt128(0xFFFFFFFE00000001u));
        QCOMPARE(UInt128(all).plus(1), UInt128(1, 0));
        QCOMPARE(UInt128(1, 0).times(10), UInt128(10, 0));
        quint64 remainder = 0;
        QCOMPARE(UInt128(1, 0).dividedBy(10, remainder), UInt128(1844674407370955161u)); // 2^64 / 10
        QCOMPARE(remainder, quint64(6));
        QCOMPARE(UInt128(all - 1, 1).dividedBy(0xFFFFFFFFu, remainder),
                 UInt128(0x100000000u, 0xFFFFFFFEFFFFFFFFu)); // (2^64-1)^2 / (2^32-1) = (2^64-1)(2^32+1)
        QCOMPARE(remainder, quint64(0));
        // A divisor of more than 32 bits: (2^64-1)^2 / (2^64-1), and 2^127 / (2^63 + 1) = 2^64 - 2, 2 left.
        QCOMPARE(UInt128(all - 1, 1).dividedBy(all, remainder), UInt128(all));
        QCOMPARE(remainder, quint64(0));
        QCOMPARE(UInt128(quint64(1) << 63, 0).dividedBy((quint64(1) << 63) + 1, remainder),
                 UInt128(0xFFFFFFFFFFFFFFFEu));
        QCOMPARE(remainder, quint64(2));
        QCOMPARE(UInt128(3).dividedRoundingHalfEven(all - 1), UInt128(0));
        QCOMPARE(UInt128(all).dividedRoundingHalfEven(all - 1), UInt128(1));
        QCOMPARE(UInt128(1, 0).dividedRoundingHalfEven(quint64(1) << 33), UInt128(quint64(1) << 31));
        QCOMPARE(UInt128(25).dividedRoundingHalfEven(10), UInt128(2));
        QCOMPARE(UInt128(35).dividedRoundingHalfEven(10), UInt128(4));
        QCOMPARE(UInt128(36).dividedRoundingHalfEven(10), UInt128(4));
        QCOMPARE(ledger::signedValue(true, UInt128(quint64(1) << 63)), std::optional<qint64>(std::numeric_limits<qint64>::min()));
        QVERIFY(!ledger::signedValue(false, UInt128(quint64(1) << 63)));
        QVERIFY(!ledger::signedValue(false, UInt128(1, 0)));
    }

    void convertsDoublesWithTiesToEven()
    {
        QCOMPARE(Money::fromDouble(56.0).ticks(), qint64(560000));
        QCOMPARE(Money::fromDouble(600.0 * 12 / 100 / 12 * 12 + 600).ticks(), qint64(6720000));
        QCOMPARE(Money::fromDouble(100.0 / 3).ticks(), qint64(333333));
        QCOMPARE(Money::fromDouble(0.00016).ticks(), qint64(2));
        QCOMPARE(Money::fromDouble(-12.5).ticks(), qint64(-125000));
        QVERIFY_THROWS_EXCEPTION(ledger::ArithmeticError, Money::fromDouble(1e300));
        QVERIFY_THROWS_EXCEPTION(ledger::ArithmeticError, Money::fromDouble(std::nan("")));
    }

    void readsAndWritesShortDates()
    {
        QCOMPARE(regional::shortDate(QDate(2010, 3, 16)), QStringLiteral("16.03.2010"));
        QCOMPARE(regional::parseShortDate("16.03.2010"), QDate(2010, 3, 16));
        QCOMPARE(regional::parseShortDate("1.2.2010"), QDate(2010, 2, 1));
        QCOMPARE(regional::parseShortDate(" 05.07.08 "), QDate(2008, 7, 5));
        for (const char *bad : {"", "32.01.2010", "29.02.2011", "16/03/2010", "2010-03-16", "16.03.", "abc"}) {
            QVERIFY2(!regional::tryParseShortDate(QString::fromLatin1(bad)), bad);
            QVERIFY_THROWS_EXCEPTION(ledger::ConversionError, regional::parseShortDate(QString::fromLatin1(bad)));
        }
        QCOMPARE(regional::longTime(QTime(9, 5, 3)), QStringLiteral("9:05:03"));
        QCOMPARE(regional::longTime(QTime(0, 0, 1)), QStringLiteral("0:00:01"));
        QCOMPARE(regional::dateTimeText(QDateTime(QDate(2009, 3, 15), QTime(0, 0))), QStringLiteral("15.03.2009"));
        QCOMPARE(regional::dateTimeText(QDateTime(QDate(2009, 3, 15), QTime(9, 5, 3))),
                 QStringLiteral("15.03.2009 9:05:03"));
    }
};

QTEST_GUILESS_MAIN(MoneyTest)
#include "test_money.moc"

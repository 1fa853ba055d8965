// Bringing a Jet 4.0 ledger of the Windows program over: its Date/Time values first.
#include "ledger/jet/oledate.h"

#include <QTest>

#include <cmath>
#include <limits>

class JetTest : public QObject
{
    Q_OBJECT

private slots:
    void oleDatesBecomeIsoText()
    {
        QCOMPARE(jet::oleDateText(2.0), QStringLiteral("1900-01-01"));
        QCOMPARE(jet::oleDateText(40968.0), QStringLiteral("2012-02-29"));
        QCOMPARE(jet::oleDateText(39888.739583333336), QStringLiteral("2009-03-16 17:45:00"));
        // A hair short of midnight stays on its day; seconds round to the nearest.
        QCOMPARE(jet::oleDateText(40968.0 + 86399.9999 / 86400.0), QStringLiteral("2012-02-29 23:59:59"));
        QCOMPARE(jet::oleTimeText(86399.9999 / 86400.0), QStringLiteral("23:59:59"));
        QCOMPARE(jet::oleTimeText(1.4 / 86400.0), QStringLiteral("00:00:01"));
        QCOMPARE(jet::oleTimeText(1.6 / 86400.0), QStringLiteral("00:00:02"));
        QCOMPARE(jet::oleTimeText(0.378506944444), QStringLiteral("09:05:03"));
        QCOMPARE(jet::oleTimeText(0.0), QStringLiteral("00:00:00"));
        // Before 1899-12-30 the day counts back while the time still runs forward.
        QCOMPARE(jet::oleDateText(-1.25), QStringLiteral("1899-12-29 06:00:00"));
        QCOMPARE(jet::oleDateText(-0.5), QStringLiteral("1899-12-30 12:00:00"));
        // The Jet range, with four-digit years at its start.
        QCOMPARE(jet::oleDateText(-657434.0), QStringLiteral("0100-01-01"));
        QCOMPARE(jet::oleDateText(2958465.99999999), QStringLiteral("9999-12-31 23:59:59"));
        QVERIFY(jet::oleDateText(-657435.0).isNull());
        QVERIFY(jet::oleDateText(2958466.0).isNull());
        QVERIFY(jet::oleDateText(std::nan("")).isNull());
        QVERIFY(jet::oleTimeText(std::numeric_limits<double>::infinity()).isNull());
    }
};

QTEST_GUILESS_MAIN(JetTest)
#include "test_jet.moc"

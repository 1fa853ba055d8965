#include "journalrow.h"

namespace ledger {

bool isIncomeName(const QString &names)
{
    return names.contains(kIncomeWord);
}

QString incomeCondition(const QString &namesColumn)
{
    // The engine folds only ASCII letters, so every capital the word can be written with is
    // folded by hand before the comparison.
    const QString lower = kIncomeWord.toLower();
    const QString upper = kIncomeWord.toUpper();
    QString folded = QStringLiteral("substr(%1, 1, %2)").arg(namesColumn, QString::number(kIncomeWord.size()));
    QString foldedLetters;
    for (qsizetype i = 0; i < upper.size(); ++i) {
        if (foldedLetters.contains(upper.at(i)))
            continue;
        foldedLetters += upper.at(i);
        folded = QStringLiteral("replace(%1, '%2', '%3')").arg(folded, QString(upper.at(i)), QString(lower.at(i)));
    }
    return QStringLiteral("%1 = '%2'").arg(folded, lower);
}

QString expenseCondition(const QString &namesColumn)
{
    return QStringLiteral("NOT (%1)").arg(incomeCondition(namesColumn));
}

QString incomeTypeExpression(const QString &namesColumn)
{
    return QStringLiteral("substr(%1, %2)").arg(namesColumn, QString::number(kIncomePrefix.size() + 1));
}

} // namespace ledger

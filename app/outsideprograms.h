#pragma once

#include <QString>
#include <QStringList>

// The desktop's calculator and text editor, and web pages in the user's browser. A program
// that does not start is not reported.
namespace app::outside {

// The first of `candidates` found on PATH, or an empty text.
QString findProgram(const QStringList &candidates);
void startCalculator();
void startTextEditor();
void openWebPage(const QString &address);

// Pages of the maker's site.
QString helpPage();
QString supportPage();

} // namespace app::outside

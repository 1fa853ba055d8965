// The About window's version-field rule over arbitrary version texts: no crash, a field never
// holds its separator, and the version line keeps its shape.
#include "app/aboutwindow.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const QChar dot = QLatin1Char('.');
    for (int n = 1; n <= 5; ++n) {
        const QString field = app::takeField(text, n, dot);
        if (field.contains(dot) || field.size() > text.size())
            std::abort();
    }
    const QString line = app::versionLine(text);
    if (!line.startsWith(QStringLiteral("Версия: ")) || !line.endsWith(QLatin1Char(')'))
        || !line.contains(QStringLiteral(" (build ")))
        std::abort();
    return 0;
}

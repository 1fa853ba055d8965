#include "error.h"

namespace ledger {

Error::Error(QString text)
    : m_text(std::move(text))
    , m_utf8(m_text.toUtf8())
{
}

ConnectionError::ConnectionError(Reason reason, QString path, QString detail)
    : Error(std::move(detail))
    , m_reason(reason)
    , m_path(std::move(path))
{
}

} // namespace ledger

#include "util/ViewerError.h"

ViewerError::ViewerError(QString message)
    : m_message(std::move(message))
    , m_utf8(m_message.toUtf8())
{
}

const char *ViewerError::what() const noexcept
{
    return m_utf8.constData();
}

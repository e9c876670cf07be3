#include "platform/Text.h"

#include <QByteArray>
#include <cstring>

namespace rk::Text {

QString nfc(const QString& text) {
    return isPlainLatin(text) ? text : text.normalized(QString::NormalizationForm_C);
}

int compare(const QString& a, const QString& b) {
    // UTF-8 byte order equals scalar value order.
    const QByteArray x = nfc(a).toUtf8();
    const QByteArray y = nfc(b).toUtf8();
    const auto n = std::min(x.size(), y.size());
    if (const int c = std::memcmp(x.constData(), y.constData(), size_t(n)); c != 0)
        return c;
    return x.size() < y.size() ? -1 : (x.size() > y.size() ? 1 : 0);
}

}  // namespace rk::Text

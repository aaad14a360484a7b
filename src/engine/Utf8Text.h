#pragma once
// UTF-8 program text as a QString. QString::fromUtf8 drops a byte-order mark at the start of the
// text; in the query window's text it is a character like any other (U+FEFF) and stays.

#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>

namespace kest {

inline QString Utf8Text(QByteArrayView utf8)
{
    using Flag = QStringDecoder::Flag;
    return QStringDecoder(QStringDecoder::Utf8, Flag::Stateless | Flag::ConvertInitialBom).decode(utf8);
}

} // namespace kest

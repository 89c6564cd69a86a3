#include "common/numbertext.h"

#include "common/failure.h"

#include <QLocale>

#include <cmath>

namespace numbertext {

namespace {

// Accepts [sign] digits [separator digits] with at least one digit; returns
// the value in C notation so that QString::toDouble can read it without
// accepting the exponents and group separators QLocale would let through.
bool toCNotation(const QString &text, QString &out)
{
    const QString trimmed = text.trimmed();
    const QString separator = QLocale().decimalPoint();
    qsizetype i = 0;
    out.clear();
    if (i < trimmed.size() && (trimmed[i] == u'+' || trimmed[i] == u'-'))
        out += trimmed[i++];
    bool digits = false;
    bool fraction = false;
    while (i < trimmed.size()) {
        if (trimmed[i] >= u'0' && trimmed[i] <= u'9') {
            out += trimmed[i++];
            digits = true;
        } else if (!fraction && QStringView(trimmed).mid(i).startsWith(separator)) {
            out += u'.';
            i += separator.size();
            fraction = true;
        } else {
            return false;
        }
    }
    return digits;
}

} // namespace

qint16 toInt16(const QString &text)
{
    const double value = toDouble(text);
    // FE_TONEAREST is the default rounding mode, and it rounds halves to even.
    const double rounded = std::nearbyint(value);
    if (rounded < -32768.0 || rounded > 32767.0)
        throw Failure::overflow();
    return static_cast<qint16>(rounded);
}

double toDouble(const QString &text)
{
    QString c;
    if (!toCNotation(text, c))
        throw Failure::typeMismatch();
    bool ok = false;
    const double value = c.toDouble(&ok);
    if (!ok)
        throw Failure::overflow();
    return value;
}

QString formatGeneral(double value)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    // Adding +0.0 turns a negative zero into a positive one.
    return locale.toString(value + 0.0, 'g', 15);
}

double roundHalfEven(double value, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    return std::nearbyint(value * scale) / scale;
}

} // namespace numbertext

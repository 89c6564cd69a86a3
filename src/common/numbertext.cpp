#include "common/numbertext.h"

#include "common/failure.h"

#include <QLocale>

#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

namespace numbertext {

namespace {

// Rewrites [sign] digits [separator digits], with at least one digit, in C
// notation. Exponents and digit grouping are refused here, although the
// locale's own parser would take them: a value field holds plain digits.
bool toCNotation(QStringView text, QStringView separator, std::string &out)
{
    qsizetype i = 0;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        if (text[i] == u'-')
            out += '-';
        ++i;
    }
    bool digits = false;
    bool fraction = false;
    while (i < text.size()) {
        const QChar c = text[i];
        if (c >= u'0' && c <= u'9') {
            out += static_cast<char>(c.unicode());
            digits = true;
            ++i;
        } else if (!fraction && text.mid(i).startsWith(separator)) {
            out += '.';
            fraction = true;
            i += separator.size();
        } else {
            return false;
        }
    }
    return digits;
}

} // namespace

qint16 toInt16(QStringView text)
{
    const double value = toDouble(text);
    // FE_TONEAREST is the default rounding mode, and it rounds halves to even.
    const double rounded = std::nearbyint(value);
    if (rounded < -32768.0 || rounded > 32767.0)
        throw Failure::overflow();
    return static_cast<qint16>(rounded);
}

double toDouble(QStringView text)
{
    return toDouble(text, QLocale().decimalPoint());
}

double toDouble(QStringView text, QStringView decimalPoint)
{
    // std::from_chars rather than QLocale or strtod: it ignores the process
    // locale and costs little, which matters as every evaluation of a frame
    // runs it seven times (three key pairs, four values).
    std::string c;
    if (!toCNotation(text.trimmed(), decimalPoint, c))
        throw Failure::typeMismatch();
    double value = 0.0;
    const std::from_chars_result result = std::from_chars(c.data(), c.data() + c.size(), value);
    if (result.ec == std::errc::result_out_of_range)
        throw Failure::overflow();
    return value;
}

QString formatGeneral(double value)
{
    return formatGeneral(value, QLocale().decimalPoint());
}

QString formatGeneral(double value, const QString &decimalPoint)
{
    // %.15g: up to 15 significant digits, trailing zeros dropped, and never a
    // group separator. Adding +0.0 turns a negative zero into a positive one.
    char digits[32];
    const std::to_chars_result result =
        std::to_chars(digits, digits + sizeof digits, value + 0.0, std::chars_format::general, 15);
    QString text = QString::fromLatin1(digits, result.ptr - digits);
    return text.replace(u'.', decimalPoint);
}

double roundHalfEven(double value, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    return std::nearbyint(value * scale) / scale;
}

} // namespace numbertext

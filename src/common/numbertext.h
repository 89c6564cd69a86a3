#pragma once

#include <QString>
#include <QStringView>
#include <QtGlobal>

// The number rules shared by the evaluation and the port field: how text
// becomes a 16-bit integer or a double, and how a double is shown.
// All of them follow the user's locale (QLocale()) for the decimal separator.
namespace numbertext {

// Blanks around the text and a leading sign are accepted; a fraction rounds
// half to even. Throws Failure 13 for text that is not a number, 6 outside
// -32768..32767.
qint16 toInt16(QStringView text);

// Locale-aware inverse of formatGeneral(). Throws Failure 13.
double toDouble(QStringView text);
// The same with a given separator: [sign] digits [separator digits], blanks
// around it allowed, never digit grouping or an exponent.
double toDouble(QStringView text, QStringView decimalPoint);

// General decimal form: up to 15 significant digits, no trailing zeros,
// no digit grouping, "0" never shown as "-0".
QString formatGeneral(double value);
// The same with a given separator, for records that must read alike in
// every locale.
QString formatGeneral(double value, const QString &decimalPoint);

// Round to the given number of decimals, halves to even.
double roundHalfEven(double value, int decimals);

} // namespace numbertext

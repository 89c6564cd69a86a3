#include "ui/form1.h"

#include "common/failure.h"
#include "common/numbertext.h"
#include "decoder/mdlDecodeEncode.h"

#include <QLineEdit>

#include <cmath>

namespace {

// The divisor the phase angle has always been computed with; a full-precision
// pi would move some angles by a tenth at the rounding boundary.
constexpr double piAsShown = 3.14159265359;

// Each value in the record is six characters wide; fillVariables names the
// 0-based position each one starts at.
constexpr qsizetype valueWidth = 6;

void writeTenths(QLineEdit *field, const QString &record, qsizetype position)
{
    const qint16 tenths = numbertext::toInt16(record.mid(position, valueWidth));
    field->setText(numbertext::formatGeneral(tenths / 10.0));
}

} // namespace

void Form1::Text2_Change()
{
    if (!Text2.holdsFrame())
        return;
    // Each evaluation starts from an empty display, so that a frame that fails
    // part-way never leaves an earlier measurement's values beside its own.
    // The failure itself is not reported: it would repeat on every chunk.
    ClearTextBox();
    try {
        QString frame = Text2.head();
        const QString decoded =
            mdlDecodeEncode::fcEncodeString(frame, mdlDecodeEncode::decodingKey);
        fillVariables(decoded);
        const double phase = getPhasenwinkel();
        txtPhase->setText(numbertext::formatGeneral(numbertext::roundHalfEven(phase, 1)));
    } catch (const Failure &) {
        // The fields this evaluation did not reach stay empty.
    }
}

void Form1::fillVariables(const QString &myString)
{
    const QString record = myString.section(u';', 0, 0);
    writeTenths(txtR, record, 5);
    writeTenths(txtXc, record, 12);
    writeTenths(txtrh, record, 19);
    writeTenths(txtRF, record, 26);
}

double Form1::getPhasenwinkel() const
{
    const double r = numbertext::toDouble(txtR->text());
    const double xc = numbertext::toDouble(txtXc->text());
    if (r == 0.0)
        throw Failure::divisionByZero();
    return std::atan(xc / r) * 180.0 / piAsShown;
}

void Form1::ClearTextBox()
{
    txtR->clear();
    txtRF->clear();
    txtrh->clear();
    txtXc->clear();
    txtPhase->clear();
}

#include "ui/form1.h"

#include "common/failure.h"
#include "common/numbertext.h"
#include "decoder/mdlDecodeEncode.h"

#include <QLineEdit>

#include <array>
#include <cmath>
#include <utility>

namespace {

// The divisor the phase angle has always been computed with; a full-precision
// pi would move some angles by a tenth at the rounding boundary.
constexpr double piAsShown = 3.14159265359;

// Each value in the record is six characters wide.
constexpr qsizetype valueWidth = 6;

void writeTenths(QLineEdit *field, const QString &record, qsizetype position)
{
    const qint16 tenths = numbertext::toInt16(record.mid(position, valueWidth));
    field->setText(numbertext::formatGeneral(tenths / 10.0));
}

} // namespace

void Form1::Text2_Change()
{
    if (!Text2.holdsFrame()) {
        // The display shows only what the buffer gives. Start empties the
        // buffer; left standing, the last measurement would pass for the new
        // one whenever its answer never forms a frame (silent box, lost
        // marker, line gone).
        if (Text2.length() == 0)
            ClearTextBox();
        return;
    }
    // A failure is not reported: it would repeat on every received chunk.
    // Instead every field this evaluation does not reach is emptied, so that
    // an earlier measurement's values never stand beside this one's.
    QString frame = Text2.head();
    QString decoded;
    try {
        decoded = mdlDecodeEncode::fcEncodeString(frame, mdlDecodeEncode::decodingKey());
    } catch (const Failure &) {
        ClearTextBox();
        return;
    }
    try {
        fillVariables(decoded);
        const double phase = getPhasenwinkel();
        txtPhase->setText(numbertext::formatGeneral(numbertext::roundHalfEven(phase, 1)));
    } catch (const Failure &) {
        txtPhase->clear();
    }
}

void Form1::fillVariables(const QString &myString)
{
    const QString record = myString.section(u';', 0, 0);
    // Where each value starts in the record (0-based), in the order written.
    const std::array<std::pair<qsizetype, QLineEdit *>, 4> rows{
        {{5, txtR}, {12, txtXc}, {19, txtrh}, {26, txtRF}}};
    auto row = rows.begin();
    try {
        for (; row != rows.end(); ++row)
            writeTenths(row->second, record, row->first);
    } catch (const Failure &) {
        for (; row != rows.end(); ++row)
            row->second->clear();
        throw;
    }
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

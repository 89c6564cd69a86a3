// Feeds arbitrary bytes, cut into arbitrary chunks, through the
// conversation's receive path (buffer and evaluation), and through the
// decoder. Input layout: a length
// byte, then that many bytes of chunk, repeated; the last chunk may be short.

#include "common/failure.h"
#include "decoder/mdlDecodeEncode.h"
#include "evaluation/evaluation.h"
#include "evaluation/receivebuffer.h"
#include "frame.h"
#include "serial/conversation.h"

#include <QtGlobal>

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

void check(bool condition, const char *what)
{
    if (!condition) {
        qCritical("fuzz invariant broken: %s", what);
        std::abort();
    }
}

// Values are evaluated in order and a failure leaves the rest missing, so a
// measurement is always some values followed by missing ones, each value
// with both its text and its number or neither.
void checkShape(const Measurement &measurement)
{
    bool missing = false;
    for (int value = 0; value < Measurement::valueCount; ++value) {
        const bool hasText = !measurement.texts[value].isEmpty();
        check(hasText == measurement.numbers[value].has_value(), "text and number go together");
        check(!(missing && hasText), "values written then missing");
        missing = missing || !hasText;
    }
    check(!measurement.failure || missing, "a failure leaves a value missing");
}

bool sameMeasurement(const std::optional<Measurement> &a, const std::optional<Measurement> &b)
{
    if (a.has_value() != b.has_value())
        return false;
    if (!a)
        return true;
    const auto failureNumber = [](const Measurement &m) {
        return m.failure ? m.failure->number() : 0;
    };
    return a->texts == b->texts && a->numbers == b->numbers &&
           failureNumber(*a) == failureNumber(*b);
}

void fuzzDecoder(const QString &text)
{
    QString frame = text;
    try {
        const QString decoded =
            mdlDecodeEncode::fcEncodeString(frame, mdlDecodeEncode::decodingKey());
        check(decoded.size() == mdlDecodeEncode::payloadLength, "decoded length");
        check(box::encipher(decoded, mdlDecodeEncode::decodingKey()) ==
                  text.mid(2, mdlDecodeEncode::payloadLength),
              "decoding is the inverse of enciphering");
    } catch (const Failure &failure) {
        check(failure.number() == 5 || failure.number() == 6, "decoder failure number");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Kept for the whole run, as a program keeps it from Start to Start.
    static Conversation chunked;
    chunked.emptyBuffer();
    // The received text in one piece, and where each chunk of it ends: the
    // chunks are views into it, so that cutting costs no copies.
    QString received;
    received.reserve(qsizetype(size));
    std::vector<qsizetype> ends;
    for (size_t at = 0; at < size;) {
        const size_t length = std::min<size_t>(data[at], size - at - 1);
        received += QLatin1String(reinterpret_cast<const char *>(data + at + 1), qsizetype(length));
        ends.push_back(received.size());
        at += 1 + length;
    }
    qsizetype start = 0;
    for (const qsizetype end : ends) {
        chunked.receive(QStringView(received).mid(start, end - start));
        start = end;
        const std::optional<Measurement> &measurement = chunked.measurement();
        check(measurement.has_value() == chunked.buffer().holdsFrame(),
              "evaluated once a frame is complete");
        if (measurement)
            checkShape(*measurement);
    }

    // However the bytes were cut, the measurement is what the whole text gives.
    ReceiveBuffer whole;
    whole.append(received);
    check(sameMeasurement(chunked.measurement(), evaluation::evaluate(whole)),
          "chunking invariant");

    fuzzDecoder(received);
    return 0;
}
